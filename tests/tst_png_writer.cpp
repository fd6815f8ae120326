// The PNG encoder against libpng and Qt's decoder: the same pixels, valid chunks, the text kept.
#include "imaging/png_writer.h"

#include <QColorSpace>
#include <QtTest>

#include <png.h>
#include <zlib.h>

#include <set>

namespace {

// The chunks of a PNG stream as type and data, checked by zlib's CRC; empty when anything is wrong.
QList<QByteArray> chunksOf(const QByteArray& png) {
    QList<QByteArray> chunks;
    for (qsizetype at = 8; png.startsWith("\x89PNG\r\n\x1a\n") && at + 12 <= png.size();) {
        const qsizetype length = qFromBigEndian<quint32>(png.constData() + at);
        const QByteArray chunk = png.mid(at + 4, 4 + length);
        if (chunk.size() != 4 + length || at + 12 + length > png.size() ||
            crc32(0, reinterpret_cast<const Bytef*>(chunk.constData()), uInt(chunk.size())) !=
                qFromBigEndian<quint32>(png.constData() + at + 8 + length))
            return QList<QByteArray>();
        chunks.append(chunk);
        at += 12 + length;
    }
    return chunks;
}

// Pixels decoded by libpng's own reader, as straight-alpha 32-bit pixels; null when it refuses.
QImage decodedByLibpng(const QByteArray& png) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    const bool header = png_image_begin_read_from_memory(&image, png.constData(), size_t(png.size()));
    image.format = PNG_FORMAT_BGRA; // QRgb's byte order on little-endian machines
    QImage out(int(image.width), int(image.height), QImage::Format_ARGB32);
    return header && png_image_finish_read(&image, nullptr, out.bits(), int(out.bytesPerLine()), nullptr)
               ? out
               : QImage();
}

QImage noise(int width, int height, QImage::Format format, quint32 seed) {
    QImage image(width, height, format);
    QRandomGenerator random(seed);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) // smooth and noisy rows, so the filters differ from row to row
            image.setPixel(
                x, y, y % 3 == 0 ? random.generate() : qRgba(x % 256, y % 256, (x * y) % 256, 255 - y % 256));
    return image;
}

// A camera-like photo: smooth shading with a little sensor noise, where rows filtered Up often win.
QImage smoothPhoto(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(11);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int n = int(random.bounded(3));
            image.setPixel(x, y, qRgb((x + y) / 4 % 256 + n, 120 + y / 8 % 100 - n, (x * x / 97 + n) % 256));
        }
    return image;
}

// Stripes and dots of `count` colours, half of them translucent when count is above 2.
QImage fewColours(int width, int height, int count) {
    QImage image(width, height, count > 2 ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int i = (x / 3 + y * 7) % count;
            image.setPixel(
                x, y, qRgba(i * 37 % 256, i * 11 % 256, 255 - i, count > 2 && i % 2 ? 100 + i / 2 : 255));
        }
    return image;
}

// The same pixels with every colour made grey.
QImage greyed(const QImage& image) {
    QImage out = image;
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = out.pixel(x, y);
            out.setPixel(x, y, qRgba(qGreen(p), qGreen(p), qGreen(p), qAlpha(p)));
        }
    return out;
}

QByteArray encoded(const QImage& image, int threads = 0,
                   imaging::PngFilterRule rule = imaging::kPngFilterRule) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    return imaging::writePng(image, buffer, threads, rule).ok ? bytes : QByteArray();
}

} // namespace

class TestPngWriter : public QObject {
    Q_OBJECT
private slots:
    // Each case under each rule of choosing the filters: row by row by the smallest sum (with groups
    // of rows Up where a trial prefers it), and group by group by a trial of all five and of that.
    void decodersSeeTheSamePixels_data() {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<int>("threads");
        QTest::addColumn<bool>("mixedFilters"); // rows differ enough to be filtered several ways
        QTest::addColumn<int>("rule");
        const auto row = [](const char* name, const QImage& image, int threads, bool mixed) {
            using imaging::PngFilterRule;
            for (const auto rule : {PngFilterRule::SmallestSumUpTrial, PngFilterRule::GroupTrial})
                QTest::addRow("%s, %s", name, rule == PngFilterRule::GroupTrial ? "trial" : "sum")
                    << image << threads << mixed << int(rule);
        };
        row("opaque", noise(257, 31, QImage::Format_RGB32, 1), 1, true);
        row("straight alpha", noise(100, 77, QImage::Format_ARGB32, 2), 3, true);
        row("premultiplied", noise(40, 40, QImage::Format_ARGB32_Premultiplied, 3), 2, true);
        row("one column", noise(1, 50, QImage::Format_ARGB32, 5), 7, true);
        row("smooth photo", smoothPhoto(300, 150), 2, false);
        // Grey pixels are written as grey samples, with alpha where the image has it.
        row("grey", greyed(noise(203, 64, QImage::Format_RGB32, 4)), 2, true);
        row("grey, alpha", greyed(noise(64, 40, QImage::Format_ARGB32, 6)), 1, true);
        // Few colours through a palette, translucent ones too, packed to 1 or 4 bits where they fit.
        row("two colours", fewColours(101, 30, 2), 2, false);
        row("sixteen colours, alpha", fewColours(77, 20, 16), 1, false);
        row("200 colours, alpha", fewColours(300, 40, 200), 2, false);
        // Over a million pixels: bands on the machine's threads, and several IDAT chunks.
        row("large", noise(1300, 800, QImage::Format_RGB32, 7), 0, true);
    }
    void decodersSeeTheSamePixels() {
        QFETCH(QImage, image);
        QFETCH(int, threads);
        QFETCH(bool, mixedFilters);
        QFETCH(int, rule);
        image.setDotsPerMeterX(3780), image.setDotsPerMeterY(2000);
        const QString latin1 = QStringLiteral("Eye: OI (left); Reference: Paciente 7, revisión");
        const QString unicode = QStringLiteral("Referencia: Łukasz ✓ 患者");
        image.setText(QStringLiteral("Description"), latin1);
        image.setText(QStringLiteral("Comment"), unicode);
        const QByteArray png = encoded(image, threads, imaging::PngFilterRule(rule));
        const QList<QByteArray> chunks = chunksOf(png);
        QVERIFY2(chunks.size() >= 3, "signature, lengths or CRCs are wrong");
        QVERIFY(chunks.first().startsWith("IHDR") && chunks.last() == "IEND");
        QByteArray zlib;
        for (const QByteArray& c : chunks)
            zlib += c.startsWith("IDAT") ? c.mid(4) : QByteArray();
        QCOMPARE(png.count("IDAT") > 1, qint64(image.width()) * image.height() > 1000000);
        // Grey when every pixel is, else a palette for at most 256 colours; then, by the smallest
        // sum, each row is filtered by the filter that suits it, not all one way.
        std::set<QRgb> colours;
        const QImage straight = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                colours.insert(straight.pixel(x, y));
        const int colourType = chunks.first().at(4 + 9), depth = chunks.first().at(4 + 8);
        QCOMPARE(colourType, image.allGray()         ? (image.hasAlphaChannel() ? 4 : 0)
                             : colours.size() <= 256 ? 3
                                                     : 2 + (image.hasAlphaChannel() ? 4 : 0));
        QCOMPARE(depth, colourType != 3 ? 8 : colours.size() <= 2 ? 1 : colours.size() <= 16 ? 4 : 8);
        const int samples = colourType == 3 ? 1 : (colourType & 2 ? 3 : 1) + (colourType & 4 ? 1 : 0);
        const int rowBytes = (image.width() * samples * depth + 7) / 8 + 1;
        QByteArray rows(image.height() * rowBytes, '\0');
        uLongf size = uLongf(rows.size());
        QVERIFY(uncompress(reinterpret_cast<Bytef*>(rows.data()), &size,
                           reinterpret_cast<const Bytef*>(zlib.constData()), uLong(zlib.size())) == Z_OK &&
                qsizetype(size) == rows.size());
        std::set<int> types;
        for (int y = 0; y < image.height(); ++y)
            types.insert(uchar(rows[y * rowBytes]));
        if (colourType == 3) // indices are not levels: no filter predicts them
            QCOMPARE(types, std::set<int>{0});
        else
            QVERIFY(*types.rbegin() <= 4 &&
                    (!mixedFilters || image.height() < 30 || types.size() >= 3 ||
                     imaging::PngFilterRule(rule) == imaging::PngFilterRule::GroupTrial));

        const QImage expected = image.convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(decodedByLibpng(png), expected);
        const QImage byQt = QImage::fromData(png, "PNG");
        QCOMPARE(byQt.convertToFormat(QImage::Format_ARGB32), expected);
        QCOMPARE(byQt.hasAlphaChannel(), image.hasAlphaChannel());
        QCOMPARE(QStringList({byQt.text("Description"), byQt.text("Comment")}),
                 QStringList({latin1, unicode}));
        QCOMPARE(QList<int>({byQt.dotsPerMeterX(), byQt.dotsPerMeterY()}), QList<int>({3780, 2000}));
    }

    // sRGB as its one-byte chunk, any other colour space as its profile; both read back the same.
    void colourSpaceKept() {
        for (const auto& [space, chunk] :
             {std::pair{QColorSpace(QColorSpace::SRgb), QByteArray("sRGB")},
              std::pair{QColorSpace(QColorSpace::DisplayP3), QByteArray("iCCP")}}) {
            QImage image = smoothPhoto(40, 30);
            image.setColorSpace(space);
            const QByteArray png = encoded(image);
            QList<QByteArray> types;
            for (const QByteArray& c : chunksOf(png))
                types << c.left(4);
            QVERIFY(types.contains(chunk) && types.count("sRGB") + types.count("iCCP") == 1);
            QCOMPARE(QImage::fromData(png, "PNG").colorSpace(), space);
        }
    }

    // Pieces deflated on separate threads are joined wherever the previous one's last bit fell.
    void piecesJoinAtAnyBitPosition() {
        for (int width = 1; width <= 24; ++width) {
            const QImage image = smoothPhoto(width, 40).convertToFormat(QImage::Format_ARGB32);
            QCOMPARE(decodedByLibpng(encoded(image, 4)), image);
        }
    }

    void failuresAreReported() {
        QBuffer buffer;
        buffer.open(QIODevice::ReadOnly); // nothing can be written
        QVERIFY(!imaging::writePng(QImage(), buffer).error.isEmpty());
        QVERIFY(!imaging::writePng(noise(10, 10, QImage::Format_RGB32, 9), buffer).ok);
    }
};

QTEST_MAIN(TestPngWriter)
#include "tst_png_writer.moc"
