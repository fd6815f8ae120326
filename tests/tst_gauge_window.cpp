// The main window's gauge, driven like a user: tool panel changes redraw the overlay, and the
// pointer drags the centre, the guide line and the sector rays.
#include "app/unitSpinField.h"
#include "gauge/geometry.h"
#include "testsupport.h"
#include "unitMain.h"

#include <QCheckBox>
#include <QLabel>
#include <QSlider>
#include <QtTest>

#include <functional>

// The gauge centre on the 649 x 606 photo layer loaded below.
const QPoint kC(324, 303);

class TestGaugeWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { w.reset(); }
    void toolPanel();
    void centreDrag();
    void angleDrags();

private:
    void load();
    QLabel* layer() const { return w->findChild<QLabel*>("imgLineas"); }
    QLabel* photoLayer() const { return w->findChild<QLabel*>("imgScreen"); }
    QImage overlay() const { return layer()->pixmap().toImage(); }
    SpinField* spin(const char* name) const { return w->findChild<SpinField*>(name); }
    QString readout() const { return w->findChild<QLabel*>("SectorGrados")->text(); }
    // Moves the pointer and reads the angle field it drags.
    int moveTo(const QPoint& p, const char* field) {
        QTest::mouseMove(layer(), p);
        return spin(field)->value();
    }

    std::unique_ptr<TFormMain> w;
    RecordingSink sink;
};

void TestGaugeWindow::init() {
    w = std::make_unique<TFormMain>();
    w->setMessageSink(&sink);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
}

// A 649 x 606 photo fills the height of the 729 x 606 screen panel at its own size, so the photo
// layer is 649 pixels wide like the worked example.
void TestGaugeWindow::load() {
    const QString path = tempDir() + QStringLiteral("/photo.png");
    QImage photo(649, 606, QImage::Format_RGB32);
    photo.fill(Qt::darkGray);
    QVERIFY(photo.save(path));
    QVERIFY(w->openPhotoFile(path));
    QCOMPARE(layer()->geometry(), photoLayer()->geometry());
    QCOMPARE(overlay().size(), QSize(649, 606));
}

void TestGaugeWindow::toolPanel() {
    load();
    // A spin field's typed text is used at once, out of range too, and each keystroke redraws.
    SpinField* field = spin("SectorIniGrados");
    QVERIFY(field);
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("400"));
    QCOMPARE(field->fieldValue(), 400);
    QCOMPARE(readout(), QStringLiteral("350"));
    QTest::keyClicks(field, QStringLiteral("0"));
    QCOMPARE(readout(), QStringLiteral("3950"));
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason); // leaving the field pulls it into range
    QApplication::sendEvent(field, &out);
    QCOMPARE(field->text(), QStringLiteral("360"));
    QCOMPARE(readout(), QStringLiteral("310"));
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace); // no integer in the text: the minimum
    QCOMPARE(field->fieldValue(), 0);
    QCOMPARE(readout(), QStringLiteral("50"));
    QTest::keyClicks(field, QStringLiteral("x"));
    QCOMPARE(field->text(), QString());

    const std::vector<std::function<void()>> changes{
        [&] { w->findChild<QSlider*>("tbRadio")->setValue(30); },
        [&] { w->findChild<QCheckBox*>("GuiaMostrar")->click(); },
        [&] { spin("GuiaGrados")->setValue(40); },
        [&] { w->findChild<QCheckBox*>("SectorMostrar")->click(); },
        [&] { spin("SectorIniGrados")->setValue(100); },
        [&] { spin("SectorFinGrados")->setValue(120); },
    };
    for (const auto& change : changes) {
        const QImage before = overlay();
        change();
        QVERIFY(overlay() != before);
    }
    spin("SectorFinGrados")->setValue(400); // set by the program: pulled into range at once
    QCOMPARE(spin("SectorFinGrados")->value(), 360);
    QCOMPARE(readout(), QStringLiteral("260"));
}

void TestGaugeWindow::centreDrag() {
    // Without a photo the hover runs but a press starts no drag.
    const QPoint mid(photoLayer()->width() / 2, photoLayer()->height() / 2);
    const QPoint start = layer()->pos();
    QTest::mouseMove(layer(), mid);
    QCOMPARE(w->grabTarget(), int(GrabCentre));
    QTest::mousePress(layer(), Qt::LeftButton, {}, mid);
    QVERIFY(!w->dragging());
    QTest::mouseMove(layer(), mid + QPoint(50, 0));
    QCOMPARE(layer()->pos(), start);
    QTest::mouseRelease(layer(), Qt::LeftButton, {}, mid + QPoint(50, 0));
    QCOMPARE(w->CentreOffsetX, 0.0f);

    load();
    QTest::mouseMove(layer(), kC);
    QCOMPARE(w->grabTarget(), int(GrabCentre));
    QCOMPARE(layer()->cursor().shape(), Qt::PointingHandCursor);
    // Any button drags, showing only the centre mark; the layer follows the pointer.
    QTest::mousePress(layer(), Qt::RightButton, {}, kC);
    QVERIFY(w->dragging());
    QCOMPARE(overlay(), renderCentreMark(w->gaugeInputs()));
    QTest::mouseMove(layer(), kC + QPoint(20, 0));
    QTest::mouseMove(layer(), kC + QPoint(30, 0)); // in the layer's own, moved coordinates
    QCOMPARE(layer()->pos(), photoLayer()->pos() + QPoint(50, 0));
    QCOMPARE(w->CentreOffsetX, 0.0f); // set once, on release
    QTest::mouseRelease(layer(), Qt::RightButton, {}, kC);
    QVERIFY(!w->dragging());
    QCOMPARE(w->CentreOffsetX, float(50.0 / 649));
    QCOMPARE(w->CentreOffsetY, 0.0f);
    QCOMPARE(layer()->geometry(), photoLayer()->geometry());
    QCOMPARE(overlay().pixel(375, 313), qRgb(255, 255, 255)); // the vertical stroke at x 375
    QCOMPARE(overlay().pixel(373, 313), 0u);
    QCOMPARE(overlay(), renderOverlay(w->gaugeInputs()).image); // redrawn in full
}

void TestGaugeWindow::angleDrags() {
    load();
    w->findChild<QCheckBox*>("GuiaMostrar")->click();
    w->findChild<QCheckBox*>("SectorMostrar")->click();
    spin("SectorIniGrados")->setValue(10);
    QTest::mouseMove(layer(), pointAt(kC, 15, 150));
    QCOMPARE(w->grabTarget(), int(GrabGuide));
    QCOMPARE(layer()->cursor().shape(), Qt::PointingHandCursor);
    QTest::mousePress(layer(), Qt::LeftButton, {}, pointAt(kC, 15, 150));
    QCOMPARE(moveTo(pointAt(kC, -30, 150), "GuiaGrados"), 150); // below the centre: the opposite inclination
    QCOMPARE(overlay(), renderOverlay(w->gaugeInputs()).image);
    QCOMPARE(moveTo(pointAt(kC, 30, 900), "GuiaGrados"), 30); // outside the layer: the drag goes on
    QTest::mouseRelease(layer(), Qt::LeftButton, {}, pointAt(kC, 30, 900));
    QCOMPARE(w->CentreOffsetX, 0.0f);
    QCOMPARE(layer()->geometry(), photoLayer()->geometry());
    QTest::mouseMove(layer(), pointAt(kC, 60, 150));
    QCOMPARE(w->grabTarget(), int(GrabNone));
    QCOMPARE(layer()->cursor().shape(), Qt::ArrowCursor);

    // A sector ray dragged down through 0 degrees.
    QTest::mouseMove(layer(), pointAt(kC, 10, 200));
    QCOMPARE(w->grabTarget(), int(GrabSectorStart));
    QTest::mousePress(layer(), Qt::LeftButton, {}, pointAt(kC, 10, 200));
    QCOMPARE(moveTo(pointAt(kC, -1, 200), "SectorIniGrados"), 359);
    QCOMPARE(moveTo(QPoint(525, 304), "SectorIniGrados"), 360); // from (324.5, 303): -0.29 reads 359.71
    QCOMPARE(readout(), QStringLiteral("310"));
    QCOMPARE(moveTo(QPoint(525, 302), "SectorIniGrados"), 0);
    QCOMPARE(moveTo(pointAt(kC, 1, 200), "SectorIniGrados"), 1);
    QTest::mouseRelease(layer(), Qt::LeftButton, {}, pointAt(kC, 1, 200));
    QCOMPARE(readout(), QStringLiteral("49"));
}

QTEST_MAIN(TestGaugeWindow)
#include "tst_gauge_window.moc"
