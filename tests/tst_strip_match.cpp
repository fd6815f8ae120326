// The rotation's building blocks on known answers: two strips of one texture, one moved by a known
// number of columns and rows, and one drawn eye carried onto a moved copy of itself.
#include "analysis/limbus_carry.h"
#include "analysis/rotation.h"
#include "analysis/strip_match.h"
#include "synthetic_eye.h"

#include <QPainter>
#include <QtTest>

#include <opencv2/imgproc.hpp>

namespace {

// A strip of smooth random texture, all of it seen, and the same texture with its columns moved by
// columns (wrapping round) and its rows by rows: current column j + columns, row i + rows shows what
// the reference shows at column j, row i.
std::pair<IrisStrip, IrisStrip> movedStrips(int columns, int rows) {
    const int height = 40, width = 720, pad = 8;
    cv::RNG random(20261208);
    cv::Mat texture(height + 2 * pad, width, CV_32F);
    random.fill(texture, cv::RNG::NORMAL, 0, 1);
    cv::GaussianBlur(texture, texture, cv::Size(0, 0), 1.5, 1.0);
    IrisStrip reference, current;
    reference.texture = texture.rowRange(pad, pad + height).clone();
    current.texture = cv::Mat(height, width, CV_32F);
    for (int i = 0; i < height; ++i)
        for (int j = 0; j < width; ++j)
            current.texture.at<float>(i, (j + columns + width) % width) =
                texture.at<float>(i - rows + pad, j);
    reference.valid = current.valid = cv::Mat(height, width, CV_8U, cv::Scalar(255));
    return {reference, current};
}

// The photo moved by offset on skin-coloured ground.
QImage moved(const QImage& photo, const QPoint& offset) {
    QImage out(photo.size(), QImage::Format_RGB32);
    out.fill(QColor(200, 160, 140));
    QPainter(&out).drawImage(offset, photo);
    return out;
}

} // namespace

class TestStripMatch : public QObject {
    Q_OBJECT
private slots:
    void shiftFound_data() {
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("rows");
        QTest::newRow("counter-clockwise") << 24 << 0;
        QTest::newRow("clockwise, rows out") << -40 << 2;
        QTest::newRow("past half a turn, rows in") << 400 << -3;
    }
    void shiftFound() {
        QFETCH(int, columns);
        QFETCH(int, rows);
        const auto [reference, current] = movedStrips(columns, rows);
        const CircularPeak peak = circularPeak(reference, current);
        const double degrees = reference.columnDegrees();
        // The coarse match is made on halved strips: an odd row shift falls between their rows.
        QVERIFY2(peak.score > 0.8, qPrintable(QString::number(peak.score)));
        QVERIFY2(std::abs(wrapDegrees(peak.columns * degrees - columns * degrees)) < 0.5,
                 qPrintable(QString::number(peak.columns)));
        // Every sector, searched about the coarse shift, finds the shift to a fraction of a column.
        const auto shifts = sectorShifts(reference, current, peak.columns, 5);
        QCOMPARE(int(shifts.size()), 24);
        for (const SectorShift& s : shifts) {
            QVERIFY2(std::abs(wrapDegrees((s.columns - columns) * degrees)) < 0.1,
                     qPrintable(QString("%1 at %2").arg(s.columns).arg(s.degrees)));
            QVERIFY2(std::abs(s.rows - rows) < 0.2, qPrintable(QString::number(s.rows)));
        }
    }

    void limbusCarried_data() {
        QTest::addColumn<QPoint>("offset");
        QTest::newRow("right and up") << QPoint(40, -25);
        QTest::newRow("left and down") << QPoint(-60, 30);
        QTest::newRow("in place") << QPoint(0, 0);
    }
    void limbusCarried() {
        QFETCH(QPoint, offset);
        EyeSpec spec;
        spec.size = QSize(900, 640);
        spec.limbusCentre = QPointF(440, 330);
        spec.limbusRadius = 170;
        spec.seed = 5;
        const SyntheticEye eye = makeSyntheticEye(spec);
        const Circle limbus{eye.limbusCentre, eye.limbusRadius};
        const auto carried = carryLimbus(eye.photo, limbus, moved(eye.photo, offset));
        QVERIFY(carried);
        const QPointF error = carried->centre - (limbus.centre + offset);
        QVERIFY2(std::hypot(error.x(), error.y()) < 2,
                 qPrintable(QString("%1 %2").arg(error.x()).arg(error.y())));
        QVERIFY2(std::abs(carried->radius - limbus.radius) < 2, qPrintable(QString::number(carried->radius)));
    }
};

QTEST_GUILESS_MAIN(TestStripMatch)
#include "tst_strip_match.moc"
