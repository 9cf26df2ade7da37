#include "data/connection.h"
#include "data/schema.h"
#include "framework/dataset.h"
#include "framework/dbedit.h"
#include "framework/dbgrid.h"
#include "framework/dblookupcombo.h"
#include "framework/dbnavigator.h"
#include "framework/errors.h"
#include "testsupport.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

// 300 places "Yer 1" … "Yer 300" on sheet 12, px = 10 × number, so row r is place r + 1.
// Types alternate Mahalle / Köy, except place 3, whose type "Bilinmez" is not in tipler.
struct PlacesFixture {
    PlacesFixture() : connection(QStringLiteral("ADOConnection1"))
    {
        const QString path = dir.filePath(QStringLiteral("yerler.db"));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("setup"));
            db.setDatabaseName(path);
            db.open();
            createSchema(db);
            QSqlQuery q(db);
            q.exec("with recursive n(i) as (select 1 union all select i + 1 from n where i < 300) "
                   "insert into harita (id, isim, tip, px, py, pafta) select i, 'Yer ' || i, "
                   "case when i = 3 then 'Bilinmez' when i % 2 = 0 then 'Köy' else 'Mahalle' end, "
                   "i * 10, i, '12' from n");
            q.exec("insert into tipler (ad) values ('Mahalle'), ('Köy'), ('Yayla')");
        }
        QSqlDatabase::removeDatabase(QStringLiteral("setup"));
        connection.open(path);
        places.setSql(QStringLiteral("select * from harita order by px"));
        places.open();
        types.setSql(QStringLiteral("select * from tipler order by ad"));
        types.open();
    }
    QVariant stored(int id, const QString &column)
    {
        QSqlQuery q(connection.database());
        q.exec(QStringLiteral("select %1 from harita where id = %2").arg(column).arg(id));
        return q.next() ? q.value(0) : QVariant(QStringLiteral("<no row>"));
    }

    QTemporaryDir dir;
    Connection connection;
    Dataset places{QStringLiteral("qHarita"), connection};
    Dataset types{QStringLiteral("qTip"), connection};
};

void retype(QLineEdit &edit, const QString &text)
{
    edit.selectAll();
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QTest::keyClicks(&edit, text);
}

} // namespace

class TestDbControls : public QObject {
    Q_OBJECT
private slots:
    void editShowsTheRowAndWritesWhatIsTyped()
    {
        PlacesFixture f;
        DBEdit name(f.places, "isim");
        name.show();
        QCOMPARE(name.text(), QString("Yer 1"));
        f.places.next();
        QCOMPARE(name.text(), QString("Yer 2"));

        QTest::keyClicks(&name, " Yeni");
        QCOMPARE(f.places.state(), Dataset::State::Edit);
        QCOMPARE(f.places.asString("isim"), QString("Yer 2")); // typed text waits for the save
        f.places.post();
        QCOMPARE(f.stored(2, "isim").toString(), QString("Yer 2 Yeni"));

        // Typed text is saved by the cursor rule too, before the move.
        QTest::keyClicks(&name, "!");
        f.places.next();
        QCOMPARE(f.stored(2, "isim").toString(), QString("Yer 2 Yeni!"));
        QCOMPARE(name.text(), QString("Yer 3"));

        // Hidden, it does not follow each move but is right when shown again.
        name.hide();
        f.places.last();
        name.show();
        QCOMPARE(name.text(), QString("Yer 300"));
    }

    void integerEditWritesThroughStrToInt_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("error");
        QTest::newRow("emptied") << "" << QVariant() << "";
        QTest::newRow("hexadecimal") << "$10" << QVariant(16) << "";
        QTest::newRow("not a number") << "12a" << QVariant(1) << "'12a' is not a valid integer value";
    }
    void integerEditWritesThroughStrToInt()
    {
        QFETCH(QString, typed);
        QFETCH(QVariant, stored);
        QFETCH(QString, error);
        PlacesFixture f;
        DBEdit py(f.places, "py");
        py.show();
        retype(py, typed);
        QCOMPARE(errorOf([&] { f.places.post(); }), error.isEmpty() ? QString("<no error>") : error);
        QCOMPARE(f.stored(1, "py").isNull(), stored.isNull());
        QCOMPARE(f.stored(1, "py").toInt(), stored.toInt());
        if (!error.isEmpty()) {
            QCOMPARE(f.places.state(), Dataset::State::Edit);
            QCOMPARE(py.text(), typed);
            QCOMPARE(errorOf([&] { f.places.next(); }), error); // the move is refused as well
            QCOMPARE(f.places.recNo(), 0);
        }
    }

    void typingSurvivesAnotherFieldBeingSet()
    {
        PlacesFixture f;
        DBEdit name(f.places, "isim");
        name.show();
        QTest::keyClicks(&name, "x");
        f.places.setValue("tip", "Yayla");
        QCOMPARE(name.text(), QString("Yer 1x"));
        f.places.post();
        QCOMPARE(f.stored(1, "isim").toString(), QString("Yer 1x"));
        QCOMPARE(f.stored(1, "tip").toString(), QString("Yayla"));
    }

    void lookupComboListsWritesAndShowsStrangers()
    {
        PlacesFixture f;
        DBLookupCombo combo(f.types, "ad", &f.places, "tip");
        combo.show();
        QCOMPARE(combo.count(), 3);
        QCOMPARE(combo.itemText(0), QString("Köy"));
        QCOMPARE(combo.currentText(), QString("Mahalle"));

        QSignalSpy changed(&f.places, &Dataset::dataChanged);
        combo.setValue("Mahalle"); // the same value writes nothing
        QCOMPARE(f.places.state(), Dataset::State::Browse);
        combo.setValue("Köy");
        QCOMPARE(f.places.asString("tip"), QString("Köy"));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toString(), QString("tip"));
        QCOMPARE(combo.currentText(), QString("Köy"));
        f.places.cancel();

        // A value outside the list is shown, not lost.
        f.places.moveTo(2);
        QCOMPARE(combo.currentIndex(), -1);
        QCOMPARE(combo.placeholderText(), QString("Bilinmez"));
        QCOMPARE(combo.value(), QString("Bilinmez"));

        // Choosing an item writes it.
        combo.setFocus();
        QTest::keyClick(&combo, Qt::Key_Down);
        QCOMPARE(f.places.state(), Dataset::State::Edit);
        QCOMPARE(f.places.asString("tip"), combo.currentText());

        DBLookupCombo lookupOnly(f.types, "ad");
        QCOMPARE(lookupOnly.value(), QString("*"));
        QCOMPARE(lookupOnly.count(), 3);
    }

    void navigatorActs()
    {
        PlacesFixture f;
        DBNavigator nav(f.places);
        QStringList names;
        for (QToolButton *b : nav.findChildren<QToolButton *>())
            names << b->objectName();
        QCOMPARE(names, QStringList({"First", "Prior", "Next", "Last", "Insert", "Delete", "Post", "Cancel", "Refresh"}));
        QVERIFY(!nav.button("First")->isEnabled());
        QVERIFY(!nav.button("Post")->isEnabled());

        DialogAnswerer answerer;
        answerer.answers << "Cancel";
        nav.remove();
        QCOMPARE(f.stored(1, "isim").toString(), QString("Yer 1"));
        answerer.answers << "OK";
        nav.remove();
        QCOMPARE(f.stored(1, "isim").toString(), QString("<no row>"));
        QCOMPARE(f.places.recordCount(), 299);
        QCOMPARE(answerer.texts, QStringList({"Delete record?", "Delete record?"}));

        nav.post();
        QCOMPARE(answerer.kinds.last(), QString("ErrorReport"));
        QCOMPARE(answerer.texts.last(), QString("qHarita: Dataset not in edit or insert mode."));

        QTest::mouseClick(nav.button("Insert"), Qt::LeftButton);
        QCOMPARE(f.places.state(), Dataset::State::Insert);
        QVERIFY(nav.button("Post")->isEnabled());
        // A refused save stays silent.
        f.places.beforePost = [](Dataset &) { throw Abort(); };
        const int reports = answerer.texts.size();
        QTest::mouseClick(nav.button("Post"), Qt::LeftButton);
        QCOMPARE(answerer.texts.size(), reports);
        QCOMPARE(f.places.state(), Dataset::State::Insert);
        QTest::mouseClick(nav.button("Cancel"), Qt::LeftButton);
        QCOMPARE(f.places.recordCount(), 299);
        QTest::mouseClick(nav.button("Last"), Qt::LeftButton);
        QCOMPARE(f.places.recNo(), 298);
    }

    void gridFollowsTheDatasetBothWays()
    {
        PlacesFixture f;
        DBGrid grid(f.places, {{"isim", 72}, {"tip", 31}, {"px"}});
        QAbstractItemModelTester tester(grid.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        grid.show();
        QAbstractItemModel *model = grid.model();
        QCOMPARE(model->rowCount(), 300); // all rows, not a first batch
        QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QString("tip"));
        QCOMPARE(grid.columnWidth(0), 72);
        QCOMPARE(model->index(299, 0).data().toString(), QString("Yer 300"));

        f.places.moveTo(5);
        QCOMPARE(grid.currentIndex().row(), 5);
        grid.setCurrentIndex(model->index(7, 0));
        QCOMPARE(f.places.recNo(), 7);

        // An edited cell is saved when the row is left.
        QVERIFY(model->setData(model->index(7, 0), "Yeni Yer"));
        QCOMPARE(f.places.state(), Dataset::State::Edit);
        grid.setCurrentIndex(model->index(8, 0));
        QCOMPARE(f.stored(8, "isim").toString(), QString("Yeni Yer"));
        QCOMPARE(f.places.recNo(), 8);

        // Enter in the cell editor saves the row.
        grid.activateWindow();
        grid.edit(model->index(8, 2));
        auto *editor = grid.viewport()->findChild<QLineEdit *>();
        QVERIFY(editor);
        retype(*editor, "95");
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(f.stored(9, "px").toInt(), 95); // the delegate commits from the event loop
        QCOMPARE(f.places.state(), Dataset::State::Browse);

        // A refused save keeps the grid on the edited row.
        f.places.beforePost = [](Dataset &) { throw Abort(); };
        QVERIFY(model->setData(model->index(8, 0), "Geri"));
        grid.setCurrentIndex(model->index(9, 0));
        QCOMPARE(f.places.recNo(), 8);
        QTRY_COMPARE(grid.currentIndex().row(), 8);
        QCOMPARE(model->index(8, 0).data().toString(), QString("Geri"));
        QCOMPARE(model->headerData(8, Qt::Vertical).toString(), QString("I"));

        f.places.beforePost = nullptr;
        f.places.cancel();
        f.places.append();
        QCOMPARE(model->rowCount(), 301);
        QCOMPARE(grid.currentIndex().row(), 300);
        f.places.cancel();
        QCOMPARE(model->rowCount(), 300);
        QCOMPARE(grid.currentIndex().row(), 8);
    }

    // A grid's cell editor closed with Enter and no change ends the row's edit; text typed
    // into another control of the row is part of that edit and is saved, not dropped.
    void gridEditorClosedUnchangedSavesTextTypedElsewhere()
    {
        PlacesFixture f;
        DBEdit name(f.places, "isim");
        DBGrid grid(f.places, {{"px"}});
        name.show();
        grid.show();
        QTest::keyClicks(&name, " Yeni");
        grid.activateWindow();
        grid.edit(grid.model()->index(0, 0));
        auto *editor = grid.viewport()->findChild<QLineEdit *>();
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(f.places.state(), Dataset::State::Browse);
        QCOMPARE(f.stored(1, "isim").toString(), QString("Yer 1 Yeni"));
        QCOMPARE(name.text(), QString("Yer 1 Yeni"));
    }

    // F5 in a grid whose row could not be saved because another changed it reads the row again
    // under the typed value, which the next Enter saves.
    void gridF5KeepsAnEditRefusedAsChangedByAnother()
    {
        PlacesFixture f;
        DBGrid grid(f.places, {{"isim"}, {"py"}});
        grid.show();
        DialogAnswerer answerer;
        QAbstractItemModel *model = grid.model();
        QVERIFY(model->setData(model->index(0, 0), "Yeni Yer"));
        QSqlQuery(f.connection.database()).exec("update harita set py = 99 where id = 1");
        QTest::keyClick(&grid, Qt::Key_Return);
        QCOMPARE(answerer.texts.size(), 1);
        QTest::keyClick(&grid, Qt::Key_F5);
        QCOMPARE(answerer.texts.size(), 2);
        QVERIFY2(answerer.texts[1].contains("yazdıklarınız yerinde kaldı"), qPrintable(answerer.texts[1]));
        QCOMPARE(model->index(0, 0).data().toString(), QString("Yeni Yer"));
        QCOMPARE(model->index(0, 1).data().toString(), QString("99"));
        QTest::keyClick(&grid, Qt::Key_Return);
        QCOMPARE(f.places.state(), Dataset::State::Browse);
        QCOMPARE(f.stored(1, "isim").toString(), QString("Yeni Yer"));
        QCOMPARE(f.stored(1, "py").toInt(), 99);
    }
};

QTEST_MAIN(TestDbControls)
#include "test_dbcontrols.moc"
