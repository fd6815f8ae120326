#pragma once

#include <QImage>

class QMimeData;
struct CompositeInputs;

namespace output {

// The composite drawn and encoded as PNG at the program's PNG setting (Qt's default level takes
// seconds for a large photo), on whatever thread calls it, ready for the clipboard.
struct ClipboardComposite {
    QImage image;   // null when the composite could not be made
    QByteArray png; // empty when encoding failed: encoded again when a program asks for PNG
    QString error;
};
ClipboardComposite clipboardComposite(const CompositeInputs& in);

// The composite as clipboard data for pasting into other programs: the image itself, which the
// platform offers in its image types, and its PNG bytes. The caller owns the result until it hands
// it to the clipboard.
QMimeData* compositeMimeData(const ClipboardComposite& composite);

} // namespace output
