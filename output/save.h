#pragma once

#include "imaging/dicom.h"
#include "output/composite.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

// Saving the composite: the proposed name, the extension table and the file writer.
namespace output {

// The name the save dialog proposes: the source file's name without its last four characters,
// plus "_ang"; after a paste (no source path) the name the dialog last held.
QString proposedSaveName(const QString& sourcePath, const QString& lastName);

// The chosen name's extension, from the last dot of its file-name part; empty without a dot.
QString extensionOf(const QString& path);
// The encoder's MIME type for an extension of the table; exact and case-sensitive, empty otherwise.
QByteArray mimeTypeForExtension(const QString& extension);

// The measurement as one line of text, stored in the file where the format carries text.
QString measurementText(const CompositeInputs& in);
// The guide line a measurement text records, when it records one.
std::optional<int> guideOfMeasurement(const QString& text);

struct WriteResult {
    bool ok = false;
    QString error; // the system's reason when not ok
};

// The MIME type of DICOM files, written through DCMTK rather than Qt.
inline const char kDicomMimeType[] = "application/dicom";

// Writes the image with the encoder for mimeType and the measurement as its description (for DICOM,
// its Image Comments; the rest of dicom says where the photo came from and which eye it shows). The
// file appears complete or not at all: it is written beside the target and renamed over it at the end.
WriteResult writeImageFile(QImage image, const QString& path, const QByteArray& mimeType,
                           const QString& measurement, const imaging::DicomMetadata& dicom = {});

// Draws the composite of in and writes it as writeImageFile does, with its measurement; for a
// window, a step that can run on a thread of its own (in's look-ups made beforehand).
WriteResult saveComposite(const CompositeInputs& in, const QString& path, const QByteArray& mimeType,
                          const imaging::DicomMetadata& dicom = {});

// Gives a classic TIFF file an ImageDescription entry; false when the bytes are no TIFF it knows.
bool addTiffDescription(QByteArray& tiff, const QByteArray& description);

} // namespace output
