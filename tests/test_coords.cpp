#include "app/uGenel.h"
#include "map/coords.h"

#include <QTest>
#include <climits>

using namespace coords;

class TestCoords : public QObject {
    Q_OBJECT
private slots:
    void sheetLayerAndOrigin()
    {
        QCOMPARE(sheetLayerSize(1000, 701, 3), QSize(333, 233));
        QCOMPARE(sheetOrigin(-5, 2999, 3), QPoint(-1, 999));
        QCOMPARE(sheetOrigin(-7, 7, 2), QPoint(-3, 3)); // truncation toward zero
    }

    void division_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("divisor");
        QTest::addColumn<int>("quotient");
        QTest::newRow("truncates toward zero") << -7 << 2 << -3;
        QTest::newRow("INT_MIN / -1 saturates") << INT_MIN << -1 << INT_MAX;
        QTest::newRow("INT_MAX / -1") << INT_MAX << -1 << -INT_MAX;
        QTest::newRow("INT_MIN / 2") << INT_MIN << 2 << -1073741824;
        QTest::newRow("divisor 0 counts as 1") << INT_MIN << 0 << INT_MIN;
    }
    void division()
    {
        QFETCH(int, value);
        QFETCH(int, divisor);
        QFETCH(int, quotient);
        QCOMPARE(divide(value, divisor), quotient);
        QCOMPARE(sheetOrigin(value, value, divisor), QPoint(quotient, quotient));
    }

    // Stored values at the ends of the 32-bit range give positions clamped to it.
    void limits_data()
    {
        QTest::addColumn<QPoint>("got");
        QTest::addColumn<QPoint>("want");
        const QPoint maxMin(INT_MAX, INT_MIN);
        const QPoint minMax(INT_MIN, INT_MAX);
        QTest::newRow("centring a far point") << centringOffset(QSize(743, 640), minMax) << QPoint(INT_MAX, 319 - INT_MAX);
        QTest::newRow("sheet to view") << offsetBy(maxMin, QPoint(10, -10)) << maxMin;
        QTest::newRow("view to sheet") << viewToSheet(QPoint(100, -100), minMax) << maxMin;
        QTest::newRow("stored to sheet, divisor -1") << storedToSheet(maxMin, minMax, -1) << minMax;
        QTest::newRow("stored to sheet, divisor 1") << storedToSheet(maxMin, minMax, 1) << maxMin;
        QTest::newRow("overview to stored") << overviewToStored(QPoint(1000000, -1000000), 1e6) << maxMin;
        QTest::newRow("overview, infinite scale") << overviewToStored(QPoint(1, -1), 1e308 * 10) << maxMin;
        QTest::newRow("widget position") << widgetPosition(maxMin) << QPoint(1 << 30, -(1 << 30));
        QTest::newRow("crosshair") << crosshair(maxMin, maxMin, 0.5) << maxMin;
        const QRect box = viewportRect(QPoint(INT_MAX, INT_MIN), QPoint(INT_MIN, INT_MAX), QSize(400, 300), 1.0);
        QTest::newRow("viewport rectangle, top left") << box.topLeft() << maxMin;
        QTest::newRow("viewport rectangle, bottom right") << box.bottomRight() << QPoint(INT_MAX, INT_MIN + 300);
    }
    void limits()
    {
        QFETCH(QPoint, got);
        QFETCH(QPoint, want);
        QCOMPARE(got, want);
    }

    void centring()
    {
        const QPoint offset = centringOffset(QSize(743, 640), QPoint(1000, 50));
        QCOMPARE(offset, QPoint(-630, 269));
        QCOMPARE(QPoint(1000, 50) + offset, QPoint(370, 319));
    }

    void overlaySizes()
    {
        QCOMPARE(initialOverlaySize(QSize(742, 639), 2), QSize(370, 318));
        QCOMPARE(initialOverlaySize(QSize(742, 639), 1), QSize(740, 637));
        QCOMPARE(resizedOverlaySize(QSize(800, 600)), QSize(798, 598));
    }

    void readouts_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << 400 << 70 << " X:400 Y:70";
        QTest::newRow("negative") << -5 << 0 << " X:-5 Y:0";
    }
    void readouts()
    {
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(QString, text);
        QCOMPARE(readout(x, y), text);
    }

    void viewport_data()
    {
        QTest::addColumn<QPoint>("origin");
        QTest::addColumn<QPoint>("offset");
        QTest::addColumn<QSize>("overlay");
        QTest::addColumn<double>("r");
        QTest::addColumn<QRect>("box");
        QTest::newRow("at rest") << QPoint(0, 0) << QPoint(0, 0) << QSize(400, 300) << 4.0
                                 << QRect(QPoint(0, 0), QPoint(100, 75));
        QTest::newRow("scrolled") << QPoint(0, 0) << QPoint(-200, -100) << QSize(400, 300) << 4.0
                                  << QRect(QPoint(50, 25), QPoint(150, 100));
        QTest::newRow("other sheet") << QPoint(800, 400) << QPoint(-200, -100) << QSize(400, 300) << 4.0
                                     << QRect(QPoint(250, 125), QPoint(350, 200));
        QTest::newRow("halves to even") << QPoint(0, 0) << QPoint(-30, -50) << QSize(20, 20) << 4.0
                                        << QRect(QPoint(8, 12), QPoint(13, 17));
    }
    void viewport()
    {
        QFETCH(QPoint, origin);
        QFETCH(QPoint, offset);
        QFETCH(QSize, overlay);
        QFETCH(double, r);
        QFETCH(QRect, box);
        QCOMPARE(viewportRect(origin, offset, overlay, r), box);
    }

    void crosshairLines()
    {
        QCOMPARE(crosshair(QPoint(200, 100), QPoint(800, 400), 4.0), QPoint(250, 125));
    }

    void overviewScales()
    {
        QCOMPARE(overviewScale(9600, 240, 2), 20.0);
        QCOMPARE(overviewScale(1000, 0, 1), 0.0); // an empty overview picture
        QCOMPARE(overviewRatio(20.0, 2), 10.0);
        QCOMPARE(overviewToStored(QPoint(3, 5), 2.5), QPoint(8, 12));
        QCOMPARE(overviewScale(INT_MAX, 100000, 100000), INT_MAX / 1e10); // the product does not wrap
    }

    void sheetHits_data()
    {
        QTest::addColumn<QPoint>("stored");
        QTest::addColumn<int>("index");
        QTest::newRow("inside first") << QPoint(10, 10) << 0;
        QTest::newRow("common edge: lower index") << QPoint(100, 50) << 0;
        QTest::newRow("inside second") << QPoint(101, 50) << 1;
        QTest::newRow("far corner inclusive") << QPoint(200, 80) << 1;
        QTest::newRow("outside") << QPoint(201, 50) << -1;
        QTest::newRow("negative") << QPoint(-1, 0) << -1;
        QTest::newRow("sheet reaching past the range") << QPoint(INT_MAX, 5) << 2;
    }
    void sheetHits()
    {
        QFETCH(QPoint, stored);
        QFETCH(int, index);
        std::vector<paftarec> sheets(3);
        sheets[0] = {"a", "a.jpg", 100, 80, 0, 0};
        sheets[1] = {"b", "b.jpg", 100, 80, 100, 0};
        sheets[2] = {"c", "c.jpg", INT_MAX, INT_MAX, INT_MAX - 10, 0};
        QCOMPARE(sheetAt(sheets, stored), index);
        QCOMPARE(sheetAt({}, stored), -1);
    }
};

QTEST_APPLESS_MAIN(TestCoords)
#include "test_coords.moc"
