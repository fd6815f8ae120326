// Finding the commands in the main window: what Ctrl+T says with no photo, the hint over the empty
// panel, the guide on F1 in each language with its pictures, and the reference text marked while it
// is the previous photo's.
#include "app/guide_window.h"
#include "i18n/catalogue.h"
#include "synthetic_eye.h"
#include "testsupport.h"
#include "unitMain.h"

#include <QLabel>
#include <QLineEdit>
#include <QTextBrowser>
#include <QtTest>

class TestHelp : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { i18n::initCatalogue(QStringLiteral(PELVANOR_BIN_DIR)); }
    void cleanup() { i18n::SetLanguage(QStringLiteral("es")); }

    void toricWithoutPhotoSaysSo() {
        TFormMain w;
        RecordingSink sink;
        w.setMessageSink(&sink);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::keyClick(&w, Qt::Key_T, Qt::ControlModifier);
        QTest::mouseClick(w.findChild<QWidget*>("flag_gb"), Qt::LeftButton);
        QTest::keyClick(&w, Qt::Key_T, Qt::ControlModifier);
        QCOMPARE(sink.messages, QStringList({"Abra primero una foto para comprobar en ella una lente tórica.",
                                             "Open a photo first to check a toric lens on it."}));
        QVERIFY(!w.toric());
    }

    // The hint shows over the empty panel only; the panel's tip names the hidden commands.
    void emptyPanelShowsTheWay() {
        TFormMain w;
        w.show();
        auto* hint = w.findChild<QLabel*>("lblStartHint");
        QVERIFY(hint && hint->isVisible() && hint->text().contains("Ctrl+O"));
        QTest::mouseClick(w.findChild<QWidget*>("flag_gb"), Qt::LeftButton);
        QVERIFY(hint->text().startsWith("Open a photo (Ctrl+O)"));
        QVERIFY(w.findChild<QWidget*>("pnlScreen")->toolTip().contains("Toric lens… (Ctrl+T)"));
        const QString path = tempDir() + "/eye.png";
        QVERIFY(makeSyntheticEye(EyeSpec()).photo.save(path) && w.openPhotoFile(path));
        QVERIFY(!hint->isVisible());
    }

    // F1 shows the guide in the interface's language, with its pictures, and follows a switch.
    void guideInBothLanguages() {
        TFormMain w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::keyClick(&w, Qt::Key_F1);
        auto* guide = w.findChild<GuideWindow*>("GuideWindow");
        QVERIFY(guide && guide->isVisible());
        auto* text = guide->findChild<QTextBrowser*>("txtGuide");
        QVERIFY(text->toPlainText().contains("Llevar un eje desde una foto de referencia"));
        for (const char* picture :
             {"guide_measure.png", "guide_carry.png", "guide_toric.png", "guide_output.png"})
            QVERIFY2(!QImage::fromData(
                          text->loadResource(QTextDocument::ImageResource, QUrl(picture)).toByteArray())
                          .isNull(),
                     picture);
        QTest::mouseClick(w.findChild<QWidget*>("flag_gb"), Qt::LeftButton);
        QVERIFY(text->toPlainText().contains("Check a toric lens"));
        QCOMPARE(guide->windowTitle(), QString("User guide"));
    }

    // The reference typed for one photo is marked on the next until it is edited.
    void referenceCarriedOverIsMarked() {
        TFormMain w;
        w.show();
        const QString dir = tempDir();
        QVERIFY(makeSyntheticEye(EyeSpec()).photo.save(dir + "/a.png"));
        auto* reference = w.findChild<QLineEdit*>("Referencia");
        QTest::keyClicks(reference, "Paciente 7");
        QVERIFY(w.openPhotoFile(dir + "/a.png"));
        const QColor plain = reference->palette().color(QPalette::Base);
        QVERIFY(!w.referenceCarriedOver());
        QVERIFY(w.openPhotoFile(dir + "/a.png"));
        QVERIFY(w.referenceCarriedOver() && reference->palette().color(QPalette::Base) != plain);
        QVERIFY(reference->toolTip().startsWith("Texto de la foto anterior"));
        QTest::keyClicks(reference, " bis");
        QVERIFY(!w.referenceCarriedOver() && reference->toolTip().isEmpty());
        QCOMPARE(reference->palette().color(QPalette::Base), plain);
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
