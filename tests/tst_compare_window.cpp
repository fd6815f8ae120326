// The compare window in the main window: it opens on Ctrl+R, takes the reference photo through the
// open dialog, starts its axis from the guide line the reference file records, and "Aplicar"
// centres the gauge, carries the guide line across and shows it as one undo step.
#include "app/compare_window.h"
#include "app/limbus_view.h"
#include "app/window_placement.h"
#include "gauge/guide_axis.h"
#include "i18n/catalogue.h"
#include "i18n/translate.h"
#include "output/composite.h"
#include "output/rotation_report.h"
#include "output/save.h"
#include "synthetic_eye.h"
#include "testsupport.h"
#include "unitMain.h"

#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QUndoStack>
#include <QtTest>

namespace {

SyntheticEye eye() {
    EyeSpec s;
    s.size = QSize(900, 640);
    s.limbusCentre = QPointF(470, 310);
    s.limbusRadius = 170;
    s.seed = 5;
    return makeSyntheticEye(s);
}

// The photo turned counter-clockwise on the screen by degrees about its limbus.
QImage turned(const SyntheticEye& e, double degrees) {
    QImage out(e.photo.size(), QImage::Format_RGB32);
    out.fill(QColor(200, 160, 140));
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.translate(e.limbusCentre);
    p.rotate(-degrees);
    p.translate(-e.limbusCentre);
    p.drawImage(0, 0, e.photo);
    return out;
}

} // namespace

class TestCompareWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { i18n::initCatalogue(QStringLiteral(PELVANOR_BIN_DIR)); }

    void applyIsOneUndoStep_data() {
        QTest::addColumn<QString>("recorded");
        QTest::addColumn<int>("axis");
        QTest::newRow("axis from the reference file")
            << "Eye: OD (right); Guide line: 40 deg; Centre size: 10%" << 40;
        QTest::newRow("no record: the current guide line") << "" << 15;
    }
    void applyIsOneUndoStep() {
        QFETCH(QString, recorded);
        QFETCH(int, axis);
        const SyntheticEye e = eye();
        const QString dir = tempDir();
        QImage reference = e.photo;
        if (!recorded.isEmpty())
            reference.setText("Description", recorded);
        QVERIFY(reference.save(dir + "/reference.png"));
        QVERIFY(turned(e, 8).save(dir + "/current.png"));

        TFormMain w;
        ScriptedChooser chooser;
        RecordingSink sink;
        w.setFileChooser(&chooser);
        w.setMessageSink(&sink);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.openPhotoFile(dir + "/current.png"));
        auto* guide = w.findChild<QSpinBox*>("GuiaGrados");
        auto* shown = w.findChild<QCheckBox*>("GuiaMostrar");
        guide->setValue(15);
        shown->setChecked(false);
        const float x0 = w.CentreOffsetX, y0 = w.CentreOffsetY;

        QTest::keyClick(&w, Qt::Key_R, Qt::ControlModifier);
        CompareWindow* compare = w.comparison();
        QVERIFY(compare && compare->isVisible());
        chooser.nextOpen = dir + "/reference.png";
        QSignalSpy finished(compare, &CompareWindow::measureFinished);
        QTest::mouseClick(compare->findChild<QPushButton*>("btnOpenReference"), Qt::LeftButton);
        QVERIFY(compare->measuring());
        QVERIFY(finished.wait(60000));
        QVERIFY2(compare->measured().measured, refusalMessage(compare->measured().refusal));
        QVERIFY(std::abs(compare->measured().degrees - 8) < 0.5);
        QCOMPARE(compare->findChild<QSpinBox*>("spnAxis")->value(), axis);
        QCOMPARE(compare->referenceAxisSource(),
                 recorded.isEmpty() ? ReferenceAxisSource::GuideLine : ReferenceAxisSource::Recorded);
        QVERIFY(compare->findChild<QLabel*>("lblResult")->text().contains("8,0° antihoraria"));

        const int steps = w.gaugeHistory()->count();
        QTest::mouseClick(compare->findChild<QPushButton*>("btnApply"), Qt::LeftButton);
        QVERIFY(sink.messages.isEmpty());
        QCOMPARE(guide->value(), axis + 8);
        QVERIFY(shown->isChecked());
        const QPointF centre((w.CentreOffsetX + 0.5) * e.photo.width(),
                             (w.CentreOffsetY + 0.5) * e.photo.height());
        QVERIFY(std::hypot(centre.x() - e.limbusCentre.x(), centre.y() - e.limbusCentre.y()) < 5);
        QVERIFY(output::measurementText(w.compositeInputs()).contains("Rotation: 8."));
        QVERIFY(output::measurementText(w.compositeInputs()).contains("reference.png"));
        QCOMPARE(w.gaugeHistory()->count(), steps + 1);
        auto* notice = w.findChild<QLabel*>("lblCarried");
        QVERIFY(notice && notice->isVisible());
        QVERIFY2(notice->text().startsWith(QString("Eje %1° llevado desde reference.png").arg(axis + 8)),
                 qPrintable(notice->text()));

        w.gaugeHistory()->undo();
        QCOMPARE(guide->value(), 15);
        QVERIFY(!shown->isChecked());
        QCOMPARE(w.CentreOffsetX, x0);
        QCOMPARE(w.CentreOffsetY, y0);
    }

    // Comparing the same pair again starts from the axis kept with the reference photo, not from the
    // axis the first "Aplicar" carried onto the guide line; a language switch keeps what is shown.
    void repeatedComparisonCarriesTheSameAxis() {
        const SyntheticEye e = eye();
        const QString dir = tempDir();
        QVERIFY(e.photo.save(dir + "/reference.png") && e.photo.save(dir + "/other.png"));
        QVERIFY(turned(e, 8).save(dir + "/current.png"));
        TFormMain w;
        RecordingSink sink;
        w.setMessageSink(&sink);
        w.show();
        QVERIFY(w.openPhotoFile(dir + "/current.png"));
        auto* guide = w.findChild<QSpinBox*>("GuiaGrados");
        guide->setValue(37);
        for (int round = 0; round < 2; ++round) {
            w.openComparison();
            CompareWindow* compare = w.comparison();
            QSignalSpy finished(compare, &CompareWindow::measureFinished);
            QVERIFY(compare->openReference(dir + "/reference.png"));
            QVERIFY(finished.wait(60000));
            QCOMPARE(compare->referenceAxis(), 37);
            QCOMPARE(compare->findChild<QLabel*>("lblAxisSource")->text(),
                     QString("línea guía de la ventana principal"));
            QTest::mouseClick(compare->findChild<QPushButton*>("btnApply"), Qt::LeftButton);
            QCOMPARE(guide->value(), 45);
            QCOMPARE(compare->findChild<QLabel*>("lblCarriedAxis")->text(),
                     QString("Eje llevado: 45° (aplicado)"));
            if (round == 0) {
                const QFont font = compare->findChild<QLabel*>("lblAxis")->font();
                QTest::mouseClick(w.findChild<QWidget*>("flag_gb"), Qt::LeftButton);
                QVERIFY(compare->findChild<QLabel*>("lblResult")->text().contains("8.0° counter-clockwise"));
                QCOMPARE(compare->findChild<QLabel*>("lblReferenceName")->text(), QString("reference.png"));
                QCOMPARE(compare->findChild<QLabel*>("lblCarriedAxis")->text(),
                         QString("Carried axis: 45° (applied)"));
                QVERIFY(w.findChild<QLabel*>("lblCarried")->text().startsWith("Axis 45° carried from"));
                QTest::mouseClick(w.findChild<QWidget*>("flag_es"), Qt::LeftButton);
                QVERIFY(compare->findChild<QLabel*>("lblResult")->text().contains("8,0° antihoraria"));
                QCOMPARE(compare->findChild<QLabel*>("lblAxis")->font(), font);
            }
            compare->close();
            QTRY_VERIFY(!w.comparison());
            // The note stays after the window is closed, until the gauge changes.
            QVERIFY(w.findChild<QLabel*>("lblCarried")->isVisible());
        }
        // Another reference photo is not offered the carried axis: it is asked for.
        w.openComparison();
        QVERIFY(w.comparison()->openReference(dir + "/other.png"));
        QVERIFY(!w.comparison()->referenceAxis());
        QTest::mouseClick(w.comparison()->findChild<QPushButton*>("btnApply"), Qt::LeftButton);
        QVERIFY(guide->value() == 45 && !sink.messages.isEmpty());
        guide->setValue(50);
        QVERIFY(!w.findChild<QLabel*>("lblCarried")->isVisible());
    }

    // A rotation of low confidence is applied with a word saying so.
    void uncheckedRotationSaysSo() {
        TFormMain w;
        const QString path = tempDir() + "/eye.png";
        QVERIFY(eye().photo.save(path) && w.openPhotoFile(path));
        w.show();
        w.applyCarriedGuide(CarriedGuide{eye().limbusCentre, 30, 4.0, "ref.png", true});
        const QString note = w.findChild<QLabel*>("lblCarried")->text();
        QVERIFY2(note.startsWith("Eje 30° llevado desde ref.png") && note.contains("confianza baja"),
                 qPrintable(note));
    }

    // The axis lines stay on their photo, and the legend steps out of the pointer's way.
    void marksStayOnThePhoto() {
        LimbusView view;
        view.resize(700, 300); // the photo is narrower than the view: bands on both sides
        view.setPhoto(eye().photo);
        view.setLimbus(Circle{eye().limbusCentre, 250});
        view.setAxis(10.0, "Eje de referencia");
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QImage shot = view.grab().toImage();
        const QRect photo = QRectF(view.viewPoint({0, 0}), view.viewPoint(QPointF(900, 640))).toRect();
        for (int x : {photo.left() - 3, photo.right() + 3})
            for (int y = 0; y < shot.height(); ++y)
                QCOMPARE(shot.pixelColor(x, y), view.palette().window().color());
        const QPoint corner = photo.topLeft() + QPoint(12, 12);
        const int darkened = qGray(shot.pixel(corner));
        QTest::mouseMove(&view, corner);
        QTRY_VERIFY(qGray(view.grab().toImage().pixel(corner)) > darkened + 40);
    }

    // The comparison steps aside from the photo where the screen allows: beside it at full size on a
    // wide screen, narrowed into the free band on a laptop's.
    void placedBesideThePhoto() {
        const QRect wide =
            asideOf(QRect(0, 0, 2560, 1400), QRect(900, 300, 729, 606), {900, 560}, {560, 420});
        QCOMPARE(wide.size(), QSize(900, 560));
        QVERIFY(!wide.intersects(QRect(900, 300, 729, 606)));
        const QRect laptop =
            asideOf(QRect(0, 0, 1366, 740), QRect(637, 130, 729, 606), {900, 560}, {560, 420});
        QVERIFY(!laptop.intersects(QRect(637, 130, 729, 606)) && QRect(0, 0, 1366, 740).contains(laptop));
        QCOMPARE(laptop.width(), 637);
    }

    // Every text the window shows has its English entry.
    void everyTextHasAnEntry() {
        TFormMain w;
        RecordingSink sink;
        w.setMessageSink(&sink);
        const QString path = tempDir() + "/eye.png";
        QVERIFY(eye().photo.save(path) && w.openPhotoFile(path));
        w.openComparison();
        i18n::SetLanguage(QStringLiteral("en"));
        for (const i18n::RememberedText& t : i18n::rememberedTexts(w.comparison()))
            QVERIFY2(i18n::hasEntry(t.text) || !t.text.contains(QRegularExpression("[a-z]")),
                     qPrintable(t.text));
        i18n::SetLanguage(QStringLiteral("es"));
    }

    // Ctrl+R with no photo says what to do first, in the interface's language.
    void compareWithoutPhotoSaysSo() {
        TFormMain w;
        RecordingSink sink;
        w.setMessageSink(&sink);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::keyClick(&w, Qt::Key_R, Qt::ControlModifier);
        i18n::SetLanguage(QStringLiteral("en"));
        QTest::keyClick(&w, Qt::Key_R, Qt::ControlModifier);
        i18n::SetLanguage(QStringLiteral("es"));
        QCOMPARE(sink.messages,
                 QStringList({"Abra primero una foto para compararla con una foto de referencia.",
                              "Open a photo first to compare it with a reference photo."}));
        QVERIFY(!w.comparison());
    }

    // A right click on the photo offers the comparison in a menu.
    void contextMenuOpensComparison() {
        TFormMain w;
        RecordingSink sink;
        w.setMessageSink(&sink);
        const QString path = tempDir() + "/eye.png";
        QVERIFY(eye().photo.save(path) && w.openPhotoFile(path));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QString offered;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu && !menu->actions().isEmpty());
            offered = menu->actions().first()->text();
            menu->actions().first()->trigger();
            menu->close();
        });
        QWidget* layer = w.findChild<QWidget*>("imgLineas");
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(100, 100),
                                layer->mapToGlobal(QPoint(100, 100)));
        QApplication::sendEvent(layer, &event);
        QCOMPARE(offered, QString("Comparar con foto de referencia…"));
        QVERIFY(w.comparison() && w.comparison()->isVisible());
    }

    // Landmarks clicked in both photos override the measured rotation unless the user chooses the
    // measure; "Aplicar" carries the axis by the one chosen.
    void landmarksOverrideMeasurement() {
        const SyntheticEye e = eye();
        TFormMain w;
        ScriptedChooser chooser;
        RecordingSink sink;
        w.setFileChooser(&chooser);
        w.setMessageSink(&sink);
        const QString dir = tempDir();
        QVERIFY(turned(e, 8).save(dir + "/current.png"));
        QVERIFY(e.photo.save(dir + "/reference.png"));
        QVERIFY(w.openPhotoFile(dir + "/current.png"));
        w.openComparison();
        CompareWindow* compare = w.comparison();
        QSignalSpy finished(compare, &CompareWindow::measureFinished);
        QVERIFY(compare->openReference(dir + "/reference.png"));
        QVERIFY(finished.wait(60000));
        QVERIFY(!compare->openReference(dir + "/missing.png"));
        QCOMPARE(sink.messages.size(), 1);
        QVERIFY(compare->measured().measured); // the failed open changed nothing
        compare->findChild<QCheckBox*>("chkLandmarks")->setChecked(true);
        auto* refView = compare->findChild<LimbusView*>("viewReference");
        auto* curView = compare->findChild<LimbusView*>("viewCurrent");
        compare->resize(900, 560);
        compare->show();
        QVERIFY(QTest::qWaitForWindowExposed(compare));
        // The limbus's top in the reference, a quarter turn on in the current photo.
        const auto viewOf = [](LimbusView* v, const QPointF& p) { return v->viewPoint(p).toPoint(); };
        const QPointF top = e.limbusCentre + QPointF(0, -e.limbusRadius);
        const QPointF left = e.limbusCentre + QPointF(-e.limbusRadius, 0);
        QTest::mouseClick(refView, Qt::LeftButton, {}, viewOf(refView, top));
        QTest::mouseClick(curView, Qt::LeftButton, {}, viewOf(curView, left));
        QVERIFY(compare->landmarkRotation());
        QVERIFY(std::abs(*compare->rotation() - 90) < 3);
        QCOMPARE(compare->findChild<QLabel*>("lblLandmarks")->text().right(7), QString("(1 par)"));
        QVERIFY(!compare->findChild<QLabel*>("lblLandmarks")->text().contains("±"));

        auto* byMeasure = compare->findChild<QRadioButton*>("rbMeasured");
        QVERIFY(byMeasure->isVisible() && !byMeasure->isChecked());
        int carried = -1;
        connect(compare, &CompareWindow::applied, [&](const CarriedGuide& c) { carried = c.guide; });
        auto* apply = compare->findChild<QPushButton*>("btnApply");
        const int axis = compare->findChild<QSpinBox*>("spnAxis")->value();
        QTest::mouseClick(apply, Qt::LeftButton);
        QVERIFY(std::abs(carried - carriedAxis(axis, 90)) <= 3);
        QTest::mouseClick(byMeasure, Qt::LeftButton);
        QTest::mouseClick(apply, Qt::LeftButton);
        QCOMPARE(carried, carriedAxis(axis, compare->measured().degrees));
    }

    // The result line in words, and the landmark line for one pair and for several.
    void linesInWords_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<double>("degrees");
        QTest::addColumn<double>("confidence"); // below 0: a landmark line
        QTest::addColumn<int>("pairs");
        QTest::addColumn<QString>("expected");
        QTest::newRow("es ccw") << "es" << 4.3 << 0.82 << 0
                                << "Rotación: 4,3° antihoraria — fiable (confianza 0,82)";
        QTest::newRow("en cw") << "en" << -4.3 << 0.82 << 0
                               << "Rotation: 4.3° clockwise — reliable (confidence 0.82)";
        QTest::newRow("es cw to check")
            << "es" << -12.04 << 0.3 << 0
            << "Rotación: 12,0° horaria — compruébela con puntos (confianza 0,30)";
        QTest::newRow("en no turn") << "en" << -0.04 << 0.9 << 0
                                    << "Rotation: 0.0° — reliable (confidence 0.90)";
        QTest::newRow("es one pair") << "es" << 4.3 << -1.0 << 1 << "Puntos: 4,3° antihoraria (1 par)";
        QTest::newRow("en two pairs")
            << "en" << -2.0 << -1.0 << 2 << "Points: 2.0° clockwise ± 0.5° (2 pairs)";
    }
    void linesInWords() {
        QFETCH(QString, language);
        QFETCH(double, degrees);
        QFETCH(double, confidence);
        QFETCH(int, pairs);
        QFETCH(QString, expected);
        i18n::SetLanguage(language);
        RotationResult r;
        r.measured = true;
        r.degrees = degrees;
        r.confidence = confidence;
        const QString line =
            confidence < 0 ? landmarkLine(LandmarkRotation{degrees, 0.5, pairs}) : rotationLine(r);
        i18n::SetLanguage(QStringLiteral("es"));
        QCOMPARE(line, expected);
    }

    // Each refusal's own reason, in both languages.
    void refusalsInWords_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("refusal");
        QTest::addColumn<QString>("expected");
        QTest::newRow("es reference") << "es" << int(RotationRefusal::NoReferenceLimbus)
                                      << "No se encontró el limbo en la foto de referencia";
        QTest::newRow("en current") << "en" << int(RotationRefusal::NoCurrentLimbus)
                                    << "No limbus found in the current photo";
        QTest::newRow("es iris") << "es" << int(RotationRefusal::TooLittleIris) << "Se ve muy poco del iris";
        QTest::newRow("en no match") << "en" << int(RotationRefusal::PhotosDoNotMatch)
                                     << "The photos do not match";
    }
    void refusalsInWords() {
        QFETCH(QString, language);
        QFETCH(int, refusal);
        QFETCH(QString, expected);
        i18n::SetLanguage(language);
        RotationResult r;
        r.refusal = RotationRefusal(refusal);
        const QString line = rotationLine(r);
        i18n::SetLanguage(QStringLiteral("es"));
        QCOMPARE(line, expected);
    }

    // Cancel drops the run's result, a newer run supersedes an older one, and closing the window
    // while a measure runs is safe.
    void measureRunsAside() {
        const SyntheticEye e = eye();
        const QString dir = tempDir();
        QVERIFY(e.photo.save(dir + "/reference.png"));
        RecordingSink sink;
        ScriptedChooser chooser;
        auto* compare = new CompareWindow(turned(e, 8), 30, chooser, sink);
        compare->setAttribute(Qt::WA_DeleteOnClose);
        QSignalSpy finished(compare, &CompareWindow::measureFinished);
        QVERIFY(compare->openReference(dir + "/reference.png"));
        QTest::mouseClick(compare->findChild<QPushButton*>("btnCancel"), Qt::LeftButton);
        QVERIFY(!compare->measuring());
        QCOMPARE(compare->findChild<QLabel*>("lblResult")->text(), QString("Medida cancelada"));

        QVERIFY(compare->openReference(dir + "/reference.png"));
        QVERIFY(compare->openReference(dir + "/reference.png"));
        QVERIFY(finished.wait(60000));
        QTest::qWait(300);
        QCOMPARE(finished.count(), 1);
        QVERIFY(compare->measured().measured && !compare->measuring());

        QVERIFY(compare->openReference(dir + "/reference.png"));
        QPointer<CompareWindow> alive(compare);
        compare->close();
        QTRY_VERIFY(alive.isNull());
        QCOMPARE(finished.count(), 1);
    }

    // A refusal says what to do next, and the rings it leaves lie inside the photos.
    void refusalShowsTheWay() {
        QImage blank(360, 150, QImage::Format_RGB32);
        blank.fill(QColor(210, 170, 150));
        const QString path = tempDir() + "/blank.png";
        QVERIFY(blank.save(path));
        RecordingSink sink;
        ScriptedChooser chooser;
        CompareWindow compare(blank, 30, chooser, sink);
        QSignalSpy finished(&compare, &CompareWindow::measureFinished);
        QVERIFY(compare.openReference(path));
        QVERIFY(finished.wait(60000));
        QVERIFY(!compare.measured().measured);
        QVERIFY(compare.findChild<QLabel*>("lblResult")->text().contains("Arrastre los anillos"));
        for (const char* name : {"viewReference", "viewCurrent"}) {
            const Circle ring = *compare.findChild<LimbusView*>(name)->limbus();
            const QRectF box(ring.centre - QPointF(ring.radius, ring.radius), QSizeF(2, 2) * ring.radius);
            QVERIFY(QRectF(blank.rect()).contains(box));
        }
    }
};

QTEST_MAIN(TestCompareWindow)
#include "tst_compare_window.moc"
