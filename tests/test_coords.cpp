#include "app/uGenel.h"
#include "map/coords.h"

#include <QTest>

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
    }
    void sheetHits()
    {
        QFETCH(QPoint, stored);
        QFETCH(int, index);
        std::vector<paftarec> sheets(2);
        sheets[0] = {"a", "a.jpg", 100, 80, 0, 0};
        sheets[1] = {"b", "b.jpg", 100, 80, 100, 0};
        QCOMPARE(sheetAt(sheets, stored), index);
        QCOMPARE(sheetAt({}, stored), -1);
    }
};

QTEST_APPLESS_MAIN(TestCoords)
#include "test_coords.moc"
