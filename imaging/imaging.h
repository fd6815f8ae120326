#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>

// The program's seam over Qt's image classes: decoding, 32-bit bitmaps, copies, scaling,
// resolution and encoders. Photos are held in Format_RGB32 when opaque, QPainter's fast path, and
// in Format_ARGB32 when they carry alpha: premultiplying would lose the colour of nearly
// transparent pixels, and such photos are rare enough to afford the slower drawing.
namespace imaging {

enum class DecodeFailure {
    None,
    Unreadable,     // missing, not permitted, or a read error
    NotRegularFile, // a folder, FIFO, socket or device: refused before reading
    TooLarge,       // the declared size is beyond the allocation limit
    Undecodable,    // not an image, or a damaged one
    OutOfMemory,
};

// Why a photo was refused, for the window to word below its headline in the interface's language
// (output/decode_report); None where the headline says it all. The values a sentence names travel in
// Decoded::detailValues, in the order given here.
enum class RefusalDetail {
    None,
    Folder,
    NamedPipe,
    Socket,
    Device,
    NotRegularFile,
    TooLarge,          // width, height, limit in MB
    DicomCompression,  // the transfer syntax
    DicomDamaged,      // the file cannot be parsed
    DicomPixels,       // the pixel data cannot be decoded
    DicomNoImage,      // the object's class
    DicomNoSize,       // rows, columns or samples missing
    DicomBitDepth,     // bits, the object's class
    DicomColourModel,  // the photometric interpretation, the object's class
    DicomNoPixelData,  // no pixel data element
    DicomPixelsShort,  // fewer pixels than the header declares
    DicomNoDictionary, // DCMTK's data dictionary is missing
};

struct DicomSource;

struct Decoded {
    QImage image;  // null on failure
    QString error; // the reason when image is null, in English, for logs and the command line
    DecodeFailure failure = DecodeFailure::None;
    QSize declaredSize; // the size the file's header declares, when TooLarge
    RefusalDetail detail = RefusalDetail::None;
    QStringList detailValues;
    std::shared_ptr<const DicomSource> dicom; // set when the photo came from a DICOM file
    bool ok() const { return !image.isNull(); }
};

// A failed decode with its reason, in English, and what the window is to say below its headline.
Decoded decodeFailure(DecodeFailure failure, const QString& error, RefusalDetail detail = RefusalDetail::None,
                      const QStringList& detailValues = {});
// The failure for a photo whose declared size is beyond the allocation limit.
Decoded tooLargeFailure(const QSize& size);

// Raises Qt's per-image allocation limit so large photos load; call once before the first decode.
void configureDecoderLimits();
// Largest decoded image the program accepts, in megabytes of 32-bit pixels.
constexpr int kAllocationLimitMB = 640;
// Whether a photo of this size fits the limit once held as 32-bit pixels.
bool withinAllocationLimit(const QSize& size);

// Decodes by content (not by extension), applies any EXIF orientation, and returns the image in
// the photo format. Never throws; running out of memory is reported as a failure. A path that is
// not a regular file is refused before anything is read, so the call never blocks on it.
Decoded decodeFile(const QString& path);
Decoded decodeBytes(const QByteArray& bytes);
// A bitmap taken from the clipboard, through BMP bytes and the file decoder: opaque, as a clipboard
// bitmap is.
Decoded decodeBitmap(const QImage& bitmap);

// The 32-bit format a photo with or without alpha is held in.
QImage::Format photoFormat(bool hasAlpha);
// A new, uninitialised 32-bit bitmap; null when it cannot be allocated.
QImage newBitmap(int width, int height, bool hasAlpha);
// A pixel-for-pixel copy in the photo format; null when memory runs out.
QImage copyToPhotoFormat(const QImage& source);
// Smooth (bilinear) scaling of the whole image into exactly width x height.
QImage scaledTo(const QImage& source, int width, int height);
// Scaled copy that fits inside box keeping proportions (a thumbnail).
QImage thumbnail(const QImage& source, const QSize& box);

// Resolution in pixels per inch.
double dpiX(const QImage& image);
double dpiY(const QImage& image);
void setDpi(QImage& image, double dpiX, double dpiY);

// The Qt format name ("png", "jpeg", "bmp", "tiff") of the writer for a MIME type; empty if none.
QByteArray encoderForMimeType(const QByteArray& mimeType);

} // namespace imaging
