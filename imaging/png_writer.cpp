#include "imaging/png_writer.h"

#include <QColorSpace>
#include <QIODevice>
#include <QThread>
#include <QtEndian>

#include <libdeflate.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace imaging {

namespace {

// Below this many pixels a second thread costs more than it saves.
constexpr qint64 kMinPixelsForThreads = 1000000;
constexpr size_t kIdatChunkBytes = size_t(1) << 20;
constexpr int kFilters = 5; // None, Sub, Up, Average, Paeth

using Bytes = std::unique_ptr<uint8_t[]>;

Bytes allocate(size_t n) {
    return Bytes(new (std::nothrow) uint8_t[n]); // left uninitialised: pages are touched as written
}

// One row of 32-bit pixels as PNG samples: R, G, B and, with alpha, A.
void toSamples(const QRgb* row, int width, bool alpha, uint8_t* out) {
    if (alpha) {
        for (int x = 0; x < width; ++x, out += 4) {
            out[0] = uint8_t(qRed(row[x]));
            out[1] = uint8_t(qGreen(row[x]));
            out[2] = uint8_t(qBlue(row[x]));
            out[3] = uint8_t(qAlpha(row[x]));
        }
    } else {
        for (int x = 0; x < width; ++x, out += 3) {
            out[0] = uint8_t(qRed(row[x]));
            out[1] = uint8_t(qGreen(row[x]));
            out[2] = uint8_t(qBlue(row[x]));
        }
    }
}

// Sum of the filtered bytes read as signed, in magnitude: the usual measure of how well a row will
// compress.
inline unsigned cost(uint8_t v) {
    return unsigned(std::abs(int(int8_t(v))));
}

// The loops below are written without branches so the compiler vectorises them.
unsigned subFilter(const uint8_t* __restrict raw, size_t n, size_t bpp, uint8_t* __restrict out) {
    unsigned sum = 0;
    for (size_t i = 0; i < bpp; ++i)
        sum += cost(out[i] = raw[i]);
    for (size_t i = bpp; i < n; ++i)
        sum += cost(out[i] = uint8_t(raw[i] - raw[i - bpp]));
    return sum;
}

unsigned upFilter(const uint8_t* __restrict raw, const uint8_t* __restrict prev, size_t n,
                  uint8_t* __restrict out) {
    unsigned sum = 0;
    for (size_t i = 0; i < n; ++i)
        sum += cost(out[i] = uint8_t(raw[i] - prev[i]));
    return sum;
}

unsigned averageFilter(const uint8_t* __restrict raw, const uint8_t* __restrict prev, size_t n, size_t bpp,
                       uint8_t* __restrict out) {
    unsigned sum = 0;
    for (size_t i = 0; i < bpp; ++i)
        sum += cost(out[i] = uint8_t(raw[i] - (prev[i] >> 1)));
    for (size_t i = bpp; i < n; ++i)
        sum += cost(out[i] = uint8_t(raw[i] - ((raw[i - bpp] + prev[i]) >> 1)));
    return sum;
}

unsigned paethFilter(const uint8_t* __restrict raw, const uint8_t* __restrict prev, size_t n, size_t bpp,
                     uint8_t* __restrict out) {
    unsigned sum = 0;
    for (size_t i = 0; i < bpp; ++i) // left and upper left are zero: the predictor is the byte above
        sum += cost(out[i] = uint8_t(raw[i] - prev[i]));
    for (size_t i = bpp; i < n; ++i) {
        const int16_t a = raw[i - bpp], b = prev[i], c = prev[i - bpp];
        const int16_t pa = int16_t(std::abs(b - c)), pb = int16_t(std::abs(a - c));
        const int16_t pc = int16_t(std::abs(a + b - 2 * c));
        const int16_t bOrC = pb <= pc ? b : c;
        const int16_t predictor = (pa <= pb) & (pa <= pc) ? a : bOrC;
        sum += cost(out[i] = uint8_t(raw[i] - predictor));
    }
    return sum;
}

unsigned noFilter(const uint8_t* __restrict raw, size_t n, uint8_t* __restrict out) {
    unsigned sum = 0;
    for (size_t i = 0; i < n; ++i)
        sum += cost(out[i] = raw[i]);
    return sum;
}

// Filters one row of n bytes five ways into scratch and writes the one that costs least, preceded
// by its type byte.
void filterRow(const uint8_t* raw, const uint8_t* prev, size_t n, size_t bpp, uint8_t* scratch,
               uint8_t* out) {
    const unsigned costs[kFilters] = {noFilter(raw, n, scratch), subFilter(raw, n, bpp, scratch + n),
                                      upFilter(raw, prev, n, scratch + 2 * n),
                                      averageFilter(raw, prev, n, bpp, scratch + 3 * n),
                                      paethFilter(raw, prev, n, bpp, scratch + 4 * n)};
    const int chosen = int(std::min_element(costs, costs + kFilters) - costs);
    out[0] = uint8_t(chosen);
    std::memcpy(out + 1, scratch + size_t(chosen) * n, n);
}

// Filters rows [top, bottom) into their places in out (n + 1 bytes a row).
void filterBand(const QImage& image, bool alpha, int top, int bottom, uint8_t* out) {
    const size_t bpp = alpha ? 4 : 3;
    const size_t n = size_t(image.width()) * bpp;
    std::vector<uint8_t> rows(2 * n, 0), scratch(kFilters * n);
    uint8_t* prev = rows.data(); // the row above the first is zeros
    uint8_t* raw = rows.data() + n;
    if (top > 0)
        toSamples(reinterpret_cast<const QRgb*>(image.constScanLine(top - 1)), image.width(), alpha, prev);
    for (int y = top; y < bottom; ++y) {
        toSamples(reinterpret_cast<const QRgb*>(image.constScanLine(y)), image.width(), alpha, raw);
        filterRow(raw, prev, n, bpp, scratch.data(), out + size_t(y) * (n + 1));
        std::swap(prev, raw);
    }
}

// Filters every row, in horizontal bands on up to `threads` threads; false when memory ran out.
bool filterImage(const QImage& image, bool alpha, int threads, uint8_t* out) {
    const int height = image.height();
    const int bands = std::max(1, std::min(threads, height));
    const int rowsPerBand = (height + bands - 1) / bands;
    std::atomic<bool> failed{false};
    const auto band = [&](int top) {
        try {
            filterBand(image, alpha, top, std::min(height, top + rowsPerBand), out);
        } catch (const std::bad_alloc&) {
            failed = true;
        }
    };
    std::vector<std::thread> workers;
    for (int top = rowsPerBand; top < height; top += rowsPerBand) {
        try {
            workers.emplace_back(band, top);
        } catch (const std::system_error&) {
            band(top); // no thread to be had: filter it here
        }
    }
    band(0);
    for (std::thread& t : workers)
        t.join();
    return !failed;
}

class ChunkWriter {
public:
    explicit ChunkWriter(QIODevice& device) : device(device) {}

    void raw(const void* data, size_t size) {
        if (ok && size > 0)
            ok = device.write(static_cast<const char*>(data), qint64(size)) == qint64(size);
    }

    void chunk(const char* type, const void* data, size_t size) {
        uint8_t head[8];
        qToBigEndian<quint32>(quint32(size), head);
        std::memcpy(head + 4, type, 4);
        uint32_t crc = libdeflate_crc32(0, head + 4, 4);
        if (size > 0) // given no buffer, libdeflate returns the initial value
            crc = libdeflate_crc32(crc, data, size);
        uint8_t tail[4];
        qToBigEndian<quint32>(crc, tail);
        raw(head, 8);
        raw(data, size);
        raw(tail, 4);
    }
    void chunk(const char* type, const QByteArray& data) {
        chunk(type, data.constData(), size_t(data.size()));
    }

    bool ok = true;

private:
    QIODevice& device;
};

QByteArray bigEndian32(quint32 v) {
    QByteArray bytes(4, Qt::Uninitialized);
    qToBigEndian<quint32>(v, bytes.data());
    return bytes;
}

QByteArray header(const QImage& image, bool alpha) {
    QByteArray ihdr = bigEndian32(quint32(image.width())) + bigEndian32(quint32(image.height()));
    ihdr += char(8);             // bits per sample
    ihdr += char(alpha ? 6 : 2); // RGBA or RGB
    ihdr += QByteArray(3, '\0'); // deflate, adaptive filtering, no interlace
    return ihdr;
}

// Small data compressed whole (the colour profile); empty when memory runs out.
QByteArray zlibCompressed(const QByteArray& data) {
    std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> c(
        libdeflate_alloc_compressor(kPngDeflateLevel), libdeflate_free_compressor);
    if (!c)
        return QByteArray();
    QByteArray out(qsizetype(libdeflate_zlib_compress_bound(c.get(), size_t(data.size()))),
                   Qt::Uninitialized);
    out.resize(qsizetype(libdeflate_zlib_compress(c.get(), data.constData(), size_t(data.size()), out.data(),
                                                  size_t(out.size()))));
    return out;
}

// Text entries as tEXt when Latin-1 is enough, else as uncompressed UTF-8 iTXt. Keywords must be 1
// to 79 Latin-1 characters; others are left out.
void writeTexts(ChunkWriter& w, const QImage& image) {
    for (const QString& key : image.textKeys()) {
        const QByteArray keyword = key.toLatin1();
        if (keyword.isEmpty() || keyword.size() > 79 || QString::fromLatin1(keyword) != key ||
            keyword.contains('\0'))
            continue;
        const QString text = image.text(key);
        const QByteArray latin1 = text.toLatin1();
        if (QString::fromLatin1(latin1) == text && !latin1.contains('\0'))
            w.chunk("tEXt", keyword + '\0' + latin1);
        else // no compression, no language tag, no translated keyword
            w.chunk("iTXt", keyword + QByteArray("\0\0\0\0\0", 5) + text.toUtf8());
    }
}

void writeMetadata(ChunkWriter& w, const QImage& image) {
    const QColorSpace space = image.colorSpace();
    if (space.isValid()) {
        QByteArray name = space.description().toLatin1().left(79);
        if (name.isEmpty() || name.contains('\0'))
            name = "ICC Profile";
        const QByteArray profile = zlibCompressed(space.iccProfile());
        if (!profile.isEmpty())
            w.chunk("iCCP", name + QByteArray("\0\0", 2) + profile);
    }
    if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0)
        w.chunk("pHYs", bigEndian32(quint32(image.dotsPerMeterX())) +
                            bigEndian32(quint32(image.dotsPerMeterY())) + char(1)); // per metre
    writeTexts(w, image);
}

PngWriteResult outOfMemory() {
    PngWriteResult r;
    r.outOfMemory = true;
    r.error = QStringLiteral("Not enough memory to encode the image");
    return r;
}

int chooseThreads(int requested, const QImage& image) {
    if (requested > 0)
        return requested;
    return qint64(image.width()) * image.height() >= kMinPixelsForThreads ? QThread::idealThreadCount() : 1;
}

} // namespace

PngWriteResult writePng(QImage image, QIODevice& device, int threads) {
    if (image.isNull()) {
        PngWriteResult r;
        r.error = QStringLiteral("No image to encode");
        return r;
    }
    const bool alpha = image.hasAlphaChannel();
    const QImage::Format format = alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    if (image.format() != format)
        image = image.convertToFormat(format);
    if (image.isNull())
        return outOfMemory();

    const size_t rowBytes = size_t(image.width()) * (alpha ? 4 : 3) + 1;
    size_t filteredSize = rowBytes * size_t(image.height());
    Bytes filtered = allocate(filteredSize);
    if (!filtered || !filterImage(image, alpha, chooseThreads(threads, image), filtered.get()))
        return outOfMemory();

    // Everything but the pixels is written first, then the pixels are let go before compressing.
    ChunkWriter w(device);
    w.raw("\x89PNG\r\n\x1a\n", 8);
    w.chunk("IHDR", header(image, alpha));
    writeMetadata(w, image);
    image = QImage();

    std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> compressor(
        libdeflate_alloc_compressor(kPngDeflateLevel), libdeflate_free_compressor);
    if (!compressor)
        return outOfMemory();
    const size_t bound = libdeflate_zlib_compress_bound(compressor.get(), filteredSize);
    Bytes compressed = allocate(bound);
    if (!compressed)
        return outOfMemory();
    const size_t size =
        libdeflate_zlib_compress(compressor.get(), filtered.get(), filteredSize, compressed.get(), bound);
    filtered.reset();
    for (size_t at = 0; at < size; at += kIdatChunkBytes)
        w.chunk("IDAT", compressed.get() + at, std::min(kIdatChunkBytes, size - at));
    w.chunk("IEND", nullptr, 0);

    PngWriteResult r;
    r.ok = w.ok && size > 0;
    return r;
}

} // namespace imaging
