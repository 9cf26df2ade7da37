#include "app/uGenel.h"
#include "data/connection.h"
#include "data/schema.h"
#include "framework/dataset.h"
#include "map/coords.h"
#include "map/uHarita.h"
#include "overview/overview_controls.h"
#include "overview/overview_layers.h"
#include "overview/overview_places.h"
#include "overview/uKucukHarita.h"
#include "places/uDuzelt.h"
#include "pgtestsupport.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTest>

namespace {

const QColor Outline(40, 40, 40);
const QColor CurrentOutline(230, 120, 0);
const QColor Dot(0, 60, 200);

QColor shown(QPoint p)
{
    return fKucukHarita->Image1->picture().pixelColor(p);
}

double scale()
{
    return fKucukHarita->OverviewScale();
}

// A point on the left edge of a sheet, halfway down.
QPoint leftEdge(const paftarec &sheet)
{
    const QRect box = overview_layers::sheetRect(sheet, scale());
    return QPoint(box.left(), box.center().y());
}

void setBox(QCheckBox *box, bool on)
{
    if (box->isChecked() != on)
        clickAt(box, QPoint(5, box->height() / 2));
    QCOMPARE(box->isChecked(), on);
}

// Where the dot of a place at a stored region position is drawn.
QPoint dotOf(QPoint stored)
{
    const int unit = overview_layers::cellUnits(scale());
    const QPoint cell = overview_layers::cellOf(stored, unit);
    return overview_layers::storedToOverview(QPoint(cell.x() * unit + unit / 2, cell.y() * unit + unit / 2), scale());
}

// The overview as without layers: the clean picture and the visible-area rectangle.
bool onlyTheRectangle()
{
    const double r = coords::overviewRatio(scale(), uGenel::ScaleDivisor);
    const QRect box = coords::viewportRect(QPoint(fHarita->SheetOriginX, fHarita->SheetOriginY), fHarita->Image1->pos(),
                                           fHarita->Image2->size(), r);
    const QImage picture = fKucukHarita->Image1->picture();
    int drawn = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            if (picture.pixel(x, y) == OverviewPicture.pixel(x, y))
                continue;
            const bool onEdge = ((x == box.left() || x == box.right()) && y >= box.top() && y <= box.bottom())
                || ((y == box.top() || y == box.bottom()) && x >= box.left() && x <= box.right());
            if (!onEdge || picture.pixelColor(x, y) != QColor(Qt::red))
                return false;
            ++drawn;
        }
    return drawn > 0;
}

// A stored sheet pixel of the sheet whose dot cell holds no place yet.
QPoint emptyCellOn(const paftarec &sheet)
{
    for (int y = sheet.py / 4; y < sheet.py; y += 7)
        for (int x = sheet.px / 4; x < sheet.px; x += 7)
            if (shown(dotOf(QPoint(sheet.px0 + x, sheet.py0 + y))) != Dot)
                return QPoint(x, y);
    return QPoint(-1, -1);
}


// Runs statements on the database at target (a file or a PostgreSQL URI), the tables made
// first when asked; false on a failure.
bool runOn(const QString &target, const QStringList &statements, bool schema = false)
{
    bool ok = true;
    {
        const bool postgres = Connection::isPostgresUri(target);
        QSqlDatabase db = QSqlDatabase::addDatabase(postgres ? "QPSQL" : "QSQLITE", "cells");
        if (postgres) {
            const QUrl url(target);
            db.setHostName(url.host());
            db.setPort(url.port(5432));
            db.setUserName(url.userName());
            db.setDatabaseName(url.path().mid(1));
        } else {
            db.setDatabaseName(target);
        }
        ok = db.open();
        if (ok && schema)
            createSchema(db);
        QSqlQuery q(db);
        for (const QString &statement : statements)
            if (ok && !q.exec(statement)) {
                qWarning("%s: %s", qPrintable(statement), qPrintable(q.lastError().text()));
                ok = false;
            }
    }
    QSqlDatabase::removeDatabase("cells");
    return ok;
}

// A database of sheet A left of and above the origin and sheet B right of and below it;
// its target, or "" when it cannot be made.
QString cellsDatabase(bool postgres, const QTemporaryDir &dir, PgScratchDatabase &pg)
{
    QString target = dir.filePath(QStringLiteral("cells.sqlite"));
    if (postgres) {
        const QString error = pg.create(QStringLiteral("overview_cells"));
        if (!error.isEmpty()) {
            qWarning("%s", qPrintable(error));
            return QString();
        }
        target = pg.uri();
    }
    const bool made = runOn(target,
                            {"insert into pafta (num, px, py, px0, py0) values ('A', 100, 100, -100, -100), "
                             "('B', 100, 100, 0, 0)"},
                            true);
    return made ? target : QString();
}

} // namespace

class TestOverviewLayers : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        useScratchSettings();
    }
    void init()
    {
        QSettings(QStringLiteral("zemira"), QStringLiteral("zemira")).clear();
    }

    void cellsFloorBelowZero_data()
    {
        QTest::addColumn<QPoint>("stored");
        QTest::addColumn<QPoint>("cell");
        QTest::newRow("origin") << QPoint(0, 0) << QPoint(0, 0);
        QTest::newRow("last of the first cell") << QPoint(9, 9) << QPoint(0, 0);
        QTest::newRow("next cell") << QPoint(10, 19) << QPoint(1, 1);
        QTest::newRow("just below zero") << QPoint(-1, -10) << QPoint(-1, -1);
        QTest::newRow("one cell further below") << QPoint(-11, -20) << QPoint(-2, -2);
        QTest::newRow("limits") << QPoint(INT_MIN, INT_MAX) << QPoint(INT_MIN / 10 - 1, INT_MAX / 10);
    }
    void cellsFloorBelowZero()
    {
        QFETCH(QPoint, stored);
        QFETCH(QPoint, cell);
        QCOMPARE(overview_layers::cellOf(stored, 10), cell);
    }

    // The database groups places into the cells the window computes, on both engines,
    // sheets left of and above the origin included, across statements of id ranges.
    void placeCellsFromTheDatabase_data()
    {
        QTest::addColumn<bool>("postgres");
        QTest::newRow("SQLite") << false;
        QTest::newRow("PostgreSQL") << true;
    }
    void placeCellsFromTheDatabase()
    {
        QFETCH(bool, postgres);
        QTemporaryDir dir;
        PgScratchDatabase pg;
        const QString target = cellsDatabase(postgres, dir, pg);
        QVERIFY(!target.isEmpty());
        QVERIFY(runOn(target, {"insert into harita (id, px, py, pafta) values (1, 0, 0, 'A'), (2, 99, 95, 'A'), "
                               "(3, 5, 5, 'B'), (4, 9, 9, 'B'), (250001, 55, 31, 'B'), (250002, 1, 1, 'X'), "
                               "(250003, null, 4, 'B')"}));

        PlaceDots dots;
        QSignalSpy changed(&dots, &PlaceDots::changed);
        QSignalSpy failed(&dots, &PlaceDots::failed);
        dots.load(target, 10);
        QTRY_VERIFY_WITH_TIMEOUT(!changed.isEmpty() || !failed.isEmpty(), 20000);
        QVERIFY2(failed.isEmpty(), failed.isEmpty() ? "" : qPrintable(failed.first().first().toString()));
        // -100 and -1 are in cells -10 and -1; a place on an unknown sheet or without a
        // position has no dot; two places in one cell give one.
        const QSet<QPoint> expected{QPoint(-10, -10), QPoint(-1, -1), QPoint(0, 0), QPoint(5, 3)};
        QCOMPARE(dots.cells(), expected);
        dots.add(QPoint(-21, 7));
        QVERIFY(dots.cells().contains(QPoint(-3, 0)));
    }

    // A cell is read again where a place left or came back: its dot stays while another
    // place holds the cell, also for changes made while the cells are still being read.
    void recheckedCells_data()
    {
        placeCellsFromTheDatabase_data();
    }
    void recheckedCells()
    {
        QFETCH(bool, postgres);
        QTemporaryDir dir;
        PgScratchDatabase pg;
        const QString target = cellsDatabase(postgres, dir, pg);
        QVERIFY(!target.isEmpty());
        // Stored region positions: 1 (-100, -100), 2 (-1, -5), 3 (-5, -1), 4 (5, 5), 5 (9, 9).
        QVERIFY(runOn(target, {"insert into harita (id, px, py, pafta) values (1, 0, 0, 'A'), (2, 99, 95, 'A'), "
                               "(3, 95, 99, 'A'), (4, 5, 5, 'B'), (5, 9, 9, 'B')",
                               "delete from harita where id in (2, 4, 5)"}));
        PlaceDots dots;
        QSignalSpy changed(&dots, &PlaceDots::changed);
        QSignalSpy failed(&dots, &PlaceDots::failed);
        dots.load(target, 10);
        dots.recheck(QPoint(-1, -5));
        dots.recheck(QPoint(5, 5));
        QTRY_VERIFY_WITH_TIMEOUT(!changed.isEmpty() || !failed.isEmpty(), 20000);
        QVERIFY2(failed.isEmpty(), failed.isEmpty() ? "" : qPrintable(failed.first().first().toString()));
        QCOMPARE(dots.cells(), (QSet<QPoint>{QPoint(-10, -10), QPoint(-1, -1)}));

        QVERIFY(runOn(target, {"delete from harita where id = 3"}));
        dots.recheck(QPoint(-5, -1));
        QCOMPARE(dots.cells(), QSet<QPoint>{QPoint(-10, -10)});
        QVERIFY(runOn(target, {"insert into harita (id, px, py, pafta) values (6, 3, 9, 'B')"}));
        dots.recheck(QPoint(3, 9));
        QCOMPARE(dots.cells(), (QSet<QPoint>{QPoint(-10, -10), QPoint(0, 0)}));
        QCOMPARE(changed.size(), 3);
        dots.recheck(QPoint(5, 5)); // nothing new there
        QCOMPARE(changed.size(), 3);
        QVERIFY(failed.isEmpty());
    }

    // Moving, deleting and undoing in the correcting window move the dots with the places.
    void dotsFollowCorrections()
    {
        TempRegion r;
        const QString first = r.region.sheetNumbers.first();
        QVERIFY(runOn(r.dir() + "harita.sqlite",
                      {"delete from harita where pafta = '" + first + "'",
                       "insert into harita (id, isim, tip, px, py, pafta) values "
                       "(901, 'Tek', 'Köy', 100, 100, '" + first + "'), (902, 'Çift', 'Köy', 600, 500, '" + first
                           + "'), (903, 'Eş', 'Köy', 600, 500, '" + first + "')"}));
        RunningZemira z(r.dir());
        fHarita->show();
        setBox(fKucukHarita->Layers->CheckBoxPlaces, true);
        fHarita->Button5->click(); // no crosshair over the dots
        const paftarec &sheet = uGenel::Sheets[0];
        QCOMPARE(sheet.num, first);
        const auto dot = [&](int x, int y) { return shown(dotOf(QPoint(sheet.px0 + x, sheet.py0 + y))) == Dot; };
        QTRY_VERIFY(dot(100, 100));
        QVERIFY(dot(600, 500));
        QVERIFY(!dot(400, 300));
        DialogAnswerer answerer;
        auto *undo = fHarita->findChild<QPushButton *>("btnGeriAl");

        fDuzelt->showPlace(901);
        fDuzelt->edPx->setText("400");
        fDuzelt->edPy->setText("300");
        QTest::mouseClick(fDuzelt->btnKaydet, Qt::LeftButton);
        QVERIFY(dot(400, 300));
        QVERIFY(!dot(100, 100));
        QTest::mouseClick(undo, Qt::LeftButton);
        QVERIFY(dot(100, 100));
        QVERIFY(!dot(400, 300));

        for (int id : {902, 903}) {
            answerer.answers = QStringList{"Sil"};
            fDuzelt->showPlace(id);
            QTest::mouseClick(fDuzelt->btnSil, Qt::LeftButton);
            QCOMPARE(dot(600, 500), id == 902); // the other still holds the cell
        }
        QTest::mouseClick(undo, Qt::LeftButton);
        QVERIFY(dot(600, 500));
        QCOMPARE(answerer.kinds, (QStringList{"SilOnay", "SilOnay"}));
    }

    void layersDrawnWhereTheyShould()
    {
        TempRegion r;
        RunningZemira z(r.dir());
        fHarita->show();
        fHarita->TrackBar1->setValue(1);
        OverviewControls *layers = fKucukHarita->Layers;
        const paftarec &first = uGenel::Sheets[0];
        const paftarec &last = uGenel::Sheets.back();
        QVERIFY(onlyTheRectangle());

        setBox(layers->CheckBoxSheets, true);
        QCOMPARE(shown(leftEdge(last)), Outline);
        // The number sits in the middle of its sheet, dark on a pale label.
        const QPoint middle = overview_layers::sheetRect(last, scale()).center();
        int dark = 0;
        int pale = 0;
        for (int dx = -12; dx <= 12; ++dx) {
            const QColor c = shown(middle + QPoint(dx, 0));
            dark += c.lightness() < 100;
            pale += c.lightness() > 220 && c != OverviewPicture.pixelColor(middle + QPoint(dx, 0));
        }
        QVERIFY(dark >= 2 && pale >= 2);

        setBox(layers->CheckBoxCurrentSheet, true);
        QCOMPARE(uGenel::CurrentSheet, first.num);
        const QRect firstBox = overview_layers::sheetRect(first, scale());
        const QPoint firstRight(firstBox.right(), firstBox.center().y());
        QCOMPARE(shown(firstRight), CurrentOutline);
        QCOMPARE(shown(leftEdge(last)), Outline);

        // Jumping to the last sheet moves the highlight; the crosshair stays when a layer is switched.
        clickAt(fKucukHarita->Image1, middle + QPoint(3, 3));
        QCOMPARE(uGenel::CurrentSheet, last.num);
        QCOMPARE(shown(leftEdge(last)), CurrentOutline);
        QCOMPARE(shown(firstRight), Outline);
        const QPoint cross(0, middle.y() + 3);
        QCOMPARE(shown(cross), QColor(Qt::red));

        setBox(layers->CheckBoxSheets, false);
        setBox(layers->CheckBoxCurrentSheet, false);
        QCOMPARE(shown(cross), QColor(Qt::red));
        setBox(layers->CheckBoxPlaces, true);
        fHarita->Button5->click(); // the crosshair goes, lest it hide a dot
        QSqlQuery q(QSqlDatabase::database("ADOConnection1"));
        q.prepare("select px, py from harita where pafta = ? order by id");
        q.addBindValue(uGenel::Sheets[1].num);
        QVERIFY(q.exec());
        QVERIFY(q.next());
        const paftarec &second = uGenel::Sheets[1];
        const QPoint place = dotOf(QPoint(second.px0 + q.value(0).toInt(), second.py0 + q.value(1).toInt()));
        QTRY_COMPARE(shown(place), Dot);

        // A saved place gets its dot at once.
        const QPoint free = emptyCellOn(second);
        QVERIFY(free.x() >= 0);
        const QPoint freeDot = dotOf(QPoint(second.px0 + free.x(), second.py0 + free.y()));
        fHarita->qHarita->append();
        fHarita->qHarita->setValue("isim", "Yeni Yer");
        fHarita->qHarita->setValue("pafta", second.num);
        fHarita->qHarita->setValue("px", free.x());
        fHarita->qHarita->setValue("py", free.y());
        fHarita->qHarita->post();
        QCOMPARE(shown(freeDot), Dot);

        // Every layer off again: the picture as without them.
        setBox(layers->CheckBoxPlaces, false);
        QVERIFY(onlyTheRectangle());
    }

    void switchesRememberedInTheNextWindow()
    {
        TempRegion r;
        {
            RunningZemira z(r.dir());
            QVERIFY(!fKucukHarita->Layers->CheckBoxSheets->isChecked());
            QVERIFY(!fKucukHarita->Layers->CheckBoxCurrentSheet->isChecked());
            QVERIFY(!fKucukHarita->Layers->CheckBoxPlaces->isChecked());
            setBox(fKucukHarita->Layers->CheckBoxSheets, true);
            setBox(fKucukHarita->Layers->CheckBoxPlaces, true);
            setBox(fKucukHarita->Layers->CheckBoxPlaces, false);
            setBox(fKucukHarita->Layers->CheckBoxCurrentSheet, true);
        }
        RunningZemira z(r.dir());
        QVERIFY(fKucukHarita->Layers->CheckBoxSheets->isChecked());
        QVERIFY(fKucukHarita->Layers->CheckBoxCurrentSheet->isChecked());
        QVERIFY(!fKucukHarita->Layers->CheckBoxPlaces->isChecked());
        // Shown from the start, before the view first moves.
        QCOMPARE(shown(leftEdge(uGenel::Sheets.back())), Outline);
    }

    void hoverNamesTheSheet()
    {
        TempRegion r;
        RunningZemira z(r.dir());
        fHarita->show();
        for (int i : {0, 3}) {
            const QPoint p = overview_layers::sheetRect(uGenel::Sheets[size_t(i)], scale()).center();
            moveTo(fKucukHarita->Image1, p);
            QCOMPARE(fKucukHarita->Image1->toolTip(), uGenel::Sheets[size_t(i)].num);
            const QPoint at = coords::overviewToStored(p, scale());
            QCOMPARE(fKucukHarita->StatusBar1->currentMessage(),
                     QString(" X:%1 Y:%2 Pafta=%3").arg(at.x()).arg(at.y()).arg(i));
        }
    }
};

QTEST_MAIN(TestOverviewLayers)
#include "test_overview_layers.moc"
