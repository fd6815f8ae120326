#pragma once

#include <QImage>

class QMimeData;

namespace output {

// The composite as clipboard data for pasting into other programs: the image itself, which the
// platform offers in its image types, and PNG bytes encoded only when a program asks for them, at
// the program's PNG setting (Qt's default level takes seconds for a large photo). The caller owns
// the result until it hands it to the clipboard.
QMimeData* compositeMimeData(const QImage& composite);

} // namespace output
