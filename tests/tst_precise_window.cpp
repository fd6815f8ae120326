// Placing the gauge precisely in the main window: a double-click centres it on the pupil, the
// arrow keys nudge it, Ctrl+Z and Ctrl+Shift+Z step through those changes, and a loupe follows
// the pointer while dragging.
#include "gauge/geometry.h"
#include "gauge/loupe.h"
#include "gauge/overlay.h"
#include "i18n/catalogue.h"
#include "synthetic_eye.h"
#include "testsupport.h"
#include "unitMain.h"

#include <QCheckBox>
#include <QLabel>
#include <QSpinBox>
#include <QUndoStack>
#include <QtTest>

class TestPreciseWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { i18n::initCatalogue(QStringLiteral(PELVANOR_BIN_DIR)); }
    void init();
    void cleanup() { w.reset(); }
    void doubleClickCentresOnPupil();
    void nothingRoundLeavesGauge();
    void pupilNotToldFromIris();
    void arrowKeys_data();
    void arrowKeys();
    void undoRedo();
    void loupeDuringDrags();
    void loupeGeometry_data();
    void loupeGeometry();

private:
    void load(const QImage& photo);
    QLabel* layer() const { return w->findChild<QLabel*>("imgLineas"); }
    QLabel* photoLayer() const { return w->findChild<QLabel*>("imgScreen"); }
    QLabel* loupe() const { return w->findChild<QLabel*>("loupe"); }
    QImage overlay() const { return layer()->pixmap().toImage(); }
    QPoint centre() const {
        return gaugeCentre(photoLayer()->width(), photoLayer()->height(), w->CentreOffsetX, w->CentreOffsetY);
    }
    // The search runs on a worker thread: wait for its answer.
    void doubleClick(const QPoint& at) {
        QTest::mouseDClick(layer(), Qt::LeftButton, {}, at);
        QTRY_VERIFY_WITH_TIMEOUT(!w->findingOutline(), 60000);
    }

    std::unique_ptr<TFormMain> w;
    RecordingSink sink;
    SyntheticEye eye;
};

void TestPreciseWindow::init() {
    w = std::make_unique<TFormMain>();
    w->setMessageSink(&sink);
    sink.messages.clear();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
}

void TestPreciseWindow::load(const QImage& photo) {
    const QString path = tempDir() + QStringLiteral("/photo.png");
    QVERIFY(photo.save(path));
    QVERIFY(w->openPhotoFile(path));
}

// A 1600 x 1200 eye whose pupil lies off the photo's middle.
SyntheticEye offCentreEye() {
    EyeSpec s;
    s.size = QSize(1600, 1200);
    s.limbusCentre = QPointF(1000.3, 520.6);
    s.limbusRadius = 300;
    s.pupilShift = QPointF(-0.05, 0.02);
    return makeSyntheticEye(s);
}

void TestPreciseWindow::doubleClickCentresOnPupil() {
    eye = offCentreEye();
    load(eye.photo);
    const double scale = double(photoLayer()->width()) / eye.photo.width();
    const QPoint inPupil = ((eye.pupilCentre + QPointF(20, 30)) * scale).toPoint();
    doubleClick(inPupil);
    QVERIFY(sink.messages.isEmpty());
    QVERIFY(!w->dragging());
    const QPointF found((w->CentreOffsetX + 0.5) * eye.photo.width(),
                        (w->CentreOffsetY + 0.5) * eye.photo.height());
    QVERIFY2(QLineF(found, eye.pupilCentre).length() < 0.01 * eye.pupilRadius,
             qPrintable(QStringLiteral("centre at %1,%2").arg(found.x()).arg(found.y())));
    QCOMPARE(w->gaugeHistory()->count(), 1);
    // The outline found is drawn over the gauge in the guide line's colour, on the pupil's edge,
    // until the next change of the gauge.
    const QImage shown = overlay(), gauge = renderOverlay(w->gaugeInputs()).image;
    const QRgb guide = w->gaugeInputs().settings.refColor.rgb();
    int onEdge = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            if (shown.pixel(x, y) != gauge.pixel(x, y)) {
                QCOMPARE(shown.pixel(x, y), guide);
                const double r = QLineF(QPointF(x + 0.5, y + 0.5), eye.pupilCentre * scale).length();
                onEdge += std::abs(r - eye.pupilRadius * scale) < 1.5;
            }
    QVERIFY2(onEdge > 3 * eye.pupilRadius * scale, qPrintable(QString::number(onEdge)));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
    QCOMPARE(overlay(), renderOverlay(w->gaugeInputs()).image);
}

void TestPreciseWindow::nothingRoundLeavesGauge() {
    QImage plain(800, 600, QImage::Format_RGB32);
    plain.fill(QColor(90, 120, 60));
    load(plain);
    const QImage before = overlay();
    doubleClick(QPoint(100, 100));
    QCOMPARE(sink.messages.size(), 1);
    QVERIFY(sink.messages.first().startsWith(QStringLiteral(
        "No se encontró ningún contorno redondo alrededor del punto\n\nHaga doble clic en el iris")));
    QCOMPARE(w->CentreOffsetX, 0.0f);
    QCOMPARE(w->CentreOffsetY, 0.0f);
    QCOMPARE(overlay(), before);
    QCOMPARE(w->gaugeHistory()->count(), 0);
    // In English the message comes from the catalogue.
    i18n::SetLanguage(QStringLiteral("en"));
    doubleClick(QPoint(300, 200));
    i18n::SetLanguage(QStringLiteral("es"));
    QVERIFY(
        sink.messages.last().startsWith(QStringLiteral("No round outline was found around the point\n\n")));
    QVERIFY(sink.messages.last().contains(QStringLiteral("drag the gauge's centre")));
}

// A click in a pupil that cannot be told from a dark iris sends the user to the iris, in either
// language, and leaves the gauge where it was; a click on that iris then centres on the limbus.
void TestPreciseWindow::pupilNotToldFromIris() {
    EyeSpec s;
    s.iris = s.pupil = QColor(62, 40, 28), s.lidCover = 0.15, s.seed = 21;
    s.size = QSize(1224, 816), s.limbusCentre = QPointF(612, 408), s.limbusRadius = 245;
    eye = makeSyntheticEye(s);
    load(eye.photo);
    const double scale = double(photoLayer()->width()) / eye.photo.width();
    doubleClick((eye.pupilCentre * scale).toPoint());
    QCOMPARE(sink.messages,
             QStringList{QStringLiteral("No se distingue la pupila del iris: haga doble clic sobre "
                                        "el iris para centrar en el limbo")});
    QCOMPARE(w->gaugeHistory()->count(), 0);
    i18n::SetLanguage(QStringLiteral("en"));
    doubleClick(((eye.pupilCentre + QPointF(0, 20)) * scale).toPoint());
    i18n::SetLanguage(QStringLiteral("es"));
    QCOMPARE(sink.messages.last(),
             QStringLiteral(
                 "The pupil cannot be told from the iris: double-click on the iris to centre on the limbus"));
    doubleClick(((eye.limbusCentre + QPointF(0.65 * eye.limbusRadius, 0)) * scale).toPoint());
    QCOMPARE(sink.messages.size(), 2);
    const QPointF found((w->CentreOffsetX + 0.5) * eye.photo.width(),
                        (w->CentreOffsetY + 0.5) * eye.photo.height());
    QVERIFY(QLineF(found, eye.limbusCentre).length() < 0.01 * eye.limbusRadius);
}

void TestPreciseWindow::arrowKeys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("ctrl");
    QTest::addColumn<QPointF>("photoPixels"); // the expected move, in photo pixels
    // The 3000 x 2000 photo is shown 729 pixels wide: one screen pixel is 3000 / 729 photo pixels.
    const double screen = 3000.0 / 729;
    QTest::newRow("right") << int(Qt::Key_Right) << false << QPointF(screen, 0);
    QTest::newRow("up") << int(Qt::Key_Up) << false << QPointF(0, -2000.0 / 486);
    QTest::newRow("ctrl left") << int(Qt::Key_Left) << true << QPointF(-1, 0);
    QTest::newRow("ctrl down") << int(Qt::Key_Down) << true << QPointF(0, 1);
}

void TestPreciseWindow::arrowKeys() {
    QFETCH(int, key);
    QFETCH(bool, ctrl);
    QFETCH(QPointF, photoPixels);
    QImage photo(3000, 2000, QImage::Format_RGB32);
    photo.fill(Qt::darkGray);
    load(photo);
    QCOMPARE(photoLayer()->size(), QSize(729, 486));
    QTest::mouseClick(layer(), Qt::LeftButton, {}, QPoint(10, 10)); // a click gives the panel the focus
    QVERIFY(w->findChild<QWidget*>("pnlScreen")->hasFocus());
    const QPoint before = centre();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), ctrl ? Qt::ControlModifier : Qt::NoModifier);
    QCOMPARE(w->CentreOffsetX, float(photoPixels.x() / 3000));
    QCOMPARE(w->CentreOffsetY, float(photoPixels.y() / 2000));
    if (!ctrl)
        QCOMPARE(centre() - before, (photoPixels * 729.0 / 3000).toPoint());
    QCOMPARE(overlay(), renderOverlay(w->gaugeInputs()).image);
}

void TestPreciseWindow::undoRedo() {
    eye = offCentreEye();
    load(eye.photo);
    const double scale = double(photoLayer()->width()) / eye.photo.width();
    doubleClick((eye.pupilCentre * scale).toPoint());
    const float pupilX = w->CentreOffsetX, pupilY = w->CentreOffsetY;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    // A sector drag is a step too.
    w->findChild<QCheckBox*>("SectorMostrar")->click();
    const QPoint c = centre();
    QTest::mouseMove(layer(), pointAt(c, 25, 150));
    QCOMPARE(w->grabTarget(), int(GrabSectorStart));
    QTest::mousePress(layer(), Qt::LeftButton, {}, pointAt(c, 25, 150));
    QTest::mouseMove(layer(), pointAt(c, 70, 150));
    QTest::mouseRelease(layer(), Qt::LeftButton, {}, pointAt(c, 70, 150));
    QSpinBox* start = w->findChild<QSpinBox*>("SectorIniGrados");
    QCOMPARE(start->value(), 70);
    QCOMPARE(w->gaugeHistory()->count(), 4);

    QWidget* panel = w->findChild<QWidget*>("pnlScreen");
    const auto press = [&](Qt::KeyboardModifiers m) { QTest::keyClick(panel, Qt::Key_Z, m); };
    press(Qt::ControlModifier);
    QCOMPARE(start->value(), 25);
    QCOMPARE(overlay(), renderOverlay(w->gaugeInputs()).image);
    press(Qt::ControlModifier);
    press(Qt::ControlModifier);
    QCOMPARE(w->CentreOffsetX, pupilX);
    QCOMPARE(w->CentreOffsetY, pupilY);
    press(Qt::ControlModifier);
    QCOMPARE(w->CentreOffsetX, 0.0f);
    press(Qt::ControlModifier); // nothing more to take back
    QCOMPARE(w->CentreOffsetX, 0.0f);
    press(Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(w->CentreOffsetX, pupilX);
    QCOMPARE(overlay(), renderOverlay(w->gaugeInputs()).image);

    // In a field, Ctrl+Z takes back the typing and leaves the gauge alone.
    start->setFocus();
    start->selectAll();
    QTest::keyClicks(start, QStringLiteral("12"));
    QTest::keyClick(start, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w->CentreOffsetX, pupilX);
    QVERIFY(start->text() != QStringLiteral("12"));
    QCOMPARE(w->gaugeHistory()->undoLimit(), 100);
}

void TestPreciseWindow::loupeDuringDrags() {
    eye = offCentreEye();
    load(eye.photo);
    QVERIFY(loupe()->isHidden());
    const QPoint c = centre();
    QTest::mouseMove(layer(), c);
    QTest::mousePress(layer(), Qt::LeftButton, {}, c);
    QVERIFY(loupe()->isVisible());
    QCOMPARE(overlay(), renderCentreMark(w->gaugeInputs())); // the overlay itself is untouched
    const QPoint global = layer()->mapToGlobal(c + QPoint(200, -150));
    QTest::mouseMove(layer(), c + QPoint(200, -150)); // up and right: the loupe goes bottom left
    const QWidget* panel = w->findChild<QWidget*>("pnlScreen");
    QCOMPARE(loupe()->geometry().bottomLeft(), QPoint(4, panel->height() - 5));
    // The loupe shows the photo under the pointer, enlarged about its crosshair.
    const QImage shown = loupe()->pixmap().toImage();
    const double toPhoto = double(eye.photo.width()) / photoLayer()->width();
    const QPointF photoPoint = (QPointF(photoLayer()->mapFromGlobal(global)) + QPointF(0.5, 0.5)) * toPhoto;
    const double m = loupeMagnification(1 / toPhoto);
    for (const QPoint& p : {QPoint(40, 50), QPoint(70, 70), QPoint(120, 100)}) {
        const QPointF under = photoPoint + (QPointF(p) + QPointF(0.5, 0.5) - QPointF(80, 80)) / m;
        QCOMPARE(shown.pixel(p), eye.photo.pixel(int(std::floor(under.x())), int(std::floor(under.y()))));
    }
    QTest::mouseRelease(layer(), Qt::LeftButton, {}, c + QPoint(200, -150));
    QVERIFY(loupe()->isHidden());
    QTest::mouseMove(layer(), QPoint(5, 5)); // nothing under the pointer: a press shows no loupe
    QTest::mousePress(layer(), Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(loupe()->isHidden());
    QTest::mouseRelease(layer(), Qt::LeftButton, {}, QPoint(5, 5));
}

void TestPreciseWindow::loupeGeometry_data() {
    QTest::addColumn<double>("screenScale");
    QTest::addColumn<double>("magnification");
    QTest::newRow("24 MP on 729 pixels: full resolution") << 729.0 / 6000 << 1.0;
    QTest::newRow("half size: four times the screen") << 0.5 << 2.0;
    QTest::newRow("enlarged photo: at most 4 to 1") << 1.5 << 4.0;
}

void TestPreciseWindow::loupeGeometry() {
    QFETCH(double, screenScale);
    QFETCH(double, magnification);
    QCOMPARE(loupeMagnification(screenScale), magnification);
    QVERIFY(loupeMagnification(screenScale) <= 4.0);
}

QTEST_MAIN(TestPreciseWindow)
#include "tst_precise_window.moc"
