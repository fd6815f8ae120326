#include "app/command_line.h"
#include "app/desktop_integration.h"
#include "i18n/catalogue_root.h"
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
