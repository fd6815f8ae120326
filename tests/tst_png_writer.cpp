// The PNG encoder against libpng and Qt's decoder: the same pixels, valid chunks, the text kept.
#include "imaging/png_writer.h"

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

QByteArray encoded(const QImage& image, int threads = 0) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    return imaging::writePng(image, buffer, threads).ok ? bytes : QByteArray();
}

} // namespace

class TestPngWriter : public QObject {
    Q_OBJECT
private slots:
    void decodersSeeTheSamePixels_data() {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<int>("threads");
        QTest::addColumn<bool>("mixedFilters"); // rows differ enough to be filtered several ways
        QTest::newRow("opaque") << noise(257, 31, QImage::Format_RGB32, 1) << 1 << true;
        QTest::newRow("straight alpha") << noise(100, 77, QImage::Format_ARGB32, 2) << 3 << true;
        QTest::newRow("premultiplied") << noise(40, 40, QImage::Format_ARGB32_Premultiplied, 3) << 2 << true;
        QTest::newRow("one column") << noise(1, 50, QImage::Format_ARGB32, 5) << 7 << true;
        QTest::newRow("smooth photo") << smoothPhoto(300, 150) << 2 << false;
        // Over a million pixels: bands on the machine's threads, and several IDAT chunks.
        QTest::newRow("large") << noise(1300, 800, QImage::Format_RGB32, 7) << 0 << true;
    }
    void decodersSeeTheSamePixels() {
        QFETCH(QImage, image);
        QFETCH(int, threads);
        QFETCH(bool, mixedFilters);
        image.setDotsPerMeterX(3780), image.setDotsPerMeterY(2000);
        const QString latin1 = QStringLiteral("Eye: OI (left); Reference: Paciente 7, revisión");
        const QString unicode = QStringLiteral("Referencia: Łukasz ✓ 患者");
        image.setText(QStringLiteral("Description"), latin1);
        image.setText(QStringLiteral("Comment"), unicode);
        const QByteArray png = encoded(image, threads);
        const QList<QByteArray> chunks = chunksOf(png);
        QVERIFY2(chunks.size() >= 3, "signature, lengths or CRCs are wrong");
        QVERIFY(chunks.first().startsWith("IHDR") && chunks.last() == "IEND");
        QByteArray zlib;
        for (const QByteArray& c : chunks)
            zlib += c.startsWith("IDAT") ? c.mid(4) : QByteArray();
        QCOMPARE(png.count("IDAT") > 1, qint64(image.width()) * image.height() > 1000000);
        // Each row is filtered by the filter that suits it, not all one way.
        const int rowBytes = image.width() * (image.hasAlphaChannel() ? 4 : 3) + 1;
        QByteArray rows(image.height() * rowBytes, '\0');
        uLongf size = uLongf(rows.size());
        QVERIFY(uncompress(reinterpret_cast<Bytef*>(rows.data()), &size,
                           reinterpret_cast<const Bytef*>(zlib.constData()), uLong(zlib.size())) == Z_OK &&
                qsizetype(size) == rows.size());
        std::set<int> types;
        for (int y = 0; y < image.height(); ++y)
            types.insert(uchar(rows[y * rowBytes]));
        QVERIFY(*types.rbegin() <= 4 && (!mixedFilters || image.height() < 30 || types.size() >= 3));

        const QImage expected = image.convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(decodedByLibpng(png), expected);
        const QImage byQt = QImage::fromData(png, "PNG");
        QCOMPARE(byQt.convertToFormat(QImage::Format_ARGB32), expected);
        QCOMPARE(byQt.hasAlphaChannel(), image.hasAlphaChannel());
        QCOMPARE(QStringList({byQt.text("Description"), byQt.text("Comment")}),
                 QStringList({latin1, unicode}));
        QCOMPARE(QList<int>({byQt.dotsPerMeterX(), byQt.dotsPerMeterY()}), QList<int>({3780, 2000}));
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
