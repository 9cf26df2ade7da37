#include "app/uGenel.h"
#include "map/colorswatch.h"
#include "map/coords.h"
#include "map/uHarita.h"
#include "overview/uKucukHarita.h"
#include "testsupport.h"

#include <QColorDialog>
#include <QFile>
#include <QLabel>
#include <QSlider>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTest>

namespace {

QRect expectedBox()
{
    const double r = coords::overviewRatio(fKucukHarita->OverviewScale(), uGenel::ScaleDivisor);
    return coords::viewportRect(QPoint(fHarita->SheetOriginX, fHarita->SheetOriginY), fHarita->Image1->pos(),
                                fHarita->Image2->size(), r);
}

QColor shown(QPoint p)
{
    return fKucukHarita->Image1->picture().pixelColor(p);
}

QColor clean(QPoint p)
{
    return OverviewPicture.pixelColor(p);
}

} // namespace

class TestOverview : public QObject {
    Q_OBJECT
private slots:
    void followsTheView_data()
    {
        QTest::addColumn<int>("divisor");
        QTest::newRow("full size") << 1;
        QTest::newRow("half size") << 2;
    }
    void followsTheView()
    {
        QFETCH(int, divisor);
        DemoOptions o = TempRegion::tinyRegion();
        o.scaleDivisor = divisor;
        TempRegion r(o);
        RunningZemira z(r.dir());
        fHarita->show();
        const QSize picture = OverviewPicture.size();
        QVERIFY(!picture.isEmpty());
        QCOMPARE(fKucukHarita->Image1->size(), picture);

        fHarita->TrackBar1->setValue(fHarita->TrackBar1->maximum());
        QRect box = expectedBox();
        QCOMPARE(shown(box.topLeft()), QColor(Qt::red));
        QCOMPARE(shown(QPoint(box.center().x(), box.bottom())), QColor(Qt::red));
        QCOMPARE(shown(box.center()), clean(box.center()));

        // A click on the last sheet's middle: that sheet, centred, ringed, crosshair through it.
        const paftarec &last = uGenel::Sheets.back();
        const double s = fKucukHarita->OverviewScale();
        const QPoint target(int((last.px0 + last.px / 2) / s), int((last.py0 + last.py / 2) / s));
        clickAt(fKucukHarita->Image1, target);
        QCOMPARE(fHarita->Label3->text(), last.num);
        const QPoint stored = coords::overviewToStored(target, s);
        const QPoint sheetPoint((stored.x() - last.px0) / divisor, (stored.y() - last.py0) / divisor);
        QCOMPARE(fHarita->Image1->pos(), coords::centringOffset(fHarita->ScrollBox1->size(), sheetPoint));
        QVERIFY(fHarita->Image3->isVisible());
        const double ratio = coords::overviewRatio(s, divisor);
        const QPoint cross = coords::crosshair(sheetPoint, QPoint(fHarita->SheetOriginX, fHarita->SheetOriginY), ratio);
        QVERIFY(qAbs(cross.x() - target.x()) <= 1 && qAbs(cross.y() - target.y()) <= 1);
        QCOMPARE(shown(QPoint(0, cross.y())), QColor(Qt::red));
        QCOMPARE(shown(QPoint(cross.x(), 0)), QColor(Qt::red));

        // A view change alone removes the crosshair.
        fHarita->TrackBar2->setValue(1);
        QCOMPARE(shown(QPoint(0, cross.y())), clean(QPoint(0, cross.y())));

        moveTo(fKucukHarita->Image1, QPoint(3, 5));
        const QPoint at = coords::overviewToStored(QPoint(3, 5), s);
        QCOMPARE(fKucukHarita->StatusBar1->currentMessage(), QString(" X:%1 Y:%2 Pafta=0").arg(at.x()).arg(at.y()));
    }

    void swatchColourAtNextRedraw()
    {
        TempRegion r;
        RunningZemira z(r.dir());
        fHarita->show();
        DialogAnswerer answerer;
        answerer.onDialog = [](QWidget *w) {
            if (auto *d = qobject_cast<QColorDialog *>(w)) {
                d->setCurrentColor(QColor(0, 0, 255));
                d->accept();
            }
        };
        clickAt(fHarita->ShapeBorderColor, QPoint(5, 5), Qt::RightButton);
        QCOMPARE(answerer.kinds, QStringList{"ColorDialog"});
        QCOMPARE(fHarita->ShapeBorderColor->color(), QColor(0, 0, 255));
        const QRect before = expectedBox();
        QCOMPARE(shown(before.topLeft()), QColor(Qt::red)); // not redrawn yet
        fHarita->TrackBar1->setValue(5);
        QCOMPARE(shown(expectedBox().topLeft()), QColor(0, 0, 255));

        // Cancelled after picking another: the colour stays, and the dialog opens on it again.
        answerer.onDialog = [](QWidget *w) {
            auto *d = static_cast<QColorDialog *>(w);
            d->setCurrentColor(QColor(0, 255, 0));
            d->reject();
        };
        clickAt(fHarita->ShapeBorderColor, QPoint(5, 5));
        QCOMPARE(fHarita->ShapeBorderColor->color(), QColor(0, 0, 255));
        QColor openedOn;
        answerer.onDialog = [&](QWidget *w) {
            auto *d = static_cast<QColorDialog *>(w);
            openedOn = d->currentColor();
            d->accept();
        };
        clickAt(fHarita->ShapeBorderColor, QPoint(5, 5));
        QCOMPARE(openedOn, QColor(0, 0, 255));
        QCOMPARE(fHarita->ShapeBorderColor->color(), QColor(0, 0, 255));
    }

    // Without a picture (a non-bitmap overview, or no sheet at all) the pointer is over no
    // sheet: moves read -1, a click only clears the overlay (as far as the sheet layer
    // reaches, which is nowhere without a sheet).
    void emptyOverviewPointsAtNoSheet_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("cleared");
        QTest::newRow("overview not a bitmap") << "gif" << true;
        QTest::newRow("empty sheet index") << "nosheets" << false;
    }
    void emptyOverviewPointsAtNoSheet()
    {
        QFETCH(QString, fault);
        QFETCH(bool, cleared);
        TempRegion r;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "edit");
            db.setDatabaseName(r.dir() + "harita.sqlite");
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec(fault == "gif" ? "update pafta set kucuk = 'kucuk.gif'" : "delete from pafta"));
        }
        QSqlDatabase::removeDatabase("edit");
        QVERIFY(QFile::copy(fixturePath("images/good/hopper.gif"), r.dir() + "kucuk.gif"));
        DialogAnswerer answerer;
        RunningZemira z(r.dir());
        const int reports = answerer.texts.size(); // the empty index has no first sheet to load
        fHarita->show();
        QVERIFY(OverviewPicture.isNull());
        fHarita->TrackBar1->setValue(5);
        const QPoint offset = fHarita->Image1->pos();
        const QString sheet = uGenel::CurrentSheet;
        fHarita->Image2->canvas().fill(Qt::black);
        clickAt(fKucukHarita->Image1, QPoint(3, 4));
        QCOMPARE(fHarita->Image2->canvas().pixelColor(1, 1).alpha() == 0, cleared);
        QCOMPARE(fHarita->Image1->pos(), offset);
        QCOMPARE(uGenel::CurrentSheet, sheet);
        QVERIFY(fHarita->Image3->isHidden());
        moveTo(fKucukHarita->Image1, QPoint(3, 4));
        QCOMPARE(fKucukHarita->StatusBar1->currentMessage(), QString(" X:0 Y:0 Pafta=-1"));
        QCOMPARE(answerer.texts.size(), reports);
    }
};

QTEST_MAIN(TestOverview)
#include "test_overview.moc"
