#include "imaging/imaging.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>

#include <new>

namespace imaging {

namespace {

Decoded decodeWith(QImageReader& reader) {
    reader.setAutoTransform(true); // phone photos carry their orientation in EXIF
    Decoded result;
    try {
        QImage image = reader.read();
        if (image.isNull()) {
            result.error = reader.errorString();
            return result;
        }
        image = copyToPhotoFormat(image);
        if (image.isNull())
            result.error = QStringLiteral("Not enough memory for the image");
        result.image = std::move(image);
    } catch (const std::bad_alloc&) {
        result.image = QImage();
        result.error = QStringLiteral("Not enough memory for the image");
    }
    return result;
}

} // namespace

void configureDecoderLimits() {
    QImageReader::setAllocationLimit(kAllocationLimitMB);
}

Decoded decodeFile(const QString& path) {
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return decodeWith(reader);
}

Decoded decodeBytes(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    return decodeWith(reader);
}

QImage::Format photoFormat(bool hasAlpha) {
    return hasAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32;
}

QImage newBitmap(int width, int height, bool hasAlpha) {
    QImage image(width, height, photoFormat(hasAlpha));
    return image; // QImage is null when the allocation fails
}

QImage copyToPhotoFormat(const QImage& source) {
    if (source.isNull())
        return QImage();
    const QImage::Format format = photoFormat(source.hasAlphaChannel());
    if (source.format() == format)
        return source; // implicitly shared: the decoder's buffer is the photo, nothing is duplicated
    return source.convertToFormat(format);
}

QImage scaledTo(const QImage& source, int width, int height) {
    if (source.isNull() || width <= 0 || height <= 0)
        return QImage();
    return source.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage thumbnail(const QImage& source, const QSize& box) {
    if (source.isNull() || box.isEmpty())
        return QImage();
    return source.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

static constexpr double kInchesPerMetre = 39.37007874015748;

double dpiX(const QImage& image) {
    return image.dotsPerMeterX() / kInchesPerMetre;
}
double dpiY(const QImage& image) {
    return image.dotsPerMeterY() / kInchesPerMetre;
}

void setDpi(QImage& image, double x, double y) {
    image.setDotsPerMeterX(qRound(x * kInchesPerMetre));
    image.setDotsPerMeterY(qRound(y * kInchesPerMetre));
}

QByteArray encoderForMimeType(const QByteArray& mimeType) {
    static const struct {
        const char* mime;
        const char* format;
    } table[] = {{"image/png", "png"}, {"image/jpeg", "jpeg"}, {"image/bmp", "bmp"}, {"image/tiff", "tiff"}};
    const QList<QByteArray> available = QImageWriter::supportedImageFormats();
    for (const auto& row : table)
        if (mimeType == row.mime && available.contains(row.format))
            return row.format;
    return QByteArray();
}

} // namespace imaging
