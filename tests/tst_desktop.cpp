#include "app/command_line.h"
#include "app/desktop_integration.h"
#include "i18n/catalogue_root.h"
#include "imaging/screen_scale.h"
#include "testsupport.h"

#include <QDir>
#include <QtTest>

class TestDesktop : public QObject {
    Q_OBJECT
private slots:
    void catalogueRoot_data() {
        QTest::addColumn<QStringList>("folders"); // made below a scratch prefix
        QTest::addColumn<QString>("programDir");
        QTest::addColumn<QString>("expected");
        QTest::newRow("build tree") << QStringList{"bin/locale/en"} << "bin"
                                    << "bin";
        QTest::newRow("installed") << QStringList{"bin", "share/pelvanor/locale/en"} << "bin"
                                   << "share/pelvanor";
        QTest::newRow("installed, moved deeper")
            << QStringList{"opt/p/bin", "opt/p/share/pelvanor/locale"} << "opt/p/bin"
            << "opt/p/share/pelvanor";
        QTest::newRow("nothing beside") << QStringList{"bin"} << "bin"
                                        << "share/pelvanor";
    }
    void catalogueRoot() {
        QFETCH(QStringList, folders);
        QFETCH(QString, programDir);
        QFETCH(QString, expected);
        const QString prefix = tempDir();
        for (const QString& f : folders)
            QVERIFY(QDir(prefix).mkpath(f));
        // A file named locale beside the program is no catalogue folder.
        QFile stray(prefix + "/" + programDir + "/locale");
        if (!QFileInfo::exists(stray.fileName()))
            QVERIFY(stray.open(QIODevice::WriteOnly));
        QCOMPARE(i18n::catalogueRoot(prefix + "/" + programDir), QDir::cleanPath(prefix + "/" + expected));
    }

    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("request");
        using command_line::Request;
        QTest::newRow("no arguments") << QStringList{} << int(Request::Run);
        QTest::newRow("a photo") << QStringList{"ojo1.jpg"} << int(Request::Run);
        QTest::newRow("--help") << QStringList{"--help"} << int(Request::Help);
        QTest::newRow("-h after a photo") << QStringList{"ojo1.jpg", "-h"} << int(Request::Help);
        QTest::newRow("--version") << QStringList{"--version"} << int(Request::Version);
        QTest::newRow("a photo named --help") << QStringList{"--", "--help"} << int(Request::Run);
    }
    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(int, request);
        std::vector<QByteArray> storage{"pelvanor"};
        for (const QString& a : arguments)
            storage.push_back(a.toLocal8Bit());
        std::vector<const char*> argv;
        for (const QByteArray& a : storage)
            argv.push_back(a.constData());
        QCOMPARE(int(command_line::requestFor(int(argv.size()), argv.data())), request);
        if (request == int(command_line::Request::Run))
            QCOMPARE(command_line::photoArgument(arguments),
                     arguments.value(arguments.value(0) == "--" ? 1 : 0));
    }

    // The photo shown on a screen of a given density: the device pixels of the layer, each a pixel
    // of the scaled photo; a photo of exactly that size keeps its pixels as they are.
    void scaledForScreen_data() {
        QTest::addColumn<QSize>("photo");
        QTest::addColumn<QSize>("logical");
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<QSize>("device");
        QTest::newRow("ordinary screen") << QSize(3000, 2000) << QSize(729, 486) << 1.0 << QSize(729, 486);
        QTest::newRow("double density") << QSize(3000, 2000) << QSize(729, 486) << 2.0 << QSize(1458, 972);
        QTest::newRow("one and a half") << QSize(600, 800) << QSize(454, 606) << 1.5 << QSize(681, 909);
        QTest::newRow("halves round up") << QSize(600, 800) << QSize(729, 605) << 1.5 << QSize(1094, 908);
        QTest::newRow("photo at device size")
            << QSize(1458, 1212) << QSize(729, 606) << 2.0 << QSize(1458, 1212);
    }
    void scaledForScreen() {
        QFETCH(QSize, photo);
        QFETCH(QSize, logical);
        QFETCH(qreal, ratio);
        QFETCH(QSize, device);
        QImage checker(photo, QImage::Format_RGB32);
        for (int y = 0; y < photo.height(); ++y)
            for (int x = 0; x < photo.width(); ++x)
                checker.setPixel(x, y, (x + y) % 2 ? 0xff0000ff : 0xff000000);
        const QImage shown = imaging::scaledForScreen(checker, logical, ratio);
        QCOMPARE(shown.size(), device);
        QCOMPARE(shown.devicePixelRatio(), ratio);
        if (photo == device) {
            checker.setDevicePixelRatio(ratio);
            QCOMPARE(shown, checker);
        }
    }

    void overlayPixelsBecomeBlocks() {
        QImage overlay(3, 2, QImage::Format_ARGB32_Premultiplied);
        overlay.fill(Qt::transparent);
        overlay.setPixel(1, 0, 0xffffffff);
        QCOMPARE(imaging::enlargedForScreen(overlay, 1.0), overlay);
        const QImage doubled = imaging::enlargedForScreen(overlay, 2.0);
        QCOMPARE(doubled.size(), QSize(6, 4));
        QCOMPARE(doubled.devicePixelRatio(), 2.0);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x)
                QCOMPARE(doubled.pixel(x, y), overlay.pixel(x / 2, y / 2));
    }

    void iconHasEveryMenuAndWindowSize() {
        const QIcon icon = programIcon();
        for (int size : {16, 24, 32, 48, 64, 128, 256}) {
            const QImage image = icon.pixmap(QSize(size, size)).toImage();
            QCOMPARE(image.size(), QSize(size, size));
            QVERIFY2(image.pixelColor(size / 2, size / 2).alpha() == 255, "the icon's middle is opaque");
        }
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
