#include "imaging/imaging.h"
#include "testsupport.h"

#include <QDataStream>
#include <QFile>
#include <QImageWriter>
#include <QtTest>

namespace {

// A BMP header that claims width x height pixels of 24 bits but carries no pixel data.
QByteArray bmpHeaderClaiming(qint32 width, qint32 height) {
    QByteArray bytes;
    QDataStream s(&bytes, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    const quint32 rowBytes = ((quint32(width) * 3 + 3) / 4) * 4;
    s.writeRawData("BM", 2);
    s << quint32(54 + rowBytes * quint32(height)) << quint16(0) << quint16(0) << quint32(54);
    s << quint32(40) << width << height << quint16(1) << quint16(24) << quint32(0)
      << quint32(rowBytes * quint32(height)) << qint32(2835) << qint32(2835) << quint32(0) << quint32(0);
    return bytes;
}

} // namespace

class TestImaging : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { imaging::configureDecoderLimits(); }

    void decodesEachFormatByContent_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("alpha");
        QTest::newRow("jpeg") << "eye_600x400.jpg" << QSize(600, 400) << false;
        QTest::newRow("png named .jpg") << "png_named.jpg" << QSize(320, 240) << false;
        QTest::newRow("png with alpha") << "alpha.png" << QSize(120, 80) << true;
        QTest::newRow("bmp") << "sample.bmp" << QSize(160, 120) << false;
        QTest::newRow("tiff") << "sample.tif" << QSize(160, 120) << false;
    }
    void decodesEachFormatByContent() {
        QFETCH(QString, file);
        QFETCH(QSize, size);
        QFETCH(bool, alpha);
        const imaging::Decoded d = imaging::decodeFile(testData(file));
        QVERIFY2(d.ok(), qPrintable(d.error));
        QCOMPARE(d.image.size(), size);
        // Opaque photos stay RGB32, fast to draw and scale; photos with alpha keep exact colours.
        QCOMPARE(d.image.format(), alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        if (alpha) {
            QCOMPARE(qAlpha(d.image.pixel(0, 0)), 0);
            QCOMPARE(qAlpha(d.image.pixel(60, 40)), 255);
        }
    }

    void failuresCarryAReason_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing") << testData("no_such_file.jpg");
        QTest::newRow("not an image") << testData("not_an_image.jpg");
        QTest::newRow("zero bytes") << testData("empty.jpg");
        QTest::newRow("folder") << testData("");
    }
    void failuresCarryAReason() {
        QFETCH(QString, path);
        const imaging::Decoded d = imaging::decodeFile(path);
        QVERIFY(!d.ok());
        QVERIFY(!d.error.isEmpty());
    }

    void exifOrientationIsApplied() {
        // Stored 200 x 100 with a blue left quarter, tagged "rotate 90 CW": upright it is 100 x 200, blue on
        // top.
        const imaging::Decoded d = imaging::decodeFile(testData("exif_rotated.jpg"));
        QVERIFY2(d.ok(), qPrintable(d.error));
        QCOMPARE(d.image.size(), QSize(100, 200));
        const QColor top = d.image.pixelColor(50, 10);
        const QColor bottom = d.image.pixelColor(50, 190);
        QVERIFY2(top.blue() > 150 && top.red() < 100, qPrintable(top.name()));
        QVERIFY2(bottom.red() > 150 && bottom.blue() < 100, qPrintable(bottom.name()));
    }

    void largePhotoLoadsAndOversizedFailsCleanly() {
        // 12000 x 8000 (96 megapixels) is over Qt's default limit and must load.
        const QString big = tempDir() + "/big.bmp";
        {
            QImage image(12000, 8000, QImage::Format_RGB888);
            image.fill(qRgb(10, 20, 30));
            QVERIFY(image.save(big, "BMP"));
        }
        const imaging::Decoded ok = imaging::decodeFile(big);
        QVERIFY2(ok.ok(), qPrintable(ok.error));
        QCOMPARE(ok.image.size(), QSize(12000, 8000));
        QCOMPARE(ok.image.pixel(11999, 7999), qRgb(10, 20, 30));

        // A header claiming 200 megapixels fails with a reason instead of allocating.
        const imaging::Decoded tooBig = imaging::decodeBytes(bmpHeaderClaiming(20000, 10000));
        QVERIFY(!tooBig.ok());
        QVERIFY(!tooBig.error.isEmpty());
    }

    void resolutionSurvivesRoundTrips_data() {
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("png") << QByteArray("png");
        QTest::newRow("jpeg") << QByteArray("jpeg");
        QTest::newRow("bmp") << QByteArray("bmp");
        QTest::newRow("tiff") << QByteArray("tiff");
    }
    void resolutionSurvivesRoundTrips() {
        QFETCH(QByteArray, format);
        QImage image(20, 10, QImage::Format_RGB32);
        image.fill(Qt::gray);
        imaging::setDpi(image, 300, 150);
        QCOMPARE(qRound(imaging::dpiX(image)), 300);
        const QString path = tempDir() + "/res." + format;
        QImageWriter writer(path, format);
        QVERIFY2(writer.write(image), qPrintable(writer.errorString()));
        const imaging::Decoded back = imaging::decodeFile(path);
        QVERIFY(back.ok());
        QVERIFY(qAbs(imaging::dpiX(back.image) - 300) < 0.1);
        QVERIFY(qAbs(imaging::dpiY(back.image) - 150) < 0.1);
    }

    void encodersByMimeType() {
        QCOMPARE(imaging::encoderForMimeType("image/png"), QByteArray("png"));
        QCOMPARE(imaging::encoderForMimeType("image/jpeg"), QByteArray("jpeg"));
        QCOMPARE(imaging::encoderForMimeType("image/bmp"), QByteArray("bmp"));
        QCOMPARE(imaging::encoderForMimeType("image/tiff"), QByteArray("tiff"));
        QVERIFY(imaging::encoderForMimeType("image/gif").isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestImaging)
#include "tst_imaging.moc"
