#include "imaging/fit.h"

#include <QtTest>

class TestFit : public QObject {
    Q_OBJECT
private slots:
    void fit_data() {
        QTest::addColumn<QSize>("panel");
        QTest::addColumn<QSize>("photo");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("wide photo fills width")
            << QSize(729, 606) << QSize(3000, 2000) << QRect(0, 60, 729, 486);
        QTest::newRow("tall photo, tie to even")
            << QSize(729, 606) << QSize(600, 800) << QRect(137, 0, 454, 606);
        QTest::newRow("same aspect fills panel")
            << QSize(729, 606) << QSize(1458, 1212) << QRect(0, 0, 729, 606);
        QTest::newRow("small photo enlarged") << QSize(729, 606) << QSize(60, 40) << QRect(0, 60, 729, 486);
        QTest::newRow("square in wide panel")
            << QSize(800, 600) << QSize(500, 500) << QRect(100, 0, 600, 600);
        // 729 / 1.7 = 428.82 -> 429; (606 - 429) div 2 = 88 truncated
        QTest::newRow("odd remainder truncates")
            << QSize(729, 606) << QSize(1700, 1000) << QRect(0, 88, 729, 429);
        // 606 * 0.5 = 303 exactly; (729 - 303) div 2 = 213
        QTest::newRow("half width") << QSize(729, 606) << QSize(100, 200) << QRect(213, 0, 303, 606);
        // 729 / (1000/400 = 2.5) = 291.6 -> 292, top (606-292)/2 = 157
        QTest::newRow("panorama") << QSize(729, 606) << QSize(1000, 400) << QRect(0, 157, 729, 292);
        QTest::newRow("tie rounds to even down") << QSize(5, 100) << QSize(2, 1) << QRect(0, 49, 5, 2);
        QTest::newRow("tie rounds to even up") << QSize(7, 100) << QSize(2, 1) << QRect(0, 48, 7, 4);
    }
    void fit() {
        QFETCH(QSize, panel);
        QFETCH(QSize, photo);
        QFETCH(QRect, expected);
        QCOMPARE(fitPhotoRect(panel.width(), panel.height(), photo.width(), photo.height()), expected);
    }
};

QTEST_APPLESS_MAIN(TestFit)
#include "tst_fit.moc"
