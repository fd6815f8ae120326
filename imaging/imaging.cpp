#include "imaging/imaging.h"

#include "imaging/dicom.h"
#include "imaging/png_check.h"
#include "imaging/source_file.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>

#include <algorithm>
#include <cstdlib>
#include <new>

#include <sys/mman.h>

namespace imaging {

namespace {

constexpr qint64 kHugePage = 2 << 20;
constexpr qint64 kHugePageMinimum = 8 * kHugePage;

Decoded failed(DecodeFailure failure, const QString& error, RefusalDetail detail = RefusalDetail::None) {
    return decodeFailure(failure, error, detail);
}

} // namespace

Decoded decodeFailure(DecodeFailure failure, const QString& error, RefusalDetail detail,
                      const QStringList& detailValues) {
    Decoded result;
    result.failure = failure;
    result.error = error;
    result.detail = detail;
    result.detailValues = detailValues;
    return result;
}

// Refuses before decoding what Qt would reject with only "Unable to read image data".
Decoded tooLargeFailure(const QSize& size) {
    Decoded result = decodeFailure(
        DecodeFailure::TooLarge,
        QStringLiteral("the image declares %1 x %2 pixels, beyond the %3 MB limit for a photo")
            .arg(size.width())
            .arg(size.height())
            .arg(kAllocationLimitMB),
        RefusalDetail::TooLarge,
        {QString::number(size.width()), QString::number(size.height()), QString::number(kAllocationLimitMB)});
    result.declaredSize = size;
    return result;
}

namespace {

Decoded decodeWith(QImageReader& reader) {
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true); // phone photos carry their orientation in EXIF
    try {
        if (!pngChunksFitStream(*reader.device()))
            return failed(DecodeFailure::Undecodable,
                          QStringLiteral("damaged PNG: a chunk declares more bytes than the file holds"));
        const QSize declared = reader.size();
        if (declared.isValid() && !withinAllocationLimit(declared))
            return tooLargeFailure(declared);
        QImage image = reader.read();
        if (image.isNull())
            return failed(DecodeFailure::Undecodable, reader.errorString());
        image = copyToPhotoFormat(image);
        if (image.isNull())
            return failed(DecodeFailure::OutOfMemory, QStringLiteral("Not enough memory for the image"));
        Decoded result;
        result.image = std::move(image);
        return result;
    } catch (const std::bad_alloc&) {
        return failed(DecodeFailure::OutOfMemory, QStringLiteral("Not enough memory for the image"));
    }
}

} // namespace

bool withinAllocationLimit(const QSize& size) {
    const qint64 bytes = qint64(size.width()) * qint64(size.height()) * 4;
    return bytes <= qint64(kAllocationLimitMB) * 1024 * 1024;
}

void configureDecoderLimits() {
    QImageReader::setAllocationLimit(kAllocationLimitMB);
}

Decoded decodeFile(const QString& path) {
    OpenedSource source = openRegularFile(path);
    if (source.kind == FileKind::Missing)
        return failed(DecodeFailure::Unreadable, source.error);
    if (source.kind != FileKind::Regular)
        return failed(DecodeFailure::NotRegularFile, refusalReason(source.kind), refusalDetail(source.kind));
    if (looksLikeDicom(*source.file))
        return decodeDicomFile(path);
    const bool bare = looksLikeBareDataset(source.file->peek(8));
    QImageReader reader(source.file.get());
    Decoded decoded = decodeWith(reader);
    if (decoded.ok() || !bare || reader.error() != QImageReader::UnsupportedFormatError)
        return decoded;
    Decoded dicom = decodeBareDicomFile(path);
    return dicom.error == QLatin1String("no DICOM image") ? decoded : dicom;
}

Decoded decodeBytes(const QByteArray& bytes) {
    if (looksLikeDicom(bytes))
        return decodeDicomBytes(bytes);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    Decoded decoded = decodeWith(reader);
    if (decoded.ok() || !looksLikeBareDataset(bytes) ||
        reader.error() != QImageReader::UnsupportedFormatError)
        return decoded;
    Decoded dicom = decodeDicomBytes(bytes, true);
    return dicom.error == QLatin1String("no DICOM image") ? decoded : dicom;
}

Decoded decodeBitmap(const QImage& bitmap) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (bitmap.isNull() || !bitmap.save(&buffer, "BMP"))
        return decodeFailure(DecodeFailure::OutOfMemory, QStringLiteral("not enough memory"));
    return decodeBytes(bytes);
}

QImage::Format photoFormat(bool hasAlpha) {
    return hasAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32;
}

QImage newBitmap(int width, int height, bool hasAlpha) {
    const QImage::Format format = photoFormat(hasAlpha);
    const qint64 bytes = qint64(std::max(width, 0)) * std::max(height, 0) * 4;
    if (bytes < kHugePageMinimum)
        return QImage(width, height, format); // null when the allocation fails
    // A large bitmap is asked for in huge pages where the system grants them: filling 100 MB of
    // fresh memory otherwise costs some 25,000 page faults, more than the filling itself.
    const size_t size = size_t((bytes + kHugePage - 1) / kHugePage * kHugePage);
    void* data = nullptr;
    if (posix_memalign(&data, kHugePage, size) != 0)
        return QImage();
    madvise(data, size, MADV_HUGEPAGE);
    QImage image(static_cast<uchar*>(data), width, height, qsizetype(width) * 4, format, std::free, data);
    if (image.isNull())
        std::free(data);
    return image;
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
