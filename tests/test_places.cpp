#include "app/uGenel.h"
#include "framework/quit.h"
#include "framework/dataset.h"
#include "framework/dbedit.h"
#include "framework/dblookupcombo.h"
#include "framework/dbnavigator.h"
#include "framework/dbgrid.h"
#include "map/coords.h"
#include "map/uHarita.h"
#include "places/statements.h"
#include "places/uBilgigir.h"
#include "places/uOnaySor.h"
#include "testsupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QToolButton>

namespace {

// Runs statements on the region's database from outside the program.
QVariant sql(const TempRegion &r, const QString &statement)
{
    QVariant result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "outside");
        db.setDatabaseName(r.dir() + "harita.sqlite");
        db.open();
        QSqlQuery q(db);
        if (!q.exec(statement))
            qFatal("%s", qPrintable(statement));
        if (q.next())
            result = q.value(0);
    }
    QSqlDatabase::removeDatabase("outside");
    return result;
}

// A place of type "Köy"; a null sheet where sheet is a null string.
void addPlace(const TempRegion &r, const QString &name, int px, int py, const QString &sheet)
{
    sql(r, QString("insert into harita (isim, tip, px, py, pafta) values (%1, 'Köy', %2, %3, %4)")
               .arg(statements::quoted(name))
               .arg(px)
               .arg(py)
               .arg(sheet.isNull() ? QString("null") : statements::quoted(sheet)));
}

int placeCount(const TempRegion &r)
{
    return sql(r, "select count(*) from harita").toInt();
}

void search(const QString &text)
{
    fHarita->edAra->setText(text);
    QTest::keyClick(fHarita->edAra, Qt::Key_Return);
}

// Overlay pixel drawn (not see-through) in the view.
bool marked(QPoint view)
{
    return qAlpha(fHarita->Image2->picture().pixel(view)) != 0;
}

bool ringAround(QPoint view)
{
    return marked(view + QPoint(10, 0)) && !marked(view);
}

// In add mode, brings up the entry window on the only stored place: a new place begun away
// from it and given up with the navigator's Cancel leaves the window on it.
void showStoredPlace()
{
    clickAt(fHarita->Image2, QPoint(300, 300));
    QTest::mouseClick(fBilgigir->DBNavigator1->button("Cancel"), Qt::LeftButton);
    QCOMPARE(fHarita->qHarita->state(), Dataset::State::Browse);
}

} // namespace

class TestPlaces : public QObject {
    Q_OBJECT
private slots:
    void searchJumpsToEachResult()
    {
        TempRegion r;
        const QString last = r.region.sheetNumbers.last();
        sql(r, "delete from harita where isim like '%Kara%'");
        addPlace(r, "Karaağaç", 300, 200, last);
        addPlace(r, "Karaca", 500, 400, r.region.sheetNumbers.first());
        addPlace(r, "Karabük", 700, 10, QString());
        addPlace(r, "Karapınar", 800, 10, "YOK");
        RunningZemira z(r.dir());
        fHarita->show();

        search("kara");
        QCOMPARE(fHarita->Memo1->toPlainText(),
                 QString("SELECT * FROM harita WHERE tip LIKE '%'  AND isim LIKE '%kara%'  ORDER BY PX"));
        QCOMPARE(fHarita->qAra->recordCount(), 4);
        QCOMPARE(fHarita->DBGrid1->model()->rowCount(), 4);
        // The first row, the smallest px, on the last sheet: loaded, centred, ringed.
        QCOMPARE(fHarita->Label3->text(), last);
        const QSize view = fHarita->ScrollBox1->size();
        QCOMPARE(fHarita->Image1->pos(), coords::centringOffset(view, QPoint(300, 200)));
        QCOMPARE(fHarita->Image3->pos(), QPoint(view.width() / 2 - 10, view.height() / 2 - 10));
        QCOMPARE(fHarita->Label1->text(), coords::readout(view.width() / 2, view.height() / 2));

        // Down the grid: the next place, on the first sheet.
        fHarita->DBGrid1->setFocus();
        QTest::keyClick(fHarita->DBGrid1, Qt::Key_Down);
        QCOMPARE(fHarita->qAra->recNo(), 1);
        QCOMPARE(fHarita->Label3->text(), r.region.sheetNumbers.first());
        QCOMPARE(fHarita->Image1->pos(), coords::centringOffset(view, QPoint(500, 400)));
        // A row without a sheet, and one whose sheet is unknown, leave the map where it is.
        const QPoint before = fHarita->Image1->pos();
        QTest::keyClick(fHarita->DBGrid1, Qt::Key_Down);
        QTest::keyClick(fHarita->DBGrid1, Qt::Key_Down);
        QCOMPARE(fHarita->qAra->recNo(), 3);
        QCOMPARE(fHarita->Image1->pos(), before);

        // Nothing found: the map stays.
        search("zzz-yok");
        QCOMPARE(fHarita->qAra->recordCount(), 0);
        QCOMPARE(fHarita->Image1->pos(), before);

        // Clicking "Ara" does what Enter does, and reads the database again.
        addPlace(r, "Karakuş", 5, 5, last);
        fHarita->edAra->setText("kara");
        QTest::mouseClick(fHarita->Button1, Qt::LeftButton);
        QCOMPARE(fHarita->qAra->recordCount(), 5);
        QCOMPARE(fHarita->qAra->asString("isim"), QString("Karakuş"));
    }

    // What a Turkish user types finds what they mean.
    void turkishSearch_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("found");
        QTest::newRow("dotless and dotted i") << "USKUDAR" << "Üsküdar";
        QTest::newRow("s cedilla") << "sile" << "Şile";
        QTest::newRow("c cedilla, dotless i") << "CAMLICA" << "Çamlıca";
        QTest::newRow("capital dotted I") << "İğdir" << "Iğdır";
        QTest::newRow("quote") << "Hacı'nın" << "Hacı'nın Çiftliği";
    }
    void turkishSearch()
    {
        QFETCH(QString, typed);
        QFETCH(QString, found);
        TempRegion r;
        addPlace(r, found, 1, 1, "x");
        RunningZemira z(r.dir());
        search(typed);
        QCOMPARE(fHarita->qAra->recordCount(), 1);
        QCOMPARE(fHarita->qAra->asString("isim"), found);
    }

    void addModeMarksAddsAndRemembers()
    {
        TempRegion r;
        const QString first = r.region.sheetNumbers.first();
        sql(r, "delete from harita");
        addPlace(r, "Akköy", 100, 100, first);
        addPlace(r, "Başka", 200, 100, r.region.sheetNumbers.last());
        RunningZemira z(r.dir());
        fHarita->show();
        DialogAnswerer answerer;

        QTest::mouseClick(fHarita->Button4, Qt::LeftButton); // add mode on
        QVERIFY(fHarita->AddMode);
        QVERIFY(ringAround(QPoint(100, 100)));
        QCOMPARE(fHarita->Image2->picture().pixelColor(110, 100), QColor(0, 128, 0));
        QVERIFY(!ringAround(QPoint(200, 100))); // a place of another sheet

        // Near a stored place: the dialog names it; "Vazgeç" adds nothing but moves the marker.
        answerer.answers = QStringList{"Vazgeç"};
        QString named;
        answerer.onDialog = [&](QWidget *) { named = fOnaySor->Label2->text() + "/" + fOnaySor->Label3->text(); };
        clickAt(fHarita->Image2, QPoint(110, 90)); // a corner of the square: r away in both directions
        QCOMPARE(named, QString("Köy/Akköy"));
        QCOMPARE(fHarita->qHarita->state(), Dataset::State::Browse);
        QCOMPARE(fHarita->Image3->pos(), QPoint(100, 80));

        // One pixel further: nothing near, a new place begins with the click and the sheet.
        named.clear();
        clickAt(fHarita->Image2, QPoint(111, 100));
        QVERIFY(named.isEmpty());
        QCOMPARE(fHarita->qHarita->state(), Dataset::State::Insert);
        QVERIFY(fBilgigir->isVisible());
        QCOMPARE(fBilgigir->DBEdit1->text(), QString("111"));
        QCOMPARE(fBilgigir->DBEdit2->text(), QString("100"));
        QCOMPARE(fBilgigir->DBEdit3->text(), first);
        QCOMPARE(fBilgigir->JvDBLookupCombo1->value(), QString()); // no type chosen yet this run

        fBilgigir->JvDBLookupCombo1->setCurrentText("Mahalle");
        fBilgigir->JvDBLookupCombo1->activated(fBilgigir->JvDBLookupCombo1->currentIndex());
        QCOMPARE(uGenel::LastPlaceType, QString("Mahalle"));
        QTest::keyClicks(fBilgigir->DBEdit4, "Yenimahalle");
        QTest::keyClick(fBilgigir->DBEdit4, Qt::Key_Return);
        QCOMPARE(placeCount(r), 3);
        QCOMPARE(sql(r, "select tip || '/' || isim || '/' || pafta from harita where px = 111").toString(),
                 "Mahalle/Yenimahalle/" + first);
        QVERIFY(ringAround(QPoint(111, 100))); // redrawn after the save
        QCOMPARE(fHarita->qHarita->recNo(), fHarita->qHarita->recordCount() - 1);

        // Enter again: nothing is being edited.
        QTest::keyClick(fBilgigir->DBEdit4, Qt::Key_Return);
        QCOMPARE(answerer.texts.last(), QString("qHarita: Dataset not in edit or insert mode."));

        // The next place starts with the type chosen last; emptied px is never saved.
        clickAt(fHarita->Image2, QPoint(400, 300));
        QCOMPARE(fBilgigir->JvDBLookupCombo1->value(), QString("Mahalle"));
        fBilgigir->DBEdit1->clear();
        QTest::keyClicks(fBilgigir->DBEdit1, " ");
        fBilgigir->DBEdit1->clear();
        QTest::keyClick(fBilgigir->DBEdit4, Qt::Key_Return);
        QCOMPARE(placeCount(r), 3);
        QCOMPARE(fHarita->qHarita->state(), Dataset::State::Insert);
        // A click now must save it first: refused, so the click neither adds nor moves the marker.
        const QPoint marker = fHarita->Image3->pos();
        clickAt(fHarita->Image2, QPoint(600, 300));
        QCOMPARE(fHarita->Image3->pos(), marker);
        QCOMPARE(fHarita->qHarita->state(), Dataset::State::Insert);

        // Add mode off leaves the row in editing; once it has px, Enter saves it and rings it.
        QTest::mouseClick(fHarita->Button4, Qt::LeftButton);
        QVERIFY(!ringAround(QPoint(100, 100)));
        QTest::keyClicks(fBilgigir->DBEdit1, "400");
        QTest::keyClick(fBilgigir->DBEdit4, Qt::Key_Return);
        QCOMPARE(placeCount(r), 4);
        QVERIFY(ringAround(QPoint(400, 300)));
    }

    // A place is ringed while its centre is on the overlay, edges included.
    void markingEdges_data()
    {
        QTest::addColumn<int>("px");
        QTest::addColumn<int>("ringX");
        QTest::addColumn<bool>("drawn");
        QTest::newRow("left edge") << 0 << 10 << true;
        QTest::newRow("one left of it") << -1 << 9 << false;
        QTest::newRow("right edge") << 740 << 730 << true;
        QTest::newRow("one right of it") << 741 << 731 << false;
    }
    void markingEdges()
    {
        QFETCH(int, px);
        QFETCH(int, ringX);
        QFETCH(bool, drawn);
        TempRegion r;
        sql(r, "delete from harita");
        addPlace(r, "Kenar", px, 300, r.region.sheetNumbers.first());
        RunningZemira z(r.dir());
        fHarita->show();
        QCOMPARE(fHarita->Image2->width(), 740);
        QTest::mouseClick(fHarita->Button4, Qt::LeftButton);
        QCOMPARE(marked(QPoint(ringX, 300)), drawn);
    }

    // px is read as an integer: a legacy text value ends the pass with the conversion's
    // error (the place before it still ringed); values at the range's ends are off the overlay.
    void markingReadsIntegers_data()
    {
        QTest::addColumn<QString>("px");
        QTest::addColumn<QString>("report");
        QTest::newRow("legacy text") << "'yüz'" << "'yüz' is not a valid integer value.";
        QTest::newRow("start of the range") << "-2147483648" << QString();
        QTest::newRow("end of the range") << "2147483647" << QString();
    }
    void markingReadsIntegers()
    {
        QFETCH(QString, px);
        QFETCH(QString, report);
        TempRegion r;
        const QString first = r.region.sheetNumbers.first();
        sql(r, "delete from harita");
        addPlace(r, "Önce", 100, 300, first);
        sql(r, QString("insert into harita (isim, tip, px, py, pafta) values ('Uç', 'Köy', %1, 0, '%2')").arg(px, first));
        RunningZemira z(r.dir());
        fHarita->show();
        DialogAnswerer answerer;
        QTest::mouseClick(fHarita->Button4, Qt::LeftButton);
        QCOMPARE(answerer.texts, report.isEmpty() ? QStringList() : QStringList{report});
        QVERIFY(ringAround(QPoint(100, 300)));
        QVERIFY(!marked(QPoint(10, 0)));
    }

    // The sheet scrolled 100 px left: the pass still reads exactly the places that land on
    // the overlay, a fraction counting where it rounds to. "" is a sheet with no places.
    void markingScrolledSheet_data()
    {
        QTest::addColumn<QString>("px");
        QTest::addColumn<int>("ringX");
        QTest::addColumn<bool>("drawn");
        QTest::newRow("left edge") << "100" << 10 << true;
        QTest::newRow("one left of it") << "99" << 9 << false;
        QTest::newRow("right edge") << "840" << 730 << true;
        QTest::newRow("one right of it") << "841" << 731 << false;
        QTest::newRow("a fraction rounded onto the edge") << "840.4" << 730 << true;
        QTest::newRow("a fraction rounded beyond it") << "841.4" << 731 << false;
        QTest::newRow("no places") << "" << 10 << false;
    }
    void markingScrolledSheet()
    {
        QFETCH(QString, px);
        QFETCH(int, ringX);
        QFETCH(bool, drawn);
        TempRegion r;
        const QString first = r.region.sheetNumbers.first();
        sql(r, "delete from harita");
        if (!px.isEmpty())
            sql(r, QString("insert into harita (isim, px, py, pafta) values ('Kenar', %1, 300, '%2')").arg(px, first));
        RunningZemira z(r.dir());
        fHarita->show();
        fHarita->TrackBar1->setValue(100);
        QCOMPARE(fHarita->Image1->x(), -100);
        QTest::mouseClick(fHarita->Button4, Qt::LeftButton);
        QCOMPARE(marked(QPoint(ringX, 300)), drawn);
        if (px.isEmpty()) {
            const QImage overlay = fHarita->Image2->picture().convertToFormat(QImage::Format_ARGB32);
            int drawnPixels = 0;
            for (int y = 0; y < overlay.height(); ++y)
                for (int x = 0; x < overlay.width(); ++x)
                    drawnPixels += qAlpha(overlay.pixel(x, y)) != 0;
            QCOMPARE(drawnPixels, 0);
        }
    }

    void addAnywayNearAStoredPlace()
    {
        TempRegion r;
        const QString first = r.region.sheetNumbers.first();
        sql(r, "delete from harita");
        addPlace(r, "Akköy", 100, 100, first);
        addPlace(r, "Öteki", 300, 300, r.region.sheetNumbers.last());
        RunningZemira z(r.dir());
        fHarita->show();
        DialogAnswerer answerer;
        QTest::mouseClick(fHarita->Button4, Qt::LeftButton);
        // A stored place of another sheet at the click is not near.
        clickAt(fHarita->Image2, QPoint(300, 300));
        QCOMPARE(answerer.kinds, QStringList());
        QCOMPARE(fHarita->qHarita->state(), Dataset::State::Insert);
        fHarita->qHarita->cancel();
        answerer.answers = QStringList{"Kayıt Ekle"};
        clickAt(fHarita->Image2, QPoint(105, 105));
        QCOMPARE(answerer.kinds, QStringList{"fOnaySor"});
        QCOMPARE(fHarita->qHarita->state(), Dataset::State::Insert);
        QCOMPARE(fBilgigir->DBEdit1->text(), QString("105"));
    }

    // The check also finds the places of the adjoining sheets within the radius, in region
    // pixels, and lists them with their sheet numbers; the labels name the sheet's own first.
    void nearbyAcrossSheetEdges_data()
    {
        QTest::addColumn<QPoint>("origin"); // of the sheet the place is planted on
        QTest::addColumn<QPoint>("place");
        QTest::addColumn<QPoint>("click"); // on the first sheet, at (0, 0)
        QTest::addColumn<bool>("own");     // a place of the first sheet at the click too
        QTest::addColumn<bool>("listed");
        QTest::newRow("right, across the edge") << QPoint(900, 0) << QPoint(3, 100) << QPoint(893, 100) << false << true;
        QTest::newRow("right, beyond the radius") << QPoint(900, 0) << QPoint(3, 100) << QPoint(892, 100) << false << false;
        QTest::newRow("below") << QPoint(0, 700) << QPoint(50, 0) << QPoint(60, 690) << false << true;
        QTest::newRow("diagonal, the window's corner") << QPoint(900, 700) << QPoint(0, 0) << QPoint(890, 690) << false << true;
        QTest::newRow("diagonal, one further") << QPoint(900, 700) << QPoint(0, 0) << QPoint(890, 689) << false << false;
        QTest::newRow("the sheet's own place too") << QPoint(900, 0) << QPoint(3, 100) << QPoint(893, 100) << true << true;
        QTest::newRow("the sheet's own place alone") << QPoint(900, 0) << QPoint(30, 100) << QPoint(893, 100) << true << false;
    }
    void nearbyAcrossSheetEdges()
    {
        QFETCH(QPoint, origin);
        QFETCH(QPoint, place);
        QFETCH(QPoint, click);
        QFETCH(bool, own);
        QFETCH(bool, listed);
        TempRegion r;
        const QString first = r.region.sheetNumbers.first();
        const QString other =
            sql(r, QString("select num from pafta where px0 = %1 and py0 = %2").arg(origin.x()).arg(origin.y())).toString();
        QVERIFY(!other.isEmpty());
        sql(r, "delete from harita");
        addPlace(r, "Öte", place.x(), place.y(), other);
        if (own)
            addPlace(r, "Kendi", click.x(), click.y(), first);
        RunningZemira z(r.dir());
        DialogAnswerer answerer;
        answerer.answers = QStringList{"Vazgeç"};
        QString named;
        QStringList list;
        answerer.onDialog = [&](QWidget *) {
            named = fOnaySor->Label3->text();
            if (fOnaySor->ListBox1->isVisibleTo(fOnaySor))
                for (int i = 0; i < fOnaySor->ListBox1->count(); ++i)
                    list << fOnaySor->ListBox1->item(i)->text();
        };
        QCOMPARE(fHarita->CheckNearbyPlace(first, click.x(), click.y()), own || listed);
        QCOMPARE(named, own ? "Kendi" : listed ? "Öte" : "");
        QCOMPARE(list, listed ? QStringList{other + " : Köy, Öte"} : QStringList());
    }

    // Ending the program with a changed, unsaved place asks first, also when the change is
    // only text typed into the name of a stored place, and whichever way the program is ended.
    void unsavedPlaceOnExit_data()
    {
        QTest::addColumn<bool>("stored");
        QTest::addColumn<bool>("closeWindow");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("ends");
        QTest::addColumn<QString>("names");
        QTest::newRow("new, Evet saves") << false << false << "Evet" << true << "Yeni";
        QTest::newRow("new, Hayır drops") << false << false << "Hayır" << true << "";
        QTest::newRow("new, İptal keeps working") << false << false << "İptal" << false << "";
        QTest::newRow("stored, window closed, Evet saves") << true << true << "Evet" << true << "Akköy Yayla";
        QTest::newRow("stored, Hayır drops") << true << false << "Hayır" << true << "Akköy";
        QTest::newRow("stored, window closed, İptal keeps working") << true << true << "İptal" << false << "Akköy";
    }
    void unsavedPlaceOnExit()
    {
        QFETCH(bool, stored);
        QFETCH(bool, closeWindow);
        QFETCH(QString, answer);
        QFETCH(bool, ends);
        QFETCH(QString, names);
        TempRegion r;
        sql(r, "delete from harita");
        if (stored)
            addPlace(r, "Akköy", 100, 100, r.region.sheetNumbers.first());
        RunningZemira z(r.dir());
        fHarita->show();
        DialogAnswerer answerer;
        QTest::mouseClick(fHarita->Button4, Qt::LeftButton);
        if (stored) {
            showStoredPlace();
            QTest::keyClick(fBilgigir->DBEdit4, Qt::Key_End);
            QTest::keyClicks(fBilgigir->DBEdit4, " Yayla");
        } else {
            clickAt(fHarita->Image2, QPoint(50, 60));
            QTest::keyClicks(fBilgigir->DBEdit4, "Yeni");
        }
        answerer.answers = QStringList{answer};
        if (closeWindow)
            fHarita->close();
        else
            QTest::mouseClick(fHarita->Button7, Qt::LeftButton);
        QCOMPARE(answerer.texts, QStringList{"Kaydedilmemiş bir yer bilgisi var. Kaydedilsin mi?"});
        QCOMPARE(quitRequested(), ends);
        QCOMPARE(sql(r, "select group_concat(isim) from harita").toString(), names);
        QCOMPARE(fHarita->qHarita->isEditing(), !ends);
    }

    // A px that is not a number, typed into a stored place, stops the ending with the
    // conversion error instead of being dropped unasked.
    void badNumberTypedStopsTheEnd()
    {
        TempRegion r;
        sql(r, "delete from harita");
        addPlace(r, "Akköy", 100, 100, r.region.sheetNumbers.first());
        RunningZemira z(r.dir());
        fHarita->show();
        DialogAnswerer answerer;
        QTest::mouseClick(fHarita->Button4, Qt::LeftButton);
        showStoredPlace();
        fBilgigir->DBEdit1->selectAll();
        QTest::keyClicks(fBilgigir->DBEdit1, "x");
        QTest::mouseClick(fHarita->Button7, Qt::LeftButton);
        QCOMPARE(answerer.kinds, QStringList{"ErrorReport"});
        QVERIFY2(answerer.texts[0].contains("'x'"), qPrintable(answerer.texts[0]));
        QVERIFY(!quitRequested());
        QCOMPARE(fBilgigir->DBEdit1->text(), QString("x"));
        QCOMPARE(fHarita->qHarita->state(), Dataset::State::Edit);
    }

    // A new name typed for a stored place is saved: over a name kept in a legacy code page, and,
    // after another changed or deleted the row meanwhile, once Refresh has read it again.
    void renamingAStoredPlace_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QString>("refreshSays"); // the part of Refresh's message that shows the other's work
        QTest::addColumn<QString>("stored");
        QTest::newRow("legacy bytes") << "update harita set isim = cast(x'416b6bf679' as text), "
                                         "tip = cast(x'4bf679' as text)"
                                      << "" << "" << "Yayla/100/4BF679";
        QTest::newRow("changed meanwhile") << "" << "update harita set py = 77, isim = 'Ak'"
                                           << "başka birinin kaydettiği değerler:\nisim: \"Ak\"\n"
                                           << "Yayla/77/4BC3B679";
        QTest::newRow("deleted meanwhile") << "" << "delete from harita" << "başka biri tarafından silinmiş"
                                           << "Yayla/100/4BC3B679";
    }
    void renamingAStoredPlace()
    {
        QFETCH(QString, before);
        QFETCH(QString, meanwhile);
        QFETCH(QString, refreshSays);
        QFETCH(QString, stored);
        TempRegion r;
        sql(r, "delete from harita");
        addPlace(r, "Akköy", 100, 100, r.region.sheetNumbers.first());
        if (!before.isEmpty())
            sql(r, before);
        RunningZemira z(r.dir());
        fHarita->show();
        DialogAnswerer answerer;
        QTest::mouseClick(fHarita->Button4, Qt::LeftButton);
        showStoredPlace();
        fBilgigir->DBEdit4->selectAll();
        QTest::keyClicks(fBilgigir->DBEdit4, "Yayla");
        if (!meanwhile.isEmpty()) {
            sql(r, meanwhile);
            QTest::keyClick(fBilgigir->DBEdit4, Qt::Key_Return);
            QCOMPARE(answerer.texts.size(), 1);
            QVERIFY2(answerer.texts[0].contains("kaydın şimdiki hâlini okuyun, yazdıklarınız yerinde kalır"),
                     qPrintable(answerer.texts[0]));
            QCOMPARE(fBilgigir->DBEdit4->text(), QString("Yayla"));
            QTest::mouseClick(fBilgigir->DBNavigator1->button("Refresh"), Qt::LeftButton);
            QCOMPARE(answerer.texts.size(), 2);
            QVERIFY2(answerer.texts[1].contains(refreshSays), qPrintable(answerer.texts[1]));
            QCOMPARE(fBilgigir->DBEdit4->text(), QString("Yayla"));
            QCOMPARE(fBilgigir->DBEdit2->text(), stored.section('/', 1, 1));
        }
        QTest::keyClick(fBilgigir->DBEdit4, Qt::Key_Return);
        QCOMPARE(answerer.texts.size(), meanwhile.isEmpty() ? 0 : 2);
        QCOMPARE(fHarita->qHarita->state(), Dataset::State::Browse);
        QCOMPARE(sql(r, "select group_concat(isim || '/' || py || '/' || hex(tip)) from harita").toString(), stored);
    }
};

QTEST_MAIN(TestPlaces)
#include "test_places.moc"
