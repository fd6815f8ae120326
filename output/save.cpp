#include "output/save.h"

#include "gauge/geometry.h"
#include "imaging/imaging.h"
#include "imaging/png_writer.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <QRegularExpression>
#include <QSaveFile>

#include <cstdlib>
#include <new>

namespace output {

namespace {

const char kMeasurementKey[] = "Description";

struct ExtensionRow {
    const char* extension;
    const char* mimeType;
};
constexpr ExtensionRow kExtensionTable[] = {{".png", "image/png"},   {".jpg", "image/jpeg"},
                                            {".jpeg", "image/jpeg"}, {".bmp", "image/bmp"},
                                            {".tif", "image/tiff"},  {".dcm", kDicomMimeType}};

QString noMemory() {
    return QStringLiteral("Not enough memory to encode the image");
}

// Why a write stopped. A write cut short by a full disk or a size limit often leaves the file with
// no reason of its own (only Qt's generic "Unknown error", which is also all the encoder knows), so
// then say what it most likely was.
QString shortWriteReason(const QSaveFile& file) {
    static const QString generic = QFile().errorString();
    if (file.error() != QFileDevice::NoError && file.errorString() != generic)
        return file.errorString();
    return QStringLiteral(
        "The file could not be written in full; the disk may be full or the file too large");
}

} // namespace

QString proposedSaveName(const QString& sourcePath, const QString& lastName) {
    if (sourcePath.isEmpty())
        return lastName;
    const QString fileName = QFileInfo(sourcePath).fileName();
    // Only four characters go, so "ojo1.jpeg" proposes "ojo1._ang".
    return (fileName.size() > 4 ? fileName.chopped(4) : QString()) + QStringLiteral("_ang");
}

QString extensionOf(const QString& path) {
    const QString fileName = QFileInfo(path).fileName();
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : fileName.mid(dot);
}

QByteArray mimeTypeForExtension(const QString& extension) {
    for (const ExtensionRow& row : kExtensionTable)
        if (extension == QLatin1String(row.extension))
            return row.mimeType;
    return QByteArray();
}

QString measurementText(const CompositeInputs& in) {
    QStringList parts;
    parts << (in.leftEye ? QStringLiteral("Eye: OI (left)") : QStringLiteral("Eye: OD (right)"));
    if (in.guideShown)
        parts << QStringLiteral("Guide line: %1 deg").arg(in.guideDegrees);
    if (in.sectorShown)
        parts << QStringLiteral("Sector: %1 to %2 deg, width %3 deg")
                     .arg(in.sectorStart)
                     .arg(in.sectorEnd)
                     .arg(sectorWidth(in.sectorStart, in.sectorEnd));
    parts << QStringLiteral("Centre offset: %1, %2")
                 .arg(double(in.centreOffsetX), 0, 'g', 7)
                 .arg(double(in.centreOffsetY), 0, 'g', 7);
    parts << QStringLiteral("Centre size: %1%").arg(in.centreSize);
    parts << QStringLiteral("Reference: ") + in.reference;
    if (in.rotationDegrees)
        parts << QStringLiteral("Rotation: %1 deg against %2")
                     .arg(*in.rotationDegrees, 0, 'f', 1)
                     .arg(in.rotationReference);
    if (!in.toricCheck.isEmpty())
        parts << in.toricCheck;
    return parts.join(QStringLiteral("; "));
}

std::optional<int> guideOfMeasurement(const QString& text) {
    static const QRegularExpression guide(QStringLiteral("(?:^|; )Guide line: (\\d+) deg(?:;|$)"));
    const QRegularExpressionMatch m = guide.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    return m.captured(1).toInt();
}

WriteResult writeImageFile(QImage image, const QString& path, const QByteArray& mimeType,
                           const QString& measurement, const imaging::DicomMetadata& dicom) {
    WriteResult result;
    const bool isDicom = mimeType == kDicomMimeType;
    const QByteArray format = isDicom ? QByteArray("dcm") : imaging::encoderForMimeType(mimeType);
    if (format.isEmpty()) {
        result.error = QStringLiteral("No encoder for %1").arg(QString::fromLatin1(mimeType));
        return result;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.error = file.errorString();
        return result;
    }
    try {
        if (!isDicom)
            image.setText(QString::fromLatin1(kMeasurementKey), measurement); // PNG text, JPEG comment
        if (isDicom) {
            imaging::DicomMetadata metadata = dicom;
            metadata.imageComments = measurement;
            result.error = imaging::encodeDicom(std::move(image), file, metadata);
            if (!result.error.isEmpty()) {
                if (file.error() != QFileDevice::NoError)
                    result.error = shortWriteReason(file);
                return result;
            }
        } else if (format == "tiff") {
            // Qt's TIFF writer drops text, so the description is added to the finished bytes.
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, format);
            if (!writer.write(image)) {
                result.error = writer.errorString();
                return result;
            }
            QByteArray bytes = buffer.buffer();
            buffer.close();
            buffer.setData(QByteArray());
            addTiffDescription(bytes, measurement.toUtf8());
            if (file.write(bytes) != bytes.size()) {
                result.error = shortWriteReason(file);
                return result;
            }
        } else if (format == "png") {
            // Handed over, so the pixels are let go while they are compressed.
            const imaging::PngWriteResult png = imaging::writePng(std::move(image), file);
            if (!png.ok) {
                result.error = png.outOfMemory || !png.error.isEmpty() ? png.error : shortWriteReason(file);
                return result;
            }
        } else {
            QImageWriter writer(&file, format);
            if (!writer.write(image)) {
                result.error = shortWriteReason(file);
                return result;
            }
        }
    } catch (const std::bad_alloc&) {
        result.error = noMemory();
        return result;
    }
    if (!file.commit()) {
        result.error = file.errorString();
        return result;
    }
    result.ok = true;
    return result;
}

WriteResult saveComposite(const CompositeInputs& in, const QString& path, const QByteArray& mimeType,
                          const imaging::DicomMetadata& dicom) {
    CompositeResult composite = renderComposite(in);
    if (!composite.ok())
        return WriteResult{false, composite.error};
    return writeImageFile(std::move(composite.image), path, mimeType, measurementText(in), dicom);
}

} // namespace output
