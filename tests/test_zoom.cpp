// Zoom and panning of the main map, driven through the real window: the keys, the wheel,
// the control, the middle button; what the readouts, the marks, a click in add mode, the
// track bars and the overview make of a zoomed view.
#include "app/uGenel.h"
#include "framework/dbedit.h"
#include "map/coords.h"
#include "map/uHarita.h"
#include "overview/uKucukHarita.h"
#include "places/uBilgigir.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

namespace {

void sql(const TempRegion &r, const QString &statement)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "outside");
        db.setDatabaseName(r.dir() + "harita.sqlite");
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY2(q.exec(statement), qPrintable(statement));
    }
    QSqlDatabase::removeDatabase("outside");
}

void key(Qt::Key k, int times = 1)
{
    for (int i = 0; i < times; ++i)
        QTest::keyClick(fHarita, k);
}

// Sent events do not climb to the parent as the user's do: sent to the view itself.
void ctrlWheel(QPoint pos, int notches)
{
    QWidget *view = fHarita->ScrollBox1;
    QWheelEvent wheel(pos, view->mapToGlobal(pos), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &wheel);
}

void middle(QEvent::Type type, QWidget *layer, QPoint pos, Qt::MouseButtons held)
{
    QMouseEvent event(type, pos, layer->mapToGlobal(pos), Qt::MiddleButton, held, Qt::NoModifier);
    QApplication::sendEvent(layer, &event);
}

QSize sheetSize()
{
    return coords::sheetLayerSize(uGenel::Sheets[0].px, uGenel::Sheets[0].py, uGenel::ScaleDivisor);
}

QColor overviewAt(QPoint p)
{
    return fKucukHarita->Image1->picture().pixelColor(p);
}

} // namespace

class TestZoom : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true); // the remembered choice goes to a scratch file
        QSettings(QStringLiteral("zemira"), QStringLiteral("zemira")).clear();
    }

    // The keys zoom about the view's centre from the whole sheet to 800 %, whenever no text
    // box has the focus; the control shows the zoom and steps it.
    void keysAndControl()
    {
        TempRegion r;
        RunningZemira z(r.dir());
        fHarita->show();
        fHarita->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(fHarita));
        QCOMPARE(fHarita->ZoomLabel->text(), QString("%100"));
        const QPoint centre(fHarita->ScrollBox1->width() / 2, fHarita->ScrollBox1->height() / 2);
        const QPoint atCentre = fHarita->viewToSheet(centre);

        key(Qt::Key_Plus, 4);
        QCOMPARE(fHarita->Zoom(), 2.0);
        QCOMPARE(fHarita->ZoomLabel->text(), QString("%200"));
        QCOMPARE(fHarita->Image1->size(), sheetSize() * 2);
        QCOMPARE(fHarita->Image1->zoom(), 2.0);
        // Each step rounds the offset to a whole pixel: the point may drift by one pixel.
        QVERIFY((fHarita->viewToSheet(centre) - atCentre).manhattanLength() <= 2);
        // The track bars follow the zoomed layer.
        QCOMPARE(fHarita->TrackBar1->maximum(), fHarita->Image1->width() - fHarita->ScrollBox1->width());
        QCOMPARE(fHarita->TrackBar1->value(), -fHarita->Image1->x());
        QCOMPARE(fHarita->TrackBar2->value(), -fHarita->Image1->y());

        key(Qt::Key_Plus, 40);
        QCOMPARE(fHarita->Zoom(), 8.0);
        key(Qt::Key_1);
        QCOMPARE(fHarita->Zoom(), 1.0);
        QCOMPARE(fHarita->Image1->size(), sheetSize());
        key(Qt::Key_0);
        QCOMPARE(fHarita->Image1->pos(), QPoint(0, 0));
        const QRect view(QPoint(0, 0), fHarita->ScrollBox1->size());
        QVERIFY(view.contains(fHarita->Image1->geometry()));
        QVERIFY(fHarita->Image1->width() == view.width() || fHarita->Image1->height() == view.height());
        const double whole = fHarita->Zoom();
        key(Qt::Key_Minus);
        QCOMPARE(fHarita->Zoom(), whole);
        QTest::mouseClick(fHarita->ZoomIn, Qt::LeftButton);
        QVERIFY(fHarita->Zoom() > whole);
        QTest::mouseClick(fHarita->ZoomOut, Qt::LeftButton);
        QCOMPARE(fHarita->Zoom(), whole);

        // A text box with the focus takes the keys as text.
        fHarita->edAra->setFocus();
        fHarita->edAra->clear();
        QTest::keyClick(fHarita->edAra, Qt::Key_Plus, Qt::NoModifier);
        QTest::keyClick(fHarita->edAra, Qt::Key_1, Qt::NoModifier);
        QCOMPARE(fHarita->edAra->text(), QString("+1"));
        QCOMPARE(fHarita->Zoom(), whole);
    }

    // Ctrl+wheel keeps the sheet pixel under the pointer; the readouts, the marks, the marker
    // and a click in add mode all mean the sheet pixel under the pointer.
    void pointerAtZoom()
    {
        TempRegion r;
        sql(r, "delete from harita");
        sql(r, QString("insert into harita (isim, tip, px, py, pafta) values ('Akköy', 'Köy', 100, 100, '%1')")
                   .arg(r.region.sheetNumbers.first()));
        RunningZemira z(r.dir());
        fHarita->show();
        DialogAnswerer answerer;
        QTest::mouseClick(fHarita->Button4, Qt::LeftButton); // add mode on
        QVERIFY(fHarita->AddMode);

        ctrlWheel(QPoint(100, 100), 8);
        QCOMPARE(fHarita->Zoom(), 4.0);
        QCOMPARE(fHarita->Image1->pos(), QPoint(-302, -302)); // pixel (100, 100)'s middle stays put
        moveTo(fHarita->Image2, QPoint(101, 98)); // view 98 to 101 show sheet pixel 100
        QCOMPARE(fHarita->Label2->text(), QString(" X:100 Y:100"));
        QCOMPARE(fHarita->Label1->text(), coords::readout(100 + fHarita->SheetOriginX, 100 + fHarita->SheetOriginY));
        moveTo(fHarita->Image2, QPoint(102, 97));
        QCOMPARE(fHarita->Label2->text(), QString(" X:101 Y:99"));

        // The stored place (100, 100) is drawn at its zoomed view position, at screen size.
        const QPoint mark = coords::sheetToView(QPoint(100, 100), fHarita->Image1->pos(), 4.0);
        QCOMPARE(mark, QPoint(100, 100)); // the middle of its 4 x 4 view pixels
        const QImage overlay = fHarita->Image2->picture();
        QCOMPARE(overlay.pixelColor(mark + QPoint(10, 0)), QColor(0, 128, 0));
        QCOMPARE(overlay.pixelColor(mark + QPoint(4, 0)).alpha(), 0);

        // Four view pixels from the place is one stored pixel: the nearby check does not ask,
        // and the new place gets the sheet pixel under the pointer.
        clickAt(fHarita->Image2, mark + QPoint(44, 0));
        QVERIFY(answerer.texts.isEmpty());
        QVERIFY(fBilgigir->isVisible());
        QCOMPARE(fBilgigir->DBEdit1->text(), QString("111"));
        QCOMPARE(fBilgigir->DBEdit2->text(), QString("100"));
        // The ring sits on the clicked view point, at its own size.
        QCOMPARE(fHarita->Image3->pos(), mark + QPoint(44 - 10, -10));
        QCOMPARE(fHarita->Image3->size(), QSize(30, 30));
    }

    // Track bars steer at every zoom; the middle button pans and the overview's rectangle
    // shows what the view shows.
    void trackBarsPanAndOverview()
    {
        TempRegion r;
        RunningZemira z(r.dir());
        fHarita->show();
        fHarita->setZoom(2.0, QPoint(0, 0));
        fHarita->TrackBar1->setValue(500);
        QCOMPARE(fHarita->Image1->x(), -500);

        const double ratio = coords::overviewRatio(fKucukHarita->OverviewScale(), uGenel::ScaleDivisor);
        const QRect box = coords::viewportRect(fHarita->SheetOrigin(), QPoint(-500, 0), fHarita->Image2->size(), ratio, 2.0);
        // Half the width the same view has at 100 %.
        const QRect atFull = coords::viewportRect(fHarita->SheetOrigin(), QPoint(-500, 0), fHarita->Image2->size(), ratio);
        QVERIFY(qAbs(box.width() * 2 - atFull.width()) <= 2);
        QCOMPARE(overviewAt(box.topLeft()), QColor(Qt::red));
        QCOMPARE(overviewAt(box.bottomRight()), QColor(Qt::red));

        const QPoint before = fHarita->Image1->pos();
        middle(QEvent::MouseButtonPress, fHarita->Image2, QPoint(300, 300), Qt::MiddleButton);
        middle(QEvent::MouseMove, fHarita->Image2, QPoint(250, 280), Qt::MiddleButton);
        middle(QEvent::MouseButtonRelease, fHarita->Image2, QPoint(250, 280), Qt::NoButton);
        QCOMPARE(fHarita->Image1->pos(), before + QPoint(-50, -20));
        QCOMPARE(fHarita->TrackBar1->value(), 550);
        QCOMPARE(fHarita->TrackBar2->value(), 20);
        QVERIFY(!fHarita->Image3->isVisible()); // the middle button places no marker
        const QRect panned = coords::viewportRect(fHarita->SheetOrigin(), fHarita->Image1->pos(),
                                                  fHarita->Image2->size(), ratio, 2.0);
        QCOMPARE(overviewAt(panned.topLeft()), QColor(Qt::red));

        // A sheet switch keeps the zoom.
        fHarita->SelectSheet(1);
        QCOMPARE(fHarita->Image1->size(), sheetSize() * 2);
    }

    // Enlarging is nearest-pixel unless the user asks for smooth, and the choice is kept.
    void smoothChoiceRemembered()
    {
        TempRegion r;
        {
            RunningZemira z(r.dir());
            QVERIFY(!fHarita->CheckBoxSmooth->isChecked());
            QVERIFY(!fHarita->Image1->smoothEnlarge());
            fHarita->CheckBoxSmooth->click();
            QVERIFY(fHarita->Image1->smoothEnlarge());
        }
        RunningZemira z(r.dir());
        QVERIFY(fHarita->CheckBoxSmooth->isChecked());
        QVERIFY(fHarita->Image1->smoothEnlarge());
    }
};

QTEST_MAIN(TestZoom)
#include "test_zoom.moc"
