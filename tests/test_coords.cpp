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

    // A sheet pixel and the view pixel that shows it: the view pixel maps back to the sheet
    // pixel, at any zoom; at 100 % it is the plain sum of the Parts.
    void zoomedPoints_data()
    {
        QTest::addColumn<double>("zoom");
        QTest::addColumn<QPoint>("offset");
        QTest::addColumn<QPoint>("sheet");
        QTest::addColumn<QPoint>("view");
        QTest::newRow("100 %") << 1.0 << QPoint(-300, -20) << QPoint(400, 70) << QPoint(100, 50);
        QTest::newRow("200 %, pixel centre") << 2.0 << QPoint(-300, -20) << QPoint(400, 70) << QPoint(501, 121);
        QTest::newRow("800 %") << 8.0 << QPoint(0, 0) << QPoint(3, 0) << QPoint(28, 4);
        QTest::newRow("25 %") << 0.25 << QPoint(10, 0) << QPoint(402, 6) << QPoint(110, 1);
        QTest::newRow("left of the sheet") << 2.0 << QPoint(100, 0) << QPoint(-5, -1) << QPoint(91, -1);
    }
    void zoomedPoints()
    {
        QFETCH(double, zoom);
        QFETCH(QPoint, offset);
        QFETCH(QPoint, sheet);
        QFETCH(QPoint, view);
        QCOMPARE(sheetToView(sheet, offset, zoom), view);
        QCOMPARE(viewToSheet(view, offset, zoom), sheet);
        QCOMPARE(layerToSheet(view - offset, zoom), sheet);
        // Centring puts the pixel's view position in the middle of the scroll box.
        QCOMPARE(sheetToView(sheet, centringOffset(QSize(743, 640), sheet, zoom), zoom), QPoint(370, 319));
    }

    // Every view pixel of an enlarged sheet pixel reads as that sheet pixel.
    void enlargedPixelReadsWhole()
    {
        for (int x = 16; x < 24; ++x)
            QCOMPARE(viewToSheet(QPoint(x, x), QPoint(0, 0), 8.0), QPoint(2, 2));
    }

    void zoomSteps_data()
    {
        QTest::addColumn<double>("zoom");
        QTest::addColumn<int>("steps");
        QTest::addColumn<double>("minimum");
        QTest::addColumn<double>("next");
        QTest::newRow("four steps double") << 1.0 << 4 << 0.1 << 2.0;
        QTest::newRow("stops at 800 %") << 7.0 << 4 << 0.1 << 8.0;
        QTest::newRow("stops at the whole sheet") << 0.15 << -4 << 0.1 << 0.1;
        QTest::newRow("passing 100 % stops there") << 0.9 << 1 << 0.1 << 1.0;
        QTest::newRow("from above too") << 1.1 << -1 << 0.1 << 1.0;
        QTest::newRow("a small sheet has no whole-sheet reduction") << 1.0 << -1 << 3.0 << 1.0;
    }
    void zoomSteps()
    {
        QFETCH(double, zoom);
        QFETCH(int, steps);
        QFETCH(double, minimum);
        QFETCH(double, next);
        QCOMPARE(zoomStep(zoom, steps, minimum), next);
    }

    void zoomLimitsAndSizes()
    {
        QCOMPARE(minZoom(QSize(8000, 6000), QSize(800, 300)), 0.05);
        QCOMPARE(minZoom(QSize(300, 200), QSize(800, 600)), 1.0); // a sheet smaller than the view
        QCOMPARE(minZoom(QSize(0, 0), QSize(800, 600)), 1.0);
        QCOMPARE(zoomedSize(QSize(8000, 6001), 0.5), QSize(4000, 3000)); // halves to even
        QCOMPARE(zoomedSize(QSize(333, 233), 1.0), QSize(333, 233));
    }

    // The sheet point under the pointer stays under it.
    void zoomAboutAnchor()
    {
        const QPoint anchor(200, 100);
        const QPoint offset(-300, -20);
        const QPoint before = viewToSheet(anchor, offset, 1.0);
        const QPoint after = zoomOffset(offset, anchor, 1.0, 4.0);
        QCOMPARE(after, QPoint(-1802, -382));
        QCOMPARE(viewToSheet(anchor, after, 4.0), before);
        QCOMPARE(zoomOffset(after, anchor, 4.0, 1.0), offset);
    }

    // The overview's rectangle covers what the view shows: a 400 x 300 view at 200 % shows
    // 200 x 150 sheet pixels.
    void zoomedViewport()
    {
        QCOMPARE(viewportRect(QPoint(800, 400), QPoint(-400, -200), QSize(400, 300), 4.0, 2.0),
                 QRect(QPoint(250, 125), QPoint(300, 163)));
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
