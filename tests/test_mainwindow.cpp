#include "app/uGenel.h"
#include "map/coords.h"
#include "map/uHarita.h"
#include "overview/uKucukHarita.h"
#include "testsupport.h"

#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>

namespace {
bool seeThrough(const QImage &image, QPoint p)
{
    return qAlpha(image.pixel(p)) == 0;
}
}

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void designSize()
    {
        TempRegion r;
        RunningZemira z(r.dir());
        QCOMPARE(fHarita->ScrollBox1->size(), QSize(742, 639));
        QCOMPARE(fHarita->Image2->pos(), QPoint(0, 0));
        QCOMPARE(fHarita->Image2->size(), QSize(742, 639)); // the sheet switch gave it the full view
        QCOMPARE(fHarita->Image2->picture().size(), QSize(740, 637));
        QVERIFY(fHarita->Image3->isHidden());
        // Shown, the view reports its size once: the overlay takes the resized size.
        fHarita->show();
        QCOMPARE(fHarita->Image2->size(), QSize(740, 637));
        // The frame stands at the designed place, the client area inside it.
        QCOMPARE(fHarita->frameGeometry().topLeft(), QPoint(70, 37));
        QCOMPARE(fHarita->size(), QSize(943, 668));
    }

    void trackBarsScrollAndClamp()
    {
        TempRegion r; // 900 x 700 sheets in a 742 x 639 view
        RunningZemira z(r.dir());
        fHarita->show();
        QCOMPARE(fHarita->TrackBar1->maximum(), 900 - 742);
        QCOMPARE(fHarita->TrackBar2->maximum(), 700 - 639);
        fHarita->TrackBar1->setValue(100);
        fHarita->TrackBar2->setValue(40);
        QCOMPARE(fHarita->Image1->pos(), QPoint(-100, -40));
        fHarita->TrackBar1->setValue(10000);
        QCOMPARE(fHarita->Image1->x(), -158);

        // A wider view lowers the maximum below the position: the sheet follows.
        fHarita->resize(fHarita->width() + 100, fHarita->height());
        QCOMPARE(fHarita->TrackBar1->maximum(), 900 - fHarita->ScrollBox1->width());
        QCOMPARE(fHarita->Image1->x(), -fHarita->TrackBar1->maximum());
        // A view wider than the sheet: the negative maximum is not applied.
        const int before = fHarita->TrackBar1->maximum();
        fHarita->resize(fHarita->width() + 400, fHarita->height());
        QCOMPARE(fHarita->TrackBar1->maximum(), before);

        QTest::mouseClick(fHarita->Button5, Qt::LeftButton);
        QCOMPARE(fHarita->Image1->pos(), QPoint(0, 0));
        QCOMPARE(fHarita->TrackBar1->value(), 0);
        QCOMPARE(fHarita->TrackBar2->value(), 0);
    }

    void readouts()
    {
        TempRegion r;
        RunningZemira z(r.dir());
        fHarita->show();
        fHarita->Image1->move(-300, -20);
        fHarita->SheetOriginX = 5000;
        fHarita->SheetOriginY = 2000;
        moveTo(fHarita->Image2, QPoint(100, 50));
        QCOMPARE(fHarita->Label2->text(), QString(" X:400 Y:70"));
        QCOMPARE(fHarita->Label1->text(), QString(" X:5400 Y:2070"));

        QTest::mouseClick(fHarita->Button2, Qt::LeftButton); // "Göster" hides the overlay
        QVERIFY(fHarita->Image2->isHidden());
        moveTo(fHarita->Image1, QPoint(400, 70));
        QCOMPARE(fHarita->Label2->text(), QString(" X:100 Y:50"));
        QCOMPARE(fHarita->Label1->text(), QString(" X:5400 Y:2070"));

        // With the overlay gone, clicks reach the sheet layer and land in view coordinates.
        clickAt(fHarita->Image1, QPoint(400, 70));
        QCOMPARE(fHarita->Label1->text(), QString(" X:100 Y:50"));
        QCOMPARE(fHarita->Image3->pos(), QPoint(90, 40));
    }

    void clickPlacesMarker()
    {
        TempRegion r;
        RunningZemira z(r.dir());
        fHarita->show();
        clickAt(fHarita->Image2, QPoint(120, 80));
        QVERIFY(fHarita->Image3->isVisible());
        QCOMPARE(fHarita->Image3->pos(), QPoint(110, 70));
        QCOMPARE(fHarita->Label1->text(), QString(" X:120 Y:80"));
        QCOMPARE(fHarita->Label6->text(), QString::number(fHarita->Image1->width()));
        QCOMPARE(fHarita->Label7->text(), QString::number(fHarita->Image2->width()));
        // The ring is red, its centre see-through.
        const QImage ring = fHarita->Image3->picture();
        QCOMPARE(ring.pixelColor(10, 1).red(), 255);
        QVERIFY(seeThrough(ring, QPoint(10, 10)));

        fHarita->PlaceMarker(0, 0);
        QCOMPARE(fHarita->Image3->pos(), QPoint(-10, -10));
        // Scrolling leaves the marker where it was in the view.
        fHarita->TrackBar1->setValue(50);
        QCOMPARE(fHarita->Image3->pos(), QPoint(-10, -10));
    }

    void showSheetPoint()
    {
        TempRegion r;
        RunningZemira z(r.dir());
        fHarita->show();
        const int last = uGenel::SheetCount - 1;
        fHarita->ShowSheetPoint(last, 500, 60);
        QCOMPARE(fHarita->Label3->text(), r.region.sheetNumbers.last());
        const QPoint offset = coords::centringOffset(fHarita->ScrollBox1->size(), QPoint(500, 60));
        QCOMPARE(fHarita->Image1->pos(), offset);
        QCOMPARE(fHarita->Image3->pos(), QPoint(500, 60) + offset - QPoint(10, 10));
        // The track bars keep their positions.
        QCOMPARE(fHarita->TrackBar1->value(), 0);
    }

    void resizeAndPanel()
    {
        TempRegion r;
        RunningZemira z(r.dir());
        fHarita->show();
        fHarita->resize(800, 600);
        const QSize view = fHarita->ScrollBox1->size();
        QCOMPARE(fHarita->Image2->size(), view - QSize(2, 2));
        QCOMPARE(fHarita->Image2->picture().size(), view - QSize(2, 2));
        QCOMPARE(fKucukHarita->pos(), fHarita->pos() + QPoint(8, 57));

        QTest::mouseClick(fHarita->Button3, Qt::LeftButton); // "Gizle"
        QVERIFY(fHarita->Panel2->isHidden());
        QCOMPARE(fHarita->ScrollBox1->width(), view.width() + 194);
        QCOMPARE(fHarita->Image2->width(), view.width() + 192);
        QCOMPARE(fHarita->Button3->text(), QString("Gizle"));
        QTest::mouseClick(fHarita->Button3, Qt::LeftButton);
        QVERIFY(fHarita->Panel2->isVisible());
    }

    void wheelScrollsThroughTrackBars()
    {
        TempRegion r;
        RunningZemira z(r.dir());
        fHarita->show();
        // Sent events do not climb to the parent as the user's do: send to the view itself.
        QWheelEvent down(QPointF(50, 50), fHarita->ScrollBox1->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, -120),
                         Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(fHarita->ScrollBox1, &down);
        QCOMPARE(fHarita->TrackBar2->value(), std::min(fHarita->TrackBar2->maximum(), fHarita->ScrollBox1->height() / 10));
        QCOMPARE(fHarita->Image1->y(), -fHarita->TrackBar2->value());
        QWheelEvent right(QPointF(50, 50), fHarita->ScrollBox1->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::ShiftModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(fHarita->ScrollBox1, &right);
        QCOMPARE(fHarita->TrackBar1->value(), fHarita->ScrollBox1->width() / 10);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
