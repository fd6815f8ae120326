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
    void figuresOfA1000By800Photo() {
        const CompositeLayout g = compositeLayout(1000, 800, 0, 0, 10, QSize(489, 367), QSize(1467, 254));
        QCOMPARE(QList<int>({g.cx, g.cy, g.markRadius, g.edgeDistance, g.numberRadius, g.guideRadius,
                             g.sectorRadius, g.numberFont, g.referenceFont, g.eyeFont, g.deltaFont}),
                 QList<int>({500, 400, 40, 400, 380, 357, 327, 16, 20, 60, 15}));
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

    // Numbers every 10 degrees, 0..180 above the horizontal and again below it, the guide's number on
    // its side of 180, bold axes; numbers move with the distance to the nearest edge.
    void numbersAndAxes() {
        CompositeInputs in = inputsOn(1000, 800);
        in.settings.angleStep = 5;
        in.guideShown = true;
        in.guideDegrees = 180;
        const CompositeLayout g = compositeLayout(1000, 800, 0, 0, 10, QSize(), QSize());
        const double cx = g.cx, cy = g.cy, B = g.numberRadius;
        const double c = std::cos(10 * M_PI / 180), s = std::sin(10 * M_PI / 180);
        const std::vector<DrawOp> ops = compositeDrawing(in, g);
        QCOMPARE(QStringList({numberAt(ops, cx + B, cy), numberAt(ops, cx, cy - B), numberAt(ops, cx - B, cy),
                              numberAt(ops, cx - B * c, cy + B * s), numberAt(ops, cx + B * s, cy + B * c),
                              numberAt(ops, cx - g.guideRadius, cy)}),
                 QStringList({"0", "90", "180", "10", "100", "180"}));
        const auto lines = opsOf(ops, DrawOp::Line); // centre cross, 72 template rays, guide
        QCOMPARE(lines.size(), size_t(2 + 72 + 1));
        QCOMPARE(std::count_if(lines.begin() + 2, lines.end() - 1, [](auto* l) { return l->penWidth == 4; }),
                 4);
    }

    void pixelsOfTheLinesBandAndBrand() {
        const QImage plain = renderComposite(inputsOn(1000, 800)).image;
        QCOMPARE_RGB(plain.pixel(500 + 40 + 100, 400), 192, 192, 192); // white at alpha 192 over black
        QCOMPARE(plain.pixel(700, 383), qRgb(0, 0, 0));                // between two rays

        CompositeInputs in = inputsOn(900, 600);
        in.settings.angleTrans = 100;
        in.guideShown = true;
        in.guideDegrees = 0;
        const QImage guide = renderComposite(in).image;
        for (const int x : {0, 77, 751, 899}) { // the guide line crosses the photo, clear of its number
            QCOMPARE_RGB(guide.pixel(x, 300), 192, 0, 0);
            QCOMPARE(guide.pixel(x, 290), qRgb(0, 0, 0));
        }

        in = inputsOn(1000, 800, Qt::white);
        in.settings.angleTrans = 100;
        QCOMPARE(renderComposite(in).image.pixel(990, 795), qRgb(255, 255, 255)); // no reference, no band
        in.reference = "Paciente 7";
        in.brandLogo = QImage(489, 367, QImage::Format_ARGB32_Premultiplied);
        in.brandLogo.fill(QColor(255, 0, 0));
        const QImage image = renderComposite(in).image;
        QCOMPARE_RGB(image.pixel(990, 795), 127, 127, 127); // band: black at alpha 128
        QCOMPARE(image.pixel(990, 775), qRgb(255, 255, 255));
        int dark = 0; // the black copy of the text shows beside the white one
        for (int x = 400; x < 600; ++x)
            dark += qRed(image.pixel(x, 790)) < 30 ? 1 : 0;
        QVERIFY(dark > 0);
        QCOMPARE_RGB(image.pixel(60, 47), 255, 178, 178); // red logo at 0.3 over white
        QCOMPARE(image.pixel(130, 47), qRgb(255, 255, 255));
    }

    void eyeLabelReadsOSInEnglish() {
        i18n::initCatalogue(PELVANOR_BIN_DIR);
        CompositeInputs in = inputsOn(1000, 800);
        in.leftEye = true;
        in.translate = i18n::lookup;
        const CompositeLayout g = compositeLayout(1000, 800, 0, 0, 10, QSize(), QSize());
        const auto label = [&] { return opsOf(compositeDrawing(in, g), DrawOp::Text).back()->text; };
        QCOMPARE(label(), QStringLiteral("OI"));
        const QImage spanish = renderComposite(in).image;
        i18n::SetLanguage("en");
        QCOMPARE(label(), QStringLiteral("OS"));
        const QImage english = renderComposite(in).image;
        i18n::SetLanguage("es");
        QVERIFY(spanish.copy(g.eyeBox.toRect()) != english.copy(g.eyeBox.toRect()));
        QCOMPARE(spanish.copy(0, 100, 1000, 700), english.copy(0, 100, 1000, 700));
    }

    void threadCountDoesNotChangeThePixels_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("alpha");
        QTest::newRow("opaque, three tiles") << QSize(1203, 2500) << false;
        QTest::newRow("with alpha") << QSize(903, 2100) << true;
        QTest::newRow("numbers above 64 pixels") << QSize(3500, 3400) << false;
    }
    void threadCountDoesNotChangeThePixels() {
        QFETCH(QSize, size);
        QFETCH(bool, alpha);
        CompositeInputs in;
        in.photo = QImage(size, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        in.photo.fill(QColor(10, 80, 40, 100));
        in.centreOffsetX = 0.137f;
        in.centreOffsetY = -0.21f;
        in.centreSize = 37;
        in.settings.angleStep = 5;
        in.settings.refWidth = 2;
        in.guideShown = in.sectorShown = true;
        in.guideDegrees = 33;
        in.sectorStart = 200;
        in.sectorEnd = 311;
        in.reference = "Una referencia bastante larga para que se corte en el borde, y algo más";
        in.brandLogo = in.brandLettering = QImage(testData("alpha.png"));
        const QImage one = renderComposite(in, 1).image;
        QVERIFY(!one.isNull());
        for (const int threads : {2, 3, 7})
            QVERIFY2(renderComposite(in, threads).image == one,
                     QByteArray::number(threads) + " threads differ");
        QVERIFY(renderComposite(in).image == one); // and a second rendering in the same process
    }

    void smallOddAndMissingPhotos() {
        CompositeInputs in = inputsOn(5, 5);
        in.brandLogo = QImage(489, 367, QImage::Format_ARGB32_Premultiplied);
        in.reference = "x";
        in.guideShown = in.sectorShown = true;
        QCOMPARE(renderComposite(in).image.size(), QSize(5, 5)); // boxes and fonts of size 0
        in.photo = QImage(testData("alpha.png"));
        const QImage before = in.photo.copy();
        QCOMPARE(renderComposite(in).image.format(), QImage::Format_ARGB32);
        QCOMPARE(in.photo, before); // the photo itself is never drawn on
        QVERIFY(!renderComposite(CompositeInputs()).ok());
    }
};

QTEST_MAIN(TestComposite)
#include "tst_composite.moc"
