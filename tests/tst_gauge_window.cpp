// The main window's gauge, driven like a user: tool panel changes redraw the overlay, and the
// pointer drags the centre, the guide line and the sector rays.
#include "gauge/geometry.h"
#include "gauge/unitSpinField.h"
#include "testsupport.h"
#include "unitMain.h"

#include <QCheckBox>
#include <QLabel>
#include <QSlider>
#include <QtTest>

namespace {

// A 649 x 606 photo fills the height of the 729 x 606 screen panel at its own size, so the photo
// layer is 649 pixels wide like the worked example.
QString workedPhoto() {
    const QString path = tempDir() + QStringLiteral("/photo.png");
    QImage photo(649, 606, QImage::Format_RGB32);
    photo.fill(Qt::darkGray);
    photo.save(path);
    return path;
}

QImage overlayOf(TFormMain& w) {
    return w.findChild<QLabel*>("imgLineas")->pixmap().toImage();
}

int opaquePixels(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += qAlpha(image.pixel(x, y)) != 0;
    return n;
}

} // namespace

class TestGaugeWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void toolPanelRedraws();
    void spinFieldsReadTheirText();
    void centreDrag();
    void pressWithoutMovingKeepsTheCentre();
    void guideLineDrag();
    void sectorRayThroughZero();
    void noDragWithoutPhoto();

private:
    void load();
    // The pointer at angle deg and distance r from the unrounded gauge centre, in layer pixels.
    QPoint pointer(double deg, double r) const;
    QLabel* layer() const { return w->findChild<QLabel*>("imgLineas"); }
    QLabel* photoLayer() const { return w->findChild<QLabel*>("imgScreen"); }
    QSpinBox* spin(const char* name) const { return w->findChild<QSpinBox*>(name); }
    QString readout() const { return w->findChild<QLabel*>("SectorGrados")->text(); }
    void hover(const QPoint& p) { QTest::mouseMove(layer(), p); }

    std::unique_ptr<TFormMain> w;
    RecordingSink sink;
};

void TestGaugeWindow::init() {
    w = std::make_unique<TFormMain>();
    w->setMessageSink(&sink);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
}

void TestGaugeWindow::cleanup() {
    w.reset();
}

void TestGaugeWindow::load() {
    QVERIFY(w->openPhotoFile(workedPhoto()));
    QCOMPARE(photoLayer()->size(), QSize(649, 606));
    QCOMPARE(layer()->geometry(), photoLayer()->geometry());
}

QPoint TestGaugeWindow::pointer(double deg, double r) const {
    const QSize s = photoLayer()->size();
    const double cx = s.width() / 2.0 + s.width() * double(w->CentreOffsetX);
    const double cy = s.height() / 2.0 + s.height() * double(w->CentreOffsetY);
    const double a = deg * M_PI / 180;
    return QPoint(qRound(cx + r * std::cos(a)), qRound(cy - r * std::sin(a)));
}

void TestGaugeWindow::toolPanelRedraws() {
    load();
    QImage before = overlayOf(*w);
    QCOMPARE(before.size(), QSize(649, 606));
    const auto changed = [&] {
        const QImage now = overlayOf(*w);
        const bool differs = now != before;
        before = now;
        return differs;
    };
    w->findChild<QSlider*>("tbRadio")->setValue(30);
    QVERIFY(changed());
    w->findChild<QCheckBox*>("GuiaMostrar")->click();
    QVERIFY(changed());
    spin("GuiaGrados")->setValue(40);
    QVERIFY(changed());
    w->findChild<QCheckBox*>("SectorMostrar")->click();
    QVERIFY(changed());
    spin("SectorIniGrados")->setValue(100);
    QVERIFY(changed());
    QCOMPARE(readout(), QStringLiteral("50"));
    spin("SectorFinGrados")->setValue(120);
    QVERIFY(changed());
    QCOMPARE(readout(), QStringLiteral("20"));
    spin("SectorFinGrados")->setValue(400); // set by the program: pulled into range
    QCOMPARE(spin("SectorFinGrados")->value(), 360);
    QCOMPARE(readout(), QStringLiteral("260"));
}

void TestGaugeWindow::spinFieldsReadTheirText() {
    load();
    auto* field = static_cast<SpinField*>(spin("SectorIniGrados"));
    QVERIFY(qobject_cast<QSpinBox*>(field));
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("400"));
    QCOMPARE(field->fieldValue(), 400); // used as typed until the field is left
    QCOMPARE(readout(), QStringLiteral("350"));
    QTest::keyClicks(field, QStringLiteral("0")); // each keystroke redraws, out of range too
    QCOMPARE(readout(), QStringLiteral("3950"));
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(field, &out);
    QCOMPARE(field->text(), QStringLiteral("360"));
    QCOMPARE(readout(), QStringLiteral("310"));
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace); // no integer in the text: the minimum
    QCOMPARE(field->fieldValue(), 0);
    QCOMPARE(readout(), QStringLiteral("50"));
    QTest::keyClicks(field, QStringLiteral("x"));
    QCOMPARE(field->text(), QString());
}

void TestGaugeWindow::centreDrag() {
    load();
    const QPoint centre = gaugeCentre(649, 606, 0.0f, 0.0f);
    hover(centre);
    QCOMPARE(w->grabTarget(), int(GrabCentre));
    QCOMPARE(layer()->cursor().shape(), Qt::PointingHandCursor);
    const int fullOverlay = opaquePixels(overlayOf(*w));

    QTest::mousePress(layer(), Qt::LeftButton, {}, centre);
    QVERIFY(w->dragging());
    QVERIFY(opaquePixels(overlayOf(*w)) < fullOverlay / 10); // only the centre mark moves
    QTest::mouseMove(layer(), centre + QPoint(20, 0));
    QTest::mouseMove(layer(), centre + QPoint(30, 0)); // in the layer's own, moved coordinates
    QCOMPARE(layer()->pos(), photoLayer()->pos() + QPoint(50, 0));
    QCOMPARE(w->CentreOffsetX, 0.0f); // set once, on release
    QTest::mouseRelease(layer(), Qt::LeftButton, {}, centre);

    QVERIFY(!w->dragging());
    QCOMPARE(w->CentreOffsetX, float(50.0 / 649));
    QCOMPARE(w->CentreOffsetY, 0.0f);
    QCOMPARE(layer()->geometry(), photoLayer()->geometry());
    const QImage redrawn = overlayOf(*w);
    QCOMPARE(redrawn.pixel(375, centre.y() + 10), qRgb(255, 255, 255)); // vertical stroke at 375
    QCOMPARE(redrawn.pixel(373, centre.y() + 10), 0u);
    QVERIFY(opaquePixels(redrawn) > fullOverlay / 2);
}

void TestGaugeWindow::pressWithoutMovingKeepsTheCentre() {
    load();
    const QPoint centre = gaugeCentre(649, 606, 0.0f, 0.0f);
    hover(centre);
    QTest::mousePress(layer(), Qt::RightButton, {}, centre); // any button starts a drag
    QVERIFY(w->dragging());
    QTest::mouseRelease(layer(), Qt::RightButton, {}, centre);
    QCOMPARE(w->CentreOffsetX, 0.0f);
    QCOMPARE(w->CentreOffsetY, 0.0f);
    QCOMPARE(overlayOf(*w), renderOverlay(w->gaugeInputs()).image); // redrawn in full
}

void TestGaugeWindow::guideLineDrag() {
    load();
    w->findChild<QCheckBox*>("GuiaMostrar")->click();
    hover(pointer(15, 150));
    QCOMPARE(w->grabTarget(), int(GrabGuide));
    QCOMPARE(layer()->cursor().shape(), Qt::PointingHandCursor);
    QTest::mousePress(layer(), Qt::LeftButton, {}, pointer(15, 150));
    QTest::mouseMove(layer(), pointer(-30, 150)); // below the centre: the opposite inclination
    QCOMPARE(spin("GuiaGrados")->value(), 150);
    QCOMPARE(overlayOf(*w), renderOverlay(w->gaugeInputs()).image);
    QTest::mouseMove(layer(), pointer(10, 900)); // outside the layer: the drag goes on
    QCOMPARE(spin("GuiaGrados")->value(), 10);
    QCOMPARE(w->grabTarget(), int(GrabGuide));
    QTest::mouseRelease(layer(), Qt::LeftButton, {}, pointer(10, 900));
    QCOMPARE(w->CentreOffsetX, 0.0f);
    QCOMPARE(layer()->geometry(), photoLayer()->geometry());
    hover(pointer(60, 150));
    QCOMPARE(w->grabTarget(), int(GrabNone));
    QCOMPARE(layer()->cursor().shape(), Qt::ArrowCursor);
}

void TestGaugeWindow::sectorRayThroughZero() {
    load();
    w->findChild<QCheckBox*>("SectorMostrar")->click();
    spin("SectorIniGrados")->setValue(10);
    hover(pointer(10, 200));
    QCOMPARE(w->grabTarget(), int(GrabSectorStart));
    QTest::mousePress(layer(), Qt::LeftButton, {}, pointer(10, 200));
    QTest::mouseMove(layer(), pointer(-1, 200));
    QCOMPARE(spin("SectorIniGrados")->value(), 359);
    const QPoint centre(324, 303);                      // the unrounded centre is (324.5, 303)
    QTest::mouseMove(layer(), centre + QPoint(201, 1)); // -0.29 degrees reads 359.71
    QCOMPARE(spin("SectorIniGrados")->value(), 360);
    QCOMPARE(readout(), QStringLiteral("310"));
    QTest::mouseMove(layer(), centre + QPoint(201, -1));
    QCOMPARE(spin("SectorIniGrados")->value(), 0);
    QTest::mouseMove(layer(), pointer(1, 200));
    QCOMPARE(spin("SectorIniGrados")->value(), 1);
    QTest::mouseRelease(layer(), Qt::LeftButton, {}, pointer(1, 200));
    QCOMPARE(readout(), QStringLiteral("49"));
}

void TestGaugeWindow::noDragWithoutPhoto() {
    const QSize s = photoLayer()->size();
    const QPoint centre(s.width() / 2, s.height() / 2);
    const QPoint start = layer()->pos();
    hover(centre); // the hover runs without a photo
    QCOMPARE(w->grabTarget(), int(GrabCentre));
    QCOMPARE(layer()->cursor().shape(), Qt::PointingHandCursor);
    QTest::mousePress(layer(), Qt::LeftButton, {}, centre);
    QVERIFY(!w->dragging());
    QTest::mouseMove(layer(), centre + QPoint(50, 0));
    QCOMPARE(layer()->pos(), start);
    QTest::mouseRelease(layer(), Qt::LeftButton, {}, centre + QPoint(50, 0));
    QCOMPARE(w->CentreOffsetX, 0.0f);
}

QTEST_MAIN(TestGaugeWindow)
#include "tst_gauge_window.moc"
