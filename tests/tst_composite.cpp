// The composite renderer: its figures, its drawing steps and the pixels it produces.
#include "testsupport.h"

#include "i18n/catalogue.h"
#include "output/composite.h"
#include "output/composite_drawing.h"

#include <QtTest>

namespace {

CompositeInputs inputsOn(int width, int height, QColor background = Qt::black) {
    CompositeInputs in;
    in.photo = QImage(width, height, QImage::Format_RGB32);
    in.photo.fill(background);
    return in;
}

std::vector<const DrawOp*> opsOf(const std::vector<DrawOp>& ops, DrawOp::Kind kind) {
    std::vector<const DrawOp*> found;
    for (const DrawOp& op : ops)
        if (op.kind == kind)
            found.push_back(&op);
    return found;
}

// The text whose box is centred on (x, y), or "" when there is none.
QString numberAt(const std::vector<DrawOp>& ops, double x, double y) {
    for (const DrawOp* op : opsOf(ops, DrawOp::Text))
        if (qAbs(op->box.center().x() - x) < 1e-9 && qAbs(op->box.center().y() - y) < 1e-9)
            return op->text;
    return QString();
}

#define QCOMPARE_RGB(pixel, r, g, b)                                                                         \
    QVERIFY2(qAbs(qRed(pixel) - (r)) <= 1 && qAbs(qGreen(pixel) - (g)) <= 1 &&                               \
                 qAbs(qBlue(pixel) - (b)) <= 1,                                                              \
             qPrintable(QColor(pixel).name()))

} // namespace

class TestComposite : public QObject {
    Q_OBJECT
private slots:
    void figuresOfA1000By800Photo();
    void drawingSteps();
    void numbersFollowTheEdgeDistance();
    void linesAreBlendedAtTheirAlpha();
    void referenceBandOnlyWithAReference();
    void brandImagesAreFadedToThirtyPercent();
    void eyeLabelReadsOSInEnglish();
    void threadCountDoesNotChangeThePixels_data();
    void threadCountDoesNotChangeThePixels();
    void smallOddAndMissingPhotos();
};

void TestComposite::figuresOfA1000By800Photo() {
    const CompositeLayout g = compositeLayout(1000, 800, 0.0f, 0.0f, 10, QSize(489, 367), QSize(1467, 254));
    QCOMPARE(
        QList<int>({g.cx, g.cy, g.markRadius, g.edgeDistance, g.numberRadius, g.guideRadius, g.sectorRadius}),
        QList<int>({500, 400, 40, 400, 380, 357, 327}));
    QCOMPARE(QList<int>({g.numberFont, g.referenceFont, g.eyeFont, g.deltaFont}),
             QList<int>({16, 20, 60, 15}));
    QCOMPARE(g.logoBox, QRectF(0, 0, 125, 94));
    QCOMPARE(g.letteringBox, QRectF(0, 750.8, 166, 29));
    QCOMPARE(g.bandBox, QRectF(0, 779.8, 1000, 20.2));
    QCOMPARE(g.eyeBox, QRectF(880, 0, 120, 69)); // 69: the serif's line spacing at 60 pixels
    QCOMPARE(g.deltaBox.top(), g.eyeBox.bottom());

    QCOMPARE(QList<int>({alphaForTransparency(0), alphaForTransparency(25), alphaForTransparency(50),
                         alphaForTransparency(100)}),
             QList<int>({255, 192, 128, 0}));
    QCOMPARE(QList<int>({penWidthForThickness(0), penWidthForThickness(1), penWidthForThickness(2)}),
             QList<int>({4, 12, 20}));
}

void TestComposite::drawingSteps() {
    CompositeInputs in = inputsOn(1000, 800);
    const CompositeLayout g = compositeLayout(1000, 800, 0, 0, 10, QSize(), QSize());
    const double cx = g.cx, cy = g.cy, B = g.numberRadius;

    const std::vector<DrawOp> ten = compositeDrawing(in, g);
    QCOMPARE(opsOf(ten, DrawOp::Line).size(), size_t(2 + 36)); // centre cross + template
    QCOMPARE(opsOf(ten, DrawOp::Text).size(), size_t(36 + 1)); // numbers + eye label
    QCOMPARE(QStringList({numberAt(ten, cx + B, cy), numberAt(ten, cx, cy - B), numberAt(ten, cx - B, cy),
                          numberAt(ten, cx, cy + B)}),
             QStringList({"0", "90", "180", "90"}));

    in.settings.angleStep = 5;
    in.guideShown = in.sectorShown = true;
    in.guideDegrees = 180;
    in.sectorStart = in.sectorEnd = 30;
    in.sectorReadout = QStringLiteral("0");
    in.settings.refWidth = 2;
    in.settings.sectorWidth = 1;
    const std::vector<DrawOp> five = compositeDrawing(in, g);
    const auto lines = opsOf(five, DrawOp::Line);
    QCOMPARE(lines.size(), size_t(2 + 72 + 1 + 2));
    QCOMPARE(std::count_if(lines.begin() + 2, lines.begin() + 74, [](auto* l) { return l->penWidth == 4; }),
             4);
    const double c = std::cos(10 * M_PI / 180), s = std::sin(10 * M_PI / 180);
    QCOMPARE(numberAt(five, cx - B * c, cy + B * s), QStringLiteral("10"));  // the ray at 190 degrees
    QCOMPARE(numberAt(five, cx + B * s, cy + B * c), QStringLiteral("100")); // the ray at 280 degrees

    QCOMPARE(lines[74]->penWidth, 20.0); // guide line across the photo, its number on the side of 180
    QCOMPARE(QLineF(lines[74]->from, lines[74]->to), QLineF(-500, 400, 1500, 400));
    QCOMPARE(numberAt(five, cx - g.guideRadius, cy), QStringLiteral("180"));
    QCOMPARE(lines[75]->penWidth, 12.0); // equal sector angles: two coincident rays from the centre
    QCOMPARE(QLineF(lines[75]->from, lines[75]->to), QLineF(lines[76]->from, lines[76]->to));
    QCOMPARE(lines[75]->from, QPointF(cx, cy));
    const auto texts = opsOf(five, DrawOp::Text);
    QCOMPARE(texts.size(), size_t(36 + 1 + 2 + 2));
    QCOMPARE(texts.back()->text, QStringLiteral("Delta: 0"));
    for (const DrawOp* t : texts) // guide and sector numbers take the template number colour
        QCOMPARE(t->color, QColor(255, 255, 0, 192));
}

void TestComposite::numbersFollowTheEdgeDistance() {
    CompositeInputs in = inputsOn(1000, 800);
    in.guideShown = in.sectorShown = true;
    const CompositeLayout edge = compositeLayout(1000, 800, -0.5f, 0, 10, QSize(), QSize());
    QCOMPARE(edge.edgeDistance, 0); // centre on the left edge: every number on the centre
    for (const DrawOp* t : opsOf(compositeDrawing(in, edge), DrawOp::Text))
        if (t->onPixelCentres)
            QCOMPARE(t->box.center(), QPointF(0, 400));

    const CompositeLayout far = compositeLayout(400, 300, 3.0f, 0, 10, QSize(), QSize());
    QVERIFY(far.edgeDistance < 0); // centre right of the photo: numbers on the other side
    QCOMPARE(numberAt(compositeDrawing(in, far), far.cx + far.numberRadius, far.cy), QStringLiteral("0"));
    QVERIFY(far.cx + far.numberRadius < far.cx);
}

void TestComposite::linesAreBlendedAtTheirAlpha() {
    const QImage plain = renderComposite(inputsOn(1000, 800)).image;
    QCOMPARE_RGB(plain.pixel(500 + 40 + 100, 400), 192, 192, 192); // white at alpha 192 over black
    QCOMPARE(plain.pixel(700, 383), qRgb(0, 0, 0));                // between two rays

    for (const int degrees : {0, 180}) { // the guide line crosses the photo horizontally
        CompositeInputs in = inputsOn(900, 600);
        in.settings.angleTrans = 100;
        in.guideShown = true;
        in.guideDegrees = degrees;
        const QImage image = renderComposite(in).image;
        for (const int x : {0, 77, 149, 751, 899}) { // clear of the number on the line
            QCOMPARE_RGB(image.pixel(x, 300), 192, 0, 0);
            QCOMPARE(image.pixel(x, 290), qRgb(0, 0, 0));
        }
    }
}

void TestComposite::referenceBandOnlyWithAReference() {
    CompositeInputs in = inputsOn(1000, 800, Qt::white);
    in.settings.angleTrans = 100;
    QCOMPARE(renderComposite(in).image.pixel(990, 795), qRgb(255, 255, 255));
    in.reference = QStringLiteral("Paciente 7");
    const QImage image = renderComposite(in).image;
    QCOMPARE_RGB(image.pixel(990, 795), 127, 127, 127); // black at alpha 128
    QCOMPARE(image.pixel(990, 775), qRgb(255, 255, 255));
    int black = 0; // the black copy of the text shows beside the white one
    for (int x = 400; x < 600; ++x)
        black += qRed(image.pixel(x, 790)) < 30 ? 1 : 0;
    QVERIFY(black > 0);
}

void TestComposite::brandImagesAreFadedToThirtyPercent() {
    CompositeInputs in = inputsOn(1000, 800);
    in.settings.angleTrans = 100;
    in.brandLogo = QImage(489, 367, QImage::Format_ARGB32_Premultiplied);
    in.brandLogo.fill(QColor(255, 0, 0));
    in.brandLettering = QImage(1467, 254, QImage::Format_ARGB32_Premultiplied);
    in.brandLettering.fill(QColor(0, 0, 255, 128));
    const QImage image = renderComposite(in).image;
    QCOMPARE_RGB(image.pixel(60, 47), 77, 0, 0); // 255 * 0.3
    QCOMPARE(image.pixel(130, 47), qRgb(0, 0, 0));
    QCOMPARE_RGB(image.pixel(80, 765), 0, 0, 38); // 128 * 0.3
}

void TestComposite::eyeLabelReadsOSInEnglish() {
    i18n::initCatalogue(QStringLiteral(PELVANOR_BIN_DIR));
    CompositeInputs in = inputsOn(1000, 800);
    in.leftEye = true;
    in.translate = i18n::lookup;
    const CompositeLayout g = compositeLayout(1000, 800, 0, 0, 10, QSize(), QSize());
    const auto label = [&] { return opsOf(compositeDrawing(in, g), DrawOp::Text).back()->text; };

    QCOMPARE(label(), QStringLiteral("OI"));
    const QImage spanish = renderComposite(in).image;
    i18n::SetLanguage(QStringLiteral("en"));
    QCOMPARE(label(), QStringLiteral("OS"));
    const QImage english = renderComposite(in).image;
    i18n::SetLanguage(QStringLiteral("es"));
    QVERIFY(spanish.copy(g.eyeBox.toRect()) != english.copy(g.eyeBox.toRect()));
    QCOMPARE(spanish.copy(0, 100, 1000, 700), english.copy(0, 100, 1000, 700));
}

void TestComposite::threadCountDoesNotChangeThePixels_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("alpha");
    QTest::newRow("opaque, three tiles") << QSize(1203, 2500) << false;
    QTest::newRow("with alpha") << QSize(903, 2100) << true;
    QTest::newRow("numbers above 64 pixels") << QSize(3500, 3400) << false;
}

void TestComposite::threadCountDoesNotChangeThePixels() {
    QFETCH(QSize, size);
    QFETCH(bool, alpha);
    CompositeInputs in = inputsOn(size.width(), size.height());
    if (alpha) {
        in.photo = QImage(size, QImage::Format_ARGB32_Premultiplied);
        in.photo.fill(QColor(10, 80, 40, 100));
    }
    in.centreOffsetX = 0.137f;
    in.centreOffsetY = -0.21f;
    in.centreSize = 37;
    in.settings.angleStep = 5;
    in.settings.refWidth = 2;
    in.guideShown = in.sectorShown = true;
    in.guideDegrees = 33;
    in.sectorStart = 200;
    in.sectorEnd = 311;
    in.reference = QStringLiteral("Una referencia bastante larga para que se corte en el borde, y algo más");
    in.brandLogo = QImage(testData(QStringLiteral("alpha.png")));
    in.brandLettering = in.brandLogo;

    const QImage one = renderComposite(in, 1).image;
    QVERIFY(!one.isNull());
    for (const int threads : {2, 3, 7})
        QVERIFY2(renderComposite(in, threads).image == one, QByteArray::number(threads) + " threads differ");
    QVERIFY(renderComposite(in).image == one); // and a second rendering in the same process
}

void TestComposite::smallOddAndMissingPhotos() {
    CompositeInputs in = inputsOn(5, 5);
    in.brandLogo = in.brandLettering = QImage(489, 367, QImage::Format_ARGB32_Premultiplied);
    in.reference = QStringLiteral("x");
    in.guideShown = in.sectorShown = true;
    const std::vector<DrawOp> ops =
        compositeDrawing(in, compositeLayout(5, 5, 0, 0, 10, QSize(489, 367), QSize()));
    QVERIFY(opsOf(ops, DrawOp::Picture).empty()); // boxes of width 0
    QVERIFY(opsOf(ops, DrawOp::Text).empty());    // fonts of size 0
    QCOMPARE(renderComposite(in).image.size(), QSize(5, 5));

    in = inputsOn(640, 480, QColor(20, 30, 40));
    const QImage before = in.photo.copy();
    QCOMPARE(renderComposite(in).image.format(), QImage::Format_RGB32);
    QCOMPARE(in.photo, before); // the photo itself is never drawn on
    in.photo = QImage(testData(QStringLiteral("alpha.png")));
    QCOMPARE(renderComposite(in).image.format(), QImage::Format_ARGB32_Premultiplied);
    QVERIFY(!renderComposite(CompositeInputs()).ok());
}

QTEST_MAIN(TestComposite)
#include "tst_composite.moc"
