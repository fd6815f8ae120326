#include "imaging/png_writer.h"

#include <QColorSpace>
#include <QIODevice>
#include <QThread>
#include <QtEndian>

#include <libdeflate.h>
#include <zlib.h>

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
// Each group of rows is filtered the way a trial on its first rows chose.
constexpr int kGroupRows = 64;
constexpr int kTrialRows = 4;
// The zlib stream's header: deflate with a 32 KB window, and the level's class as libdeflate gives it.
constexpr int kLevelClass = kPngDeflateLevel < 2   ? 0
                            : kPngDeflateLevel < 6 ? 1
                            : kPngDeflateLevel < 8 ? 2
                                                   : 3;
constexpr uint8_t kZlibHeader[2] = {0x78,
                                    uint8_t((kLevelClass << 6) + 31 - (0x7800 + (kLevelClass << 6)) % 31)};

using Bytes = std::unique_ptr<uint8_t[]>;

Bytes allocate(size_t n) {
    return Bytes(new (std::nothrow) uint8_t[n]); // left uninitialised: pages are touched as written
}

// The PNG colour type a 32-bit image is written as: grey when every pixel is grey (infrared and
// monochrome photos), a third of the samples to filter and deflate; else with a palette when it has
// at most 256 colours (drawings, masks); alpha only where the image has it.
struct SampleLayout {
    bool grey = false;
    bool alpha = false;
    std::vector<QRgb> palette; // straight ARGB, ascending: the translucent entries come first
    int paletteBits() const {
        const size_t n = palette.size();
        return n == 0 ? 0 : n <= 2 ? 1 : n <= 4 ? 2 : n <= 16 ? 4 : 8;
    }
    size_t bpp() const { return palette.empty() ? size_t(grey ? 1 : 3) + (alpha ? 1 : 0) : 1; }
    size_t rowBytes(int width) const {
        return palette.empty() ? size_t(width) * bpp() : (size_t(width) * size_t(paletteBits()) + 7) / 8;
    }
    char colourType() const { return char(palette.empty() ? (grey ? 0 : 2) + (alpha ? 4 : 0) : 3); }
    char bitDepth() const { return char(palette.empty() ? 8 : paletteBits()); }
};

// The image's colours, ascending, when it has at most 256; else none.
std::vector<QRgb> fewColours(const QImage& image) {
    std::vector<QRgb> colours;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (x > 0 && row[x] == row[x - 1])
                continue;
            const auto at = std::lower_bound(colours.begin(), colours.end(), row[x]);
            if (at != colours.end() && *at == row[x])
                continue;
            if (colours.size() == 256)
                return {};
            colours.insert(at, row[x]);
        }
    }
    return colours;
}

bool allGrey(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        quint32 differ = 0;
        for (int x = 0; x < image.width(); ++x) // branch-free within the row, so it vectorises
            differ |= (((row[x] >> 16) ^ row[x]) & 0xff) | (((row[x] >> 8) ^ row[x]) & 0xff);
        if (differ)
            return false;
    }
    return true;
}

// One row of 32-bit pixels as PNG samples: palette indices packed into bytes, or R, G, B (or the grey
// level) and, with alpha, A.
void toSamples(const QRgb* row, int width, const SampleLayout& layout, uint8_t* out) {
    if (!layout.palette.empty()) {
        const int bits = layout.paletteBits();
        std::fill(out, out + layout.rowBytes(width), uint8_t(0));
        auto index = unsigned(std::lower_bound(layout.palette.begin(), layout.palette.end(), row[0]) -
                              layout.palette.begin());
        for (int x = 0; x < width; ++x) {
            if (x > 0 && row[x] != row[x - 1])
                index = unsigned(std::lower_bound(layout.palette.begin(), layout.palette.end(), row[x]) -
                                 layout.palette.begin());
            const size_t bit = size_t(x) * size_t(bits);
            out[bit / 8] |= uint8_t(index << (8 - bits - int(bit % 8)));
        }
    } else if (layout.grey) {
        const size_t step = layout.bpp();
        for (int x = 0; x < width; ++x, out += step) {
            out[0] = uint8_t(qBlue(row[x]));
            if (layout.alpha)
                out[1] = uint8_t(qAlpha(row[x]));
        }
    } else if (layout.alpha) {
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

// One row filtered by the given filter, preceded by its type byte.
void filterRowAs(int filter, const uint8_t* raw, const uint8_t* prev, size_t n, size_t bpp, uint8_t* out) {
    out[0] = uint8_t(filter);
    switch (filter) {
    case 0:
        noFilter(raw, n, out + 1);
        break;
    case 1:
        subFilter(raw, n, bpp, out + 1);
        break;
    case 2:
        upFilter(raw, prev, n, out + 1);
        break;
    case 3:
        averageFilter(raw, prev, n, bpp, out + 1);
        break;
    default:
        paethFilter(raw, prev, n, bpp, out + 1);
        break;
    }
}

using Compressor = std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)>;

Compressor compressor(int level) {
    return Compressor(libdeflate_alloc_compressor(level), libdeflate_free_compressor);
}

// Deflated size of n bytes; 0 when it did not fit in out.
size_t deflatedSize(libdeflate_compressor* c, const uint8_t* data, size_t n, std::vector<uint8_t>& out) {
    return libdeflate_deflate_compress(c, data, n, out.data(), out.size());
}

// Filters rows [top, bottom) into their places in out (n + 1 bytes a row), by rule.
//  SmallestSumUpTrial: each row by the smallest sum of magnitudes; that sum misjudges smooth photos,
//   where rows filtered Up repeat the rows above and deflate better, so the first rows of each group
//   are filtered both ways and trial-deflated, and the group follows the way that came out smaller.
//  GroupTrial: the first rows of each group trial-deflated filtered each of the five ways and by
//   the smallest sum row by row; the group follows the smallest.
// Rows of palette indices are left unfiltered.
void filterBand(const QImage& image, const SampleLayout& layout, PngFilterRule rule, int top, int bottom,
                uint8_t* out) {
    const size_t bpp = layout.bpp();
    const size_t n = layout.rowBytes(image.width()), stride = n + 1;
    constexpr int kWays = kFilters + 1; // the five filters, then row by row by the smallest sum
    constexpr int kAdaptive = kFilters;
    std::vector<uint8_t> rows(2 * n, 0), scratch(kFilters * n), trialRows(kWays * kTrialRows * stride);
    const Compressor trial = compressor(1);
    if (!trial)
        throw std::bad_alloc();
    std::vector<uint8_t> trialOut(libdeflate_deflate_compress_bound(trial.get(), kTrialRows * stride));
    uint8_t* prev = rows.data(); // the row above the first is zeros
    uint8_t* raw = rows.data() + n;
    if (top > 0)
        toSamples(reinterpret_cast<const QRgb*>(image.constScanLine(top - 1)), image.width(), layout, prev);
    int way = kAdaptive;
    for (int y = top; y < bottom; ++y) {
        toSamples(reinterpret_cast<const QRgb*>(image.constScanLine(y)), image.width(), layout, raw);
        uint8_t* row = out + size_t(y) * stride;
        const int inGroup = (y - top) % kGroupRows;
        if (!layout.palette.empty()) { // indices, not levels: no filter predicts them
            filterRowAs(0, raw, prev, n, bpp, row);
        } else if (inGroup < kTrialRows) {
            filterRow(raw, prev, n, bpp, scratch.data(), row);
            for (int f = 0; f < kFilters; ++f)
                if (rule == PngFilterRule::GroupTrial || f == 2)
                    filterRowAs(f, raw, prev, n, bpp,
                                trialRows.data() + (size_t(f) * kTrialRows + size_t(inGroup)) * stride);
            if (inGroup + 1 == kTrialRows || y + 1 == bottom) {
                uint8_t* first = row - size_t(inGroup) * stride;
                const size_t bytes = size_t(inGroup + 1) * stride;
                size_t best = deflatedSize(trial.get(), first, bytes, trialOut);
                way = kAdaptive;
                for (int f = 0; f < kFilters; ++f) {
                    if (rule != PngFilterRule::GroupTrial && f != 2)
                        continue;
                    const uint8_t* tried = trialRows.data() + size_t(f) * kTrialRows * stride;
                    const size_t size = deflatedSize(trial.get(), tried, bytes, trialOut);
                    if (size < best)
                        best = size, way = f;
                }
                if (way != kAdaptive)
                    std::memcpy(first, trialRows.data() + size_t(way) * kTrialRows * stride, bytes);
            }
        } else if (way != kAdaptive) {
            filterRowAs(way, raw, prev, n, bpp, row);
        } else {
            filterRow(raw, prev, n, bpp, scratch.data(), row);
        }
        std::swap(prev, raw);
    }
}

// Runs work(0) .. work(parts - 1), each on a thread of its own where one is to be had; false when any
// of them ran out of memory.
template <typename Work> bool inParallel(int parts, const Work& work) {
    std::atomic<bool> failed{false};
    const auto part = [&](int i) {
        try {
            if (!work(i))
                failed = true;
        } catch (const std::bad_alloc&) {
            failed = true;
        }
    };
    std::vector<std::thread> workers;
    for (int i = 1; i < parts; ++i) {
        try {
            workers.emplace_back(part, i);
        } catch (const std::system_error&) {
            part(i); // no thread to be had: do it here
        }
    }
    part(0);
    for (std::thread& t : workers)
        t.join();
    return !failed;
}

// Filters every row, in horizontal bands on up to `threads` threads; false when memory ran out.
bool filterImage(const QImage& image, const SampleLayout& layout, PngFilterRule rule, int threads,
                 uint8_t* out) {
    const int height = image.height();
    const int bands = std::max(1, std::min(threads, height));
    const int rowsPerBand = (height + bands - 1) / bands;
    return inParallel((height + rowsPerBand - 1) / rowsPerBand, [&](int i) {
        filterBand(image, layout, rule, i * rowsPerBand, std::min(height, (i + 1) * rowsPerBand), out);
        return true;
    });
}

// A run of the zlib stream, deflated on a thread of its own.
struct Piece {
    Bytes data;
    size_t size = 0;
    size_t length = 0;  // uncompressed
    uint32_t adler = 1; // of the uncompressed bytes
};

// libdeflate ends what it writes with a block marked final, which must not be so when another piece
// follows. zlib's inflate, stopping at every block boundary, tells where the last block's header
// lies and how many bits of the last byte are unused: the final mark is cleared and an empty stored
// block ends the piece on a byte boundary, as a sync flush does. There must be room for 5 more bytes.
// False when the piece is not a whole raw deflate stream, which libdeflate never writes.
bool continueAfter(Piece& piece) {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK)
        return false;
    std::vector<uint8_t> sink(size_t(1) << 16);
    z.next_in = piece.data.get();
    z.avail_in = uInt(piece.size);
    size_t header = 0; // bit offset of the header of the block being decoded
    bool reachedEnd = false;
    // A call that stops on a boundary may have consumed and written nothing; two such in a row mean
    // the input ran out.
    for (int idle = 0; idle < 2 && !reachedEnd;) {
        z.next_out = sink.data();
        z.avail_out = uInt(sink.size());
        const int ret = inflate(&z, Z_BLOCK);
        if (ret != Z_OK && ret != Z_BUF_ERROR)
            break;
        const bool atBoundary = (z.data_type & 128) != 0, last = (z.data_type & 64) != 0;
        reachedEnd = atBoundary && last;
        if (atBoundary && !last)
            header = size_t(z.next_in - piece.data.get()) * 8 - size_t(z.data_type & 7);
        idle = ret == Z_BUF_ERROR ? idle + 1 : 0;
    }
    const int unusedBits = z.data_type & 7;
    const bool whole = reachedEnd && z.avail_in == 0;
    inflateEnd(&z);
    if (!whole)
        return false;
    piece.data[header / 8] &= uint8_t(~(1u << (header % 8)));
    piece.data[piece.size - 1] &= uint8_t(0xff >> unusedBits);
    if (unusedBits < 3) // no room left in the last byte for the stored block's 3 header bits
        piece.data[piece.size++] = 0;
    const uint8_t emptyStored[4] = {0x00, 0x00, 0xff, 0xff};
    std::memcpy(piece.data.get() + piece.size, emptyStored, 4);
    piece.size += 4;
    return true;
}

// Deflates n bytes in `parts` pieces on as many threads, to be joined into one zlib stream; empty
// when memory ran out. Each piece starts afresh, without the previous piece's last 32 KB to refer
// to, which costs next to nothing on pieces of megabytes.
std::vector<Piece> deflatePieces(const uint8_t* data, size_t n, int parts) {
    const size_t per = (n + size_t(parts) - 1) / size_t(parts);
    std::vector<Piece> pieces(size_t((n + per - 1) / per));
    const bool ok = inParallel(int(pieces.size()), [&](int i) {
        const size_t at = size_t(i) * per, length = std::min(per, n - at);
        const Compressor c = compressor(kPngDeflateLevel);
        Piece& piece = pieces[size_t(i)];
        const size_t bound = c ? libdeflate_deflate_compress_bound(c.get(), length) + 5 : 0;
        piece.data = c ? allocate(bound) : nullptr;
        if (!piece.data)
            return false;
        piece.size = libdeflate_deflate_compress(c.get(), data + at, length, piece.data.get(), bound);
        piece.length = length;
        piece.adler = libdeflate_adler32(1, data + at, length);
        return piece.size > 0 && (size_t(i) + 1 == pieces.size() || continueAfter(piece));
    });
    return ok ? std::move(pieces) : std::vector<Piece>();
}

struct Span {
    const uint8_t* data;
    size_t size;
};

class ChunkWriter {
public:
    explicit ChunkWriter(QIODevice& device) : device(device) {}

    void raw(const void* data, size_t size) {
        if (ok && size > 0)
            ok = device.write(static_cast<const char*>(data), qint64(size)) == qint64(size);
    }

    void chunk(const char* type, const void* data, size_t size) {
        const uint32_t crc = begin(type, size);
        raw(data, size);
        end(size > 0 ? libdeflate_crc32(crc, data, size) : crc); // given no buffer, libdeflate restarts
    }

    // The bytes of the spans one after the other, as chunks of up to `most` bytes each.
    void chunks(const char* type, const std::vector<Span>& spans, size_t most) {
        size_t left = 0;
        for (const Span& s : spans)
            left += s.size;
        size_t span = 0, at = 0;
        while (left > 0) {
            const size_t size = std::min(most, left);
            uint32_t crc = begin(type, size);
            for (size_t todo = size; todo > 0;) {
                const size_t n = std::min(todo, spans[span].size - at);
                crc = libdeflate_crc32(crc, spans[span].data + at, n);
                raw(spans[span].data + at, n);
                todo -= n;
                at += n;
                if (at == spans[span].size)
                    ++span, at = 0;
            }
            end(crc);
            left -= size;
        }
    }
    void chunk(const char* type, const QByteArray& data) {
        chunk(type, data.constData(), size_t(data.size()));
    }

    bool ok = true;

private:
    // Writes a chunk's length and type; returns the CRC of the type, to be continued over the data.
    uint32_t begin(const char* type, size_t size) {
        uint8_t head[8];
        qToBigEndian<quint32>(quint32(size), head);
        std::memcpy(head + 4, type, 4);
        raw(head, 8);
        return libdeflate_crc32(0, type, 4);
    }
    void end(uint32_t crc) {
        uint8_t tail[4];
        qToBigEndian<quint32>(crc, tail);
        raw(tail, 4);
    }

    QIODevice& device;
};

QByteArray bigEndian32(quint32 v) {
    QByteArray bytes(4, Qt::Uninitialized);
    qToBigEndian<quint32>(v, bytes.data());
    return bytes;
}

QByteArray header(const QImage& image, const SampleLayout& layout) {
    QByteArray ihdr = bigEndian32(quint32(image.width())) + bigEndian32(quint32(image.height()));
    ihdr += layout.bitDepth();
    ihdr += layout.colourType();
    ihdr += QByteArray(3, '\0'); // deflate, adaptive filtering, no interlace
    return ihdr;
}

// Small data compressed whole (the colour profile); empty when memory runs out.
QByteArray zlibCompressed(const QByteArray& data) {
    const Compressor c = compressor(kPngDeflateLevel);
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

// PLTE and, for translucent entries, tRNS: those come first, so tRNS stops at the last of them.
void writePalette(ChunkWriter& w, const SampleLayout& layout) {
    if (layout.palette.empty())
        return;
    QByteArray rgb, alpha;
    for (QRgb c : layout.palette) {
        rgb += char(qRed(c));
        rgb += char(qGreen(c));
        rgb += char(qBlue(c));
        if (qAlpha(c) < 255)
            alpha += char(qAlpha(c));
    }
    w.chunk("PLTE", rgb);
    if (!alpha.isEmpty())
        w.chunk("tRNS", alpha);
}

void writeMetadata(ChunkWriter& w, const QImage& image) {
    const QColorSpace space = image.colorSpace();
    if (space == QColorSpace(QColorSpace::SRgb)) {
        w.chunk("sRGB", QByteArray(1, '\0')); // says as much as the profile, in one byte (perceptual)
    } else if (space.isValid()) {
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

PngWriteResult writePng(QImage image, QIODevice& device, int threads, PngFilterRule rule) {
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

    SampleLayout layout;
    layout.alpha = alpha;
    layout.grey = allGrey(image);
    if (!layout.grey)
        layout.palette = fewColours(image);
    const size_t rowBytes = layout.rowBytes(image.width()) + 1;
    const size_t filteredSize = rowBytes * size_t(image.height());
    threads = chooseThreads(threads, image);
    Bytes filtered = allocate(filteredSize);
    if (!filtered || !filterImage(image, layout, rule, threads, filtered.get()))
        return outOfMemory();

    // Everything but the pixels is written first, then the pixels are let go before compressing.
    ChunkWriter w(device);
    w.raw("\x89PNG\r\n\x1a\n", 8);
    w.chunk("IHDR", header(image, layout));
    writeMetadata(w, image);
    writePalette(w, layout);
    image = QImage();

    const std::vector<Piece> pieces = deflatePieces(filtered.get(), filteredSize, threads);
    filtered.reset();
    if (pieces.empty())
        return outOfMemory();
    uint32_t adler = pieces.front().adler;
    std::vector<Span> stream{{kZlibHeader, 2}};
    for (const Piece& p : pieces) {
        if (&p != &pieces.front())
            adler = uint32_t(adler32_combine(adler, p.adler, z_off_t(p.length)));
        stream.push_back({p.data.get(), p.size});
    }
    uint8_t trailer[4];
    qToBigEndian<quint32>(adler, trailer);
    stream.push_back({trailer, 4});
    w.chunks("IDAT", stream, kIdatChunkBytes);
    w.chunk("IEND", nullptr, 0);

    PngWriteResult r;
    r.ok = w.ok;
    return r;
}

} // namespace imaging
