// The composite renderer: its figures, its drawing steps and the pixels it produces.
#include "testsupport.h"

#include "i18n/catalogue.h"
#include "output/composite.h"
#include "output/composite_drawing.h"

#include <QtTest>

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

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

// The text of the number op whose box is centred on (x, y), or "" when none is.
QString numberAt(const std::vector<DrawOp>& ops, double x, double y) {
    for (const DrawOp* op : opsOf(ops, DrawOp::Text))
        if (qAbs(op->box.center().x() - x) < 1e-9 && qAbs(op->box.center().y() - y) < 1e-9)
            return op->text;
    return QString();
}

bool near(QRgb pixel, int r, int g, int b, int tolerance = 1) {
    return qAbs(qRed(pixel) - r) <= tolerance && qAbs(qGreen(pixel) - g) <= tolerance &&
           qAbs(qBlue(pixel) - b) <= tolerance;
}

QByteArray describe(QRgb p) {
    return QByteArray::number(qRed(p)) + "," + QByteArray::number(qGreen(p)) + "," +
           QByteArray::number(qBlue(p));
}

} // namespace

class TestComposite : public QObject {
    Q_OBJECT
private slots:
    void figuresOfA1000By800Photo();
    void transparencyAndThickness_data();
    void transparencyAndThickness();
    void templateStepsAndNumbering();
    void guideAndSectorSteps();
    void centreOnTheEdgePutsNumbersOnTheCentre();
    void templateLineIsBlendedAtItsAlpha();
    void guideLineAtZeroCrossesThePhoto();
    void referenceBandOnlyWithAReference();
    void brandLogoIsFadedToThirtyPercent();
    void eyeLabelReadsOSInEnglish();
    void threadCountDoesNotChangeThePixels_data();
    void threadCountDoesNotChangeThePixels();
    void keepsThePhotoAndItsFormat();
    void tinyAndFarOffPhotosRender();
    void reportsWhenMemoryRunsOut();
};

void TestComposite::figuresOfA1000By800Photo() {
    const CompositeLayout g = compositeLayout(1000, 800, 0.0f, 0.0f, 10, QSize(489, 367), QSize(1467, 254));
    QCOMPARE(g.cx, 500);
    QCOMPARE(g.cy, 400);
    QCOMPARE(g.markRadius, 40);
    QCOMPARE(g.edgeDistance, 400);
    QCOMPARE(g.numberRadius, 380);
    QCOMPARE(g.guideRadius, 357);
    QCOMPARE(g.sectorRadius, 327);
    QCOMPARE(g.numberFont, 16);
    QCOMPARE(g.referenceFont, 20);
    QCOMPARE(g.eyeFont, 60);
    QCOMPARE(g.deltaFont, 15);
    QCOMPARE(g.logoBox, QRectF(0, 0, 125, 94));
    QCOMPARE(g.letteringBox.size(), QSizeF(166, 29));
    QCOMPARE(g.letteringBox.topLeft(), QPointF(0, 750.8));
    QCOMPARE(g.bandBox.top(), 779.8);
    QCOMPARE(g.bandBox.height(), 20.2);
    QCOMPARE(g.bandBox.width(), 1000.0);
    QCOMPARE(g.eyeBox.x(), 880.0);
    QCOMPARE(g.eyeBox.width(), 120.0);
    QCOMPARE(g.eyeBox.height(), 69.0); // the serif's line spacing at 60 pixels
    QCOMPARE(g.deltaBox.top(), g.eyeBox.bottom());
}

void TestComposite::transparencyAndThickness_data() {
    QTest::addColumn<int>("percent");
    QTest::addColumn<int>("alpha");
    QTest::newRow("opaque") << 0 << 255;
    QTest::newRow("default") << 25 << 192;
    QTest::newRow("half") << 50 << 128;
    QTest::newRow("invisible") << 100 << 0;
}

void TestComposite::transparencyAndThickness() {
    QFETCH(int, percent);
    QFETCH(int, alpha);
    QCOMPARE(alphaForTransparency(percent), alpha);
    QCOMPARE(penWidthForThickness(0), 4);
    QCOMPARE(penWidthForThickness(1), 12);
    QCOMPARE(penWidthForThickness(2), 20);
}

void TestComposite::templateStepsAndNumbering() {
    CompositeInputs in = inputsOn(1000, 800);
    const CompositeLayout g = compositeLayout(1000, 800, 0, 0, 10, QSize(), QSize());
    const double cx = g.cx, cy = g.cy, B = g.numberRadius;

    const std::vector<DrawOp> ten = compositeDrawing(in, g);
    QCOMPARE(opsOf(ten, DrawOp::Line).size(), size_t(2 + 36)); // centre cross + template
    QCOMPARE(opsOf(ten, DrawOp::Text).size(), size_t(36 + 1)); // numbers + eye label
    QCOMPARE(numberAt(ten, cx + B, cy), QStringLiteral("0"));
    QCOMPARE(numberAt(ten, cx, cy - B), QStringLiteral("90"));
    QCOMPARE(numberAt(ten, cx - B, cy), QStringLiteral("180"));
    QCOMPARE(numberAt(ten, cx, cy + B), QStringLiteral("90"));

    in.settings.angleStep = 5;
    const std::vector<DrawOp> five = compositeDrawing(in, g);
    const auto lines = opsOf(five, DrawOp::Line);
    QCOMPARE(lines.size(), size_t(2 + 72));
    QCOMPARE(opsOf(five, DrawOp::Text).size(), size_t(36 + 1));
    int bold = 0;
    for (size_t i = 2; i < lines.size(); ++i)
        bold += lines[i]->penWidth == 4 ? 1 : 0;
    QCOMPARE(bold, 4); // only the axes at 0, 90, 180 and 270 degrees
    // A ray at 190 degrees reads 10, one at 350 reads 170.
    const double c = std::cos(10 * M_PI / 180), s = std::sin(10 * M_PI / 180);
    QCOMPARE(numberAt(five, cx - B * c, cy + B * s), QStringLiteral("10"));
    const double c80 = std::cos(80 * M_PI / 180), s80 = std::sin(80 * M_PI / 180);
    QCOMPARE(numberAt(five, cx + B * s80, cy + B * c80), QStringLiteral("170"));
}

void TestComposite::guideAndSectorSteps() {
    CompositeInputs in = inputsOn(1000, 800);
    in.guideShown = true;
    in.guideDegrees = 180;
    in.sectorShown = true;
    in.sectorStart = 30;
    in.sectorEnd = 30;
    in.sectorReadout = QStringLiteral("0");
    in.settings.refWidth = 2;
    in.settings.sectorWidth = 1;
    const CompositeLayout g = compositeLayout(1000, 800, 0, 0, 10, QSize(), QSize());
    const std::vector<DrawOp> ops = compositeDrawing(in, g);
    const auto lines = opsOf(ops, DrawOp::Line);
    QCOMPARE(lines.size(), size_t(2 + 36 + 1 + 2));
    QCOMPARE(lines[38]->penWidth, 20.0);
    QCOMPARE(lines[38]->from, QPointF(-500, 400)); // 180 degrees: the first end lies to the left
    QCOMPARE(lines[38]->to, QPointF(1500, 400));
    QCOMPARE(numberAt(ops, 500 - 357, 400), QStringLiteral("180"));
    QCOMPARE(lines[39]->penWidth, 12.0);
    QCOMPARE(lines[39]->from, QPointF(500, 400));
    QCOMPARE(lines[39]->to, lines[40]->to); // equal start and end: coincident rays
    const auto texts = opsOf(ops, DrawOp::Text);
    QCOMPARE(texts.back()->text, QStringLiteral("Delta: 0"));
    QCOMPARE(texts.back()->box, g.deltaBox);
    // Guide and sector numbers take the template number colour, not their line's.
    for (const DrawOp* t : texts)
        QCOMPARE(t->color, QColor(255, 255, 0, 192));
}

void TestComposite::centreOnTheEdgePutsNumbersOnTheCentre() {
    CompositeInputs in = inputsOn(1000, 800);
    in.centreOffsetX = -0.5f;
    in.guideShown = true;
    in.sectorShown = true;
    const CompositeLayout g = compositeLayout(1000, 800, -0.5f, 0, 10, QSize(), QSize());
    QCOMPARE(g.cx, 0);
    QCOMPARE(g.edgeDistance, 0);
    int numbers = 0;
    for (const DrawOp* t : opsOf(compositeDrawing(in, g), DrawOp::Text)) {
        if (!t->onPixelCentres)
            continue; // the labels at the corner
        QCOMPARE(t->box.center(), QPointF(0, 400));
        ++numbers;
    }
    QCOMPARE(numbers, 36 + 1 + 2);
}

void TestComposite::templateLineIsBlendedAtItsAlpha() {
    const CompositeResult r = renderComposite(inputsOn(1000, 800));
    QVERIFY(r.ok());
    // The 0-degree ray, between the centre mark and the numbers: white at alpha 192 over black.
    const QRgb p = r.image.pixel(500 + 40 + 100, 400);
    QVERIFY2(near(p, 192, 192, 192), describe(p));
    // Half way between two rays the photo shows unchanged.
    QCOMPARE(r.image.pixel(500 + 200, 400 - 17), qRgb(0, 0, 0));
}

void TestComposite::guideLineAtZeroCrossesThePhoto() {
    for (const int degrees : {0, 180}) {
        CompositeInputs in = inputsOn(900, 600);
        in.settings.angleTrans = 100; // the template out of the way
        in.guideShown = true;
        in.guideDegrees = degrees;
        const QImage image = renderComposite(in).image;
        for (int x = 0; x < 900; x += 7) {
            if (x > 150 && x < 750)
                continue; // the number sits on the line on one side
            const QRgb on = image.pixel(x, 300);
            QVERIFY2(near(on, 192, 0, 0), describe(on) + " at x " + QByteArray::number(x));
            QCOMPARE(image.pixel(x, 290), qRgb(0, 0, 0));
        }
    }
}

void TestComposite::referenceBandOnlyWithAReference() {
    CompositeInputs in = inputsOn(1000, 800, Qt::white);
    in.settings.angleTrans = 100;
    QCOMPARE(renderComposite(in).image.pixel(990, 795), qRgb(255, 255, 255));
    in.reference = QStringLiteral("Paciente 7");
    const QImage banded = renderComposite(in).image;
    QVERIFY2(near(banded.pixel(990, 795), 127, 127, 127), describe(banded.pixel(990, 795)));
    QCOMPARE(banded.pixel(990, 775), qRgb(255, 255, 255)); // above the band
    // The text is there: white and black pixels inside the band's middle.
    bool white = false, black = false;
    for (int x = 400; x < 600; ++x)
        for (int y = 780; y < 800; ++y) {
            white = white || banded.pixel(x, y) == qRgb(255, 255, 255);
            black = black || qRed(banded.pixel(x, y)) < 30;
        }
    QVERIFY(white && black);
}

void TestComposite::brandLogoIsFadedToThirtyPercent() {
    CompositeInputs in = inputsOn(1000, 800);
    in.settings.angleTrans = 100;
    in.brandLogo = QImage(489, 367, QImage::Format_ARGB32_Premultiplied);
    in.brandLogo.fill(QColor(255, 0, 0));
    in.brandLettering = QImage(1467, 254, QImage::Format_ARGB32_Premultiplied);
    in.brandLettering.fill(QColor(0, 0, 255, 128));
    const QImage image = renderComposite(in).image;
    QVERIFY2(near(image.pixel(60, 47), 77, 0, 0), describe(image.pixel(60, 47)));
    QCOMPARE(image.pixel(130, 47), qRgb(0, 0, 0)); // right of the 125-pixel box
    // Lettering of alpha 128 faded to 0.3: blue 255 * 128/255 * 0.3.
    QVERIFY2(near(image.pixel(80, 765), 0, 0, 38), describe(image.pixel(80, 765)));
}

void TestComposite::eyeLabelReadsOSInEnglish() {
    i18n::initCatalogue(QStringLiteral(PELVANOR_BIN_DIR));
    CompositeInputs in = inputsOn(1000, 800);
    in.leftEye = true;
    in.translate = i18n::lookup;
    const CompositeLayout g = compositeLayout(1000, 800, 0, 0, 10, QSize(), QSize());

    i18n::SetLanguage(QStringLiteral("es"));
    QCOMPARE(opsOf(compositeDrawing(in, g), DrawOp::Text).back()->text, QStringLiteral("OI"));
    const QImage spanish = renderComposite(in).image;
    i18n::SetLanguage(QStringLiteral("en"));
    QCOMPARE(opsOf(compositeDrawing(in, g), DrawOp::Text).back()->text, QStringLiteral("OS"));
    const QImage english = renderComposite(in).image;
    in.leftEye = false;
    QCOMPARE(opsOf(compositeDrawing(in, g), DrawOp::Text).back()->text, QStringLiteral("OD"));
    i18n::SetLanguage(QStringLiteral("es"));

    const QRect box = g.eyeBox.toRect();
    QVERIFY(spanish.copy(box) != english.copy(box));
    QCOMPARE(spanish.copy(0, 100, 800, 700), english.copy(0, 100, 800, 700)); // nothing else changes
    // Yellow glyph pixels inside the box.
    int yellow = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            yellow += near(english.pixel(x, y), 192, 192, 0) ? 1 : 0;
    QVERIFY(yellow > 100);
}

void TestComposite::threadCountDoesNotChangeThePixels_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("alpha");
    QTest::newRow("opaque photo, three tiles") << QSize(1203, 2500) << false;
    QTest::newRow("photo with alpha, tall") << QSize(903, 2100) << true;
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
    in.settings.angleTrans = 10;
    in.settings.refWidth = 2;
    in.settings.sectorWidth = 1;
    in.guideShown = true;
    in.guideDegrees = 33;
    in.sectorShown = true;
    in.sectorStart = 200;
    in.sectorEnd = 311;
    in.sectorReadout = QStringLiteral("111");
    in.reference = QStringLiteral("Una referencia bastante larga para que se corte en el borde, y algo más");
    in.brandLogo =
        QImage(testData(QStringLiteral("alpha.png"))).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    in.brandLettering = in.brandLogo;

    const QImage one = renderComposite(in, 1).image;
    QVERIFY(!one.isNull());
    for (const int threads : {2, 3, 7}) {
        const QImage threaded = renderComposite(in, threads).image;
        QVERIFY2(threaded == one, QByteArray::number(threads) + " threads differ from one");
    }
    QVERIFY(renderComposite(in).image == one);
}

void TestComposite::keepsThePhotoAndItsFormat() {
    CompositeInputs in = inputsOn(640, 480, QColor(20, 30, 40));
    const QImage before = in.photo.copy();
    in.guideShown = true;
    const CompositeResult r = renderComposite(in);
    QCOMPARE(in.photo, before);
    QCOMPARE(r.image.size(), QSize(640, 480));
    QCOMPARE(r.image.format(), QImage::Format_RGB32);

    in.photo = QImage(testData(QStringLiteral("alpha.png")));
    QCOMPARE(renderComposite(in).image.format(), QImage::Format_ARGB32_Premultiplied);
    QVERIFY(!renderComposite(CompositeInputs()).ok());
}

void TestComposite::tinyAndFarOffPhotosRender() {
    CompositeInputs in = inputsOn(5, 5);
    in.brandLogo = QImage(489, 367, QImage::Format_ARGB32_Premultiplied);
    in.brandLogo.fill(Qt::red);
    in.brandLettering = in.brandLogo;
    in.reference = QStringLiteral("x");
    in.guideShown = in.sectorShown = true;
    const CompositeLayout g = compositeLayout(5, 5, 0, 0, 10, in.brandLogo.size(), in.brandLettering.size());
    QCOMPARE(g.logoBox.width(), 0.0);
    QCOMPARE(g.letteringBox.width(), 0.0);
    QVERIFY(opsOf(compositeDrawing(in, g), DrawOp::Picture).empty());
    QVERIFY(opsOf(compositeDrawing(in, g), DrawOp::Text).empty()); // every font rounds to 0
    QVERIFY(renderComposite(in).ok());
    QVERIFY(renderComposite(inputsOn(1, 1)).ok());

    in = inputsOn(400, 300);
    in.centreOffsetX = 3.0f; // far right of the photo: A is negative
    in.guideShown = true;
    const CompositeLayout far = compositeLayout(400, 300, 3.0f, 0, 10, QSize(), QSize());
    QVERIFY(far.edgeDistance < 0);
    // Numbers land on the opposite side of the centre from their lines.
    QCOMPARE(numberAt(compositeDrawing(in, far), far.cx + far.numberRadius, far.cy), QStringLiteral("0"));
    QVERIFY(far.cx + far.numberRadius < far.cx);
    QVERIFY(renderComposite(in).ok());
}

void TestComposite::reportsWhenMemoryRunsOut() {
    const CompositeInputs in = inputsOn(6000, 4000);
    malloc_trim(0); // free heap space would serve the copy without asking the system
    rlimit old{};
    QVERIFY(getrlimit(RLIMIT_AS, &old) == 0);
    QFile status(QStringLiteral("/proc/self/statm"));
    QVERIFY(status.open(QIODevice::ReadOnly));
    const qint64 pages = status.readAll().split(' ').first().toLongLong();
    rlimit tight = old;
    tight.rlim_cur =
        rlim_t(pages * sysconf(_SC_PAGESIZE) + 24 * 1024 * 1024); // far below the 96 MB the copy needs
    QVERIFY(setrlimit(RLIMIT_AS, &tight) == 0);
    const CompositeResult r = renderComposite(in);
    setrlimit(RLIMIT_AS, &old);
    QVERIFY(!r.ok());
    QVERIFY(!r.error.isEmpty());
}

QTEST_MAIN(TestComposite)
#include "tst_composite.moc"
