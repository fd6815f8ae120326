#include "i18n/catalogue.h"
#include "imaging/imaging.h"
#include "output/decode_report.h"
#include "testsupport.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QtTest>

namespace {

void putBigEndian(QByteArray& bytes, int at, quint32 value, int size) {
    for (int i = 0; i < size; ++i)
        bytes[at + i] = char(value >> (8 * (size - 1 - i)));
}

// A real small PNG whose header is rewritten to declare width x height, with a valid checksum.
QByteArray pngClaiming(quint32 width, quint32 height) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImage(4, 4, QImage::Format_RGB32).save(&buffer, "PNG");
    putBigEndian(bytes, 16, width, 4); // IHDR data follows the signature, length and type
    putBigEndian(bytes, 20, height, 4);
    putBigEndian(bytes, 29, pngCrc32(bytes.constData() + 12, 17), 4);
    return bytes;
}

// The test photo with its frame header rewritten to declare width x height.
QByteArray jpegClaiming(quint16 width, quint16 height) {
    QFile file(testData("eye_600x400.jpg"));
    file.open(QIODevice::ReadOnly);
    QByteArray bytes = file.readAll();
    const int sof = bytes.indexOf(QByteArray("\xFF\xC0", 2));
    putBigEndian(bytes, sof + 5, height, 2);
    putBigEndian(bytes, sof + 7, width, 2);
    return bytes;
}

} // namespace

class TestImaging : public QObject {
    Q_OBJECT

    static QString brokenLink() {
        const QString link = tempDir() + "/broken.jpg";
        QFile::link(tempDir() + "/gone.jpg", link);
        return link;
    }

private slots:
    void initTestCase() {
        imaging::configureDecoderLimits();
        i18n::initCatalogue(QStringLiteral(PELVANOR_BIN_DIR));
    }

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
        QTest::addColumn<imaging::DecodeFailure>("failure");
        QTest::newRow("missing") << testData("no_such_file.jpg") << imaging::DecodeFailure::Unreadable;
        QTest::newRow("broken link") << brokenLink() << imaging::DecodeFailure::Unreadable;
        QTest::newRow("not an image") << testData("not_an_image.jpg") << imaging::DecodeFailure::Undecodable;
        QTest::newRow("zero bytes") << testData("empty.jpg") << imaging::DecodeFailure::Undecodable;
    }
    void failuresCarryAReason() {
        QFETCH(QString, path);
        QFETCH(imaging::DecodeFailure, failure);
        const imaging::Decoded d = imaging::decodeFile(path);
        QVERIFY(!d.ok());
        QCOMPARE(d.failure, failure);
        QVERIFY(!d.error.isEmpty());
        QCOMPARE(d.detail, imaging::RefusalDetail::None); // the window's headline covers these
    }

    // Refused before reading: a FIFO would otherwise wait for a writer for ever, a device be read
    // without end.
    void specialFilesAreRefusedUnread_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("reasonEs");
        const QString dir = tempDir();
        const QString fifo = makeSpecialFile(dir, "fifo");
        QVERIFY(QFile::link(fifo, dir + "/link to fifo.jpg"));
        QTest::newRow("folder") << makeSpecialFile(dir, "folder") << "folder"
                                << "carpeta";
        QTest::newRow("fifo") << fifo << "named pipe"
                              << "tubería";
        QTest::newRow("link to a fifo") << dir + "/link to fifo.jpg"
                                        << "named pipe"
                                        << "tubería";
        QTest::newRow("socket") << makeSpecialFile(dir, "socket") << "socket"
                                << "socket";
        QTest::newRow("endless device") << "/dev/zero"
                                        << "device"
                                        << "dispositivo";
    }
    void specialFilesAreRefusedUnread() {
        QFETCH(QString, path);
        QFETCH(QString, reason);
        QFETCH(QString, reasonEs);
        const imaging::Decoded d = imaging::decodeFile(path);
        QVERIFY(!d.ok());
        QCOMPARE(d.failure, imaging::DecodeFailure::NotRegularFile);
        QVERIFY2(d.error.contains(reason), qPrintable(d.error));
        QVERIFY2(refusalDetailText(d).contains(reasonEs), qPrintable(refusalDetailText(d)));
    }

    // Found by the fuzzer: four changed bytes make a tEXt chunk claim 1.8 GB, which libpng allocated
    // before finding the file too short. Refused before decoding now.
    void pngChunkBeyondTheFileIsRefusedUnread() {
        const QString found = testData("bad/oom-cbba6851cf65913bd72f83871d3482f4f2387319");
        QFile file(found);
        QVERIFY(file.open(QIODevice::ReadOnly));
        for (const imaging::Decoded& d : {imaging::decodeFile(found), imaging::decodeBytes(file.readAll())}) {
            QCOMPARE(d.failure, imaging::DecodeFailure::Undecodable);
            QVERIFY2(d.error.contains("chunk declares more bytes than the file holds"), qPrintable(d.error));
        }
    }

    void oversizedPhotosNameTheirDeclaredSize_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("declared");
        QTest::newRow("bmp") << bmpHeaderClaiming(20000, 10000) << QSize(20000, 10000);
        QTest::newRow("png") << pngClaiming(30000, 30000) << QSize(30000, 30000);
        QTest::newRow("jpeg") << jpegClaiming(65000, 65000) << QSize(65000, 65000);
    }
    void oversizedPhotosNameTheirDeclaredSize() {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, declared);
        const QString path = writeFile(tempDir(), "big.jpg", bytes);
        for (const imaging::Decoded& d : {imaging::decodeFile(path), imaging::decodeBytes(bytes)}) {
            QVERIFY(!d.ok());
            QCOMPARE(d.failure, imaging::DecodeFailure::TooLarge);
            QCOMPARE(d.declaredSize, declared);
            const QString size = QStringLiteral("%1 x %2").arg(declared.width()).arg(declared.height());
            QVERIFY2(d.error.contains(size) && d.error.contains("640 MB"), qPrintable(d.error));
            // Worded in the interface's language, with no Spanish left in the English.
            const QString times = QString(size).replace('x', QChar(0xD7));
            QVERIFY2(refusalDetailText(d).contains(times + " píxeles"), qPrintable(refusalDetailText(d)));
            i18n::SetLanguage(QStringLiteral("en"));
            QVERIFY2(refusalDetailText(d).contains(times + " pixels, more than the 640 MB"),
                     qPrintable(refusalDetailText(d)));
            i18n::SetLanguage(QStringLiteral("es"));
        }
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

    void largePhotoLoads() {
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
    }

    void largeBitmapsAreWritableAndDetach() { // held in huge pages
        QImage image = imaging::newBitmap(3001, 2000, true);
        QCOMPARE(image.format(), imaging::photoFormat(true));
        image.fill(qRgba(1, 2, 3, 255));
        QImage copy = image;
        copy.setPixel(3000, 1999, qRgba(9, 9, 9, 255));
        QCOMPARE(image.pixel(3000, 1999), qRgba(1, 2, 3, 255));
        QCOMPARE(copy.pixel(3000, 1999), qRgba(9, 9, 9, 255));
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
