// The place dataset read a page at a time: it walks the rows a whole snapshot would hold,
// in px order, across page boundaries, on SQLite and PostgreSQL; rows added stay last until
// a refresh; the optimistic lock holds when other pages were read meanwhile; the indexes
// are made where the data set can be written, and everything still works where it cannot.
// A search read by pages walks exactly the rows and order of the statement read whole.
#include "data/connection.h"
#include "data/postgres.h"
#include "data/schema.h"
#include "data/searchindex.h"
#include "framework/dataset.h"
#include "framework/dataset_pages.h"
#include "framework/dataset_write.h"
#include "pgtestsupport.h"
#include "places/statements.h"
#include "testsupport.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

namespace {

const QString kPlaces = QStringLiteral("select * from harita order by px");

struct Place {
    qlonglong id;
    QVariant px;
};

// A data set of its own: an SQLite file, or the scratch PostgreSQL database emptied.
class Store {
public:
    explicit Store(bool postgres, bool indexes = true) : m_postgres(postgres)
    {
        QSqlDatabase db;
        if (postgres) {
            const QString error = pg().exec({QStringLiteral("drop database if exists %1 with (force)").arg(pg().name()),
                                             QStringLiteral("create database %1").arg(pg().name())});
            if (!error.isEmpty())
                qFatal("%s", qPrintable(error));
            db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("fill"));
            configurePostgres(db, pg().uri());
            target = pg().uri();
        } else {
            target = m_dir.filePath(QStringLiteral("harita.sqlite"));
            db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
            db.setDatabaseName(target);
        }
        if (!db.open())
            qFatal("cannot open the test data set");
        createSchema(db);
        if (!indexes)
            exec(db, {QStringLiteral("drop index harita_pafta"), QStringLiteral("drop index harita_sira")});
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("fill"));
    }

    static PgScratchDatabase &pg()
    {
        static PgScratchDatabase scratch;
        static const QString error = scratch.create(QStringLiteral("placepages"));
        if (!error.isEmpty())
            qFatal("%s", qPrintable(error));
        return scratch;
    }

    static void exec(QSqlDatabase db, const QStringList &statements)
    {
        QSqlQuery q(db);
        for (const QString &s : statements)
            if (!q.exec(s))
                qFatal("%s: %s", qPrintable(s), qPrintable(q.lastError().text()));
    }

    // n places on sheet '1': px has ties (97 values) and every 400th is null.
    static void fill(QSqlDatabase db, int n)
    {
        db.transaction();
        QSqlQuery q(db);
        q.prepare(QStringLiteral("insert into harita (isim, px, py, pafta) values (?, ?, ?, '1')"));
        for (int i = 0; i < n; ++i) {
            q.addBindValue(QStringLiteral("Yer %1").arg(i));
            q.addBindValue(i % 400 == 7 ? QVariant() : QVariant((i * 37) % 97));
            q.addBindValue(i);
            if (!q.exec())
                qFatal("%s", qPrintable(q.lastError().text()));
        }
        db.commit();
    }

    // Every place in the order the dataset must walk them, worked out here by hand.
    std::vector<Place> expected(Connection &c) const
    {
        std::vector<Place> all;
        QSqlQuery q(c.database());
        q.exec(QStringLiteral("select id, px from harita"));
        while (q.next())
            all.push_back({q.value(0).toLongLong(), q.value(1)});
        const bool nullsFirst = !m_postgres;
        std::sort(all.begin(), all.end(), [&](const Place &a, const Place &b) {
            if (a.px.isNull() != b.px.isNull())
                return a.px.isNull() == nullsFirst;
            if (!a.px.isNull() && a.px.toInt() != b.px.toInt())
                return a.px.toInt() < b.px.toInt();
            return a.id < b.id;
        });
        return all;
    }

    QString target;

private:
    bool m_postgres;
    QTemporaryDir m_dir;
};

struct PagedPlaces {
    PagedPlaces(const Store &store, const QString &name = QStringLiteral("ADOConnection1"))
        : connection(name), q(QStringLiteral("qHarita"), connection)
    {
        connection.open(store.target);
        q.setSql(kPlaces);
        q.setPagedOrder(QStringLiteral("px"));
    }
    qlonglong id() const { return q.value(QStringLiteral("id")).toLongLong(); }
    Connection connection;
    Dataset q;
};

// The search dataset as the window sets it up for a name fragment.
void setSearch(Connection &c, Dataset &q, const QString &name)
{
    const QString narrowing = c.isPostgres() ? QString() : searchindex::narrowing(c.database(), '%' + name + '%');
    q.setSql(statements::search({}, {}, name, narrowing));
    q.setPagedOrder(QStringLiteral("px"), statements::searchCondition({}, {}, name, narrowing));
}

std::vector<qlonglong> walk(Dataset &q)
{
    std::vector<qlonglong> ids;
    for (q.first(); !q.eof(); q.next())
        ids.push_back(q.value(QStringLiteral("id")).toLongLong());
    return ids;
}

// What the search finds, in px order and then the key's, as worked out by hand.
std::vector<qlonglong> found(const Store &store, Connection &c, const QString &name)
{
    QSqlQuery q(c.database());
    q.exec(statements::search({}, {}, name).replace(QStringLiteral("SELECT *"), QStringLiteral("SELECT id")));
    QSet<qlonglong> matching;
    while (q.next())
        matching.insert(q.value(0).toLongLong());
    std::vector<qlonglong> ids;
    for (const Place &place : store.expected(c))
        if (matching.contains(place.id))
            ids.push_back(place.id);
    return ids;
}

void addDrivers(bool withRows = true)
{
    QTest::addColumn<bool>("postgres");
    if (withRows) {
        QTest::newRow("SQLite") << false;
        QTest::newRow("PostgreSQL") << true;
    }
}

} // namespace

class TestPlacePages : public QObject {
    Q_OBJECT
private slots:
    void walksEveryRowInPxOrder_data()
    {
        addDrivers(false);
        QTest::addColumn<int>("rows");
        for (const bool pg : {false, true})
            for (const int n : {0, 1, RowPages::kPageRows, RowPages::kPageRows + 1, 2345})
                QTest::addRow("%s, %d rows", pg ? "PostgreSQL" : "SQLite", n) << pg << n;
    }
    void walksEveryRowInPxOrder()
    {
        QFETCH(bool, postgres);
        QFETCH(int, rows);
        Store store(postgres);
        PagedPlaces p(store);
        Store::fill(p.connection.database(), rows);
        p.q.open();
        const std::vector<Place> order = store.expected(p.connection);
        QCOMPARE(p.q.recordCount(), rows);
        QCOMPARE(p.q.eof(), rows == 0);

        std::vector<qlonglong> forward, backward, want;
        for (const Place &place : order)
            want.push_back(place.id);
        for (p.q.first(); !p.q.eof(); p.q.next())
            forward.push_back(p.id());
        QCOMPARE(forward, want);
        for (p.q.last(); !p.q.bof(); p.q.prior())
            backward.insert(backward.begin(), p.id());
        QCOMPARE(backward, want);

        for (const int row : {rows / 2, rows - 1, 0}) {
            if (row < 0 || row >= rows)
                continue;
            p.q.moveTo(row);
            QCOMPARE(p.id(), want[std::size_t(row)]);
            QCOMPARE(p.q.isNull("px"), order[std::size_t(row)].px.isNull());
            p.q.first();
            QVERIFY(p.q.locate("id", want[std::size_t(row)]));
            QCOMPARE(p.q.recNo(), row);
        }
        QVERIFY(!p.q.locate("id", -5));
        QVERIFY(p.q.snapshotBytes() < 1000u * 200u);
    }

    // A place added stays after the others, as in a snapshot, across page reads, until a
    // refresh puts it in its px place, the cursor still on it.
    void addedRowsStayLastUntilRefresh_data() { addDrivers(); }
    void addedRowsStayLastUntilRefresh()
    {
        QFETCH(bool, postgres);
        Store store(postgres);
        PagedPlaces p(store);
        const int n = RowPages::kPageRows + 500;
        Store::fill(p.connection.database(), n);
        p.q.open();
        const std::vector<Place> order = store.expected(p.connection);

        p.q.moveTo(10);
        p.q.append();
        p.q.setValue("px", 5);
        p.q.setValue("pafta", "1");
        QCOMPARE(p.q.recordCount(), n + 1);
        p.q.post();
        const qlonglong added = p.id();
        QCOMPARE(p.q.recNo(), n);
        QCOMPARE(p.q.recordCount(), n + 1);
        p.q.prior();
        QCOMPARE(p.id(), order.back().id);
        p.q.first();
        p.q.last();
        QCOMPARE(p.id(), added);

        // Cancelled and deleted rows leave the count as it was.
        p.q.append();
        p.q.cancel();
        QCOMPARE(p.q.recordCount(), n + 1);
        p.q.moveTo(3);
        p.q.remove();
        QCOMPARE(p.q.recordCount(), n);
        p.q.last();
        QCOMPARE(p.id(), added);

        QCOMPARE(p.q.refresh(), QString());
        QCOMPARE(p.id(), added);
        const std::vector<Place> fresh = store.expected(p.connection);
        const auto at = std::find_if(fresh.begin(), fresh.end(), [&](const Place &pl) { return pl.id == added; });
        QCOMPARE(p.q.recNo(), int(at - fresh.begin()));
        QCOMPARE(p.q.recordCount(), n);
        p.q.last();
        QCOMPARE(p.id(), fresh.back().id);
    }

    // The lock compares with the row as it was when its edit began, although other pages
    // were read meanwhile.
    void lockHoldsWhileOtherPagesAreRead_data() { addDrivers(); }
    void lockHoldsWhileOtherPagesAreRead()
    {
        QFETCH(bool, postgres);
        Store store(postgres);
        PagedPlaces mine(store, QStringLiteral("mine")), theirs(store, QStringLiteral("theirs"));
        Store::fill(mine.connection.database(), 2500);
        mine.q.open();
        theirs.q.open();
        mine.q.moveTo(10);
        theirs.q.moveTo(10);
        mine.q.setValue("isim", "Benim");
        theirs.q.setValue("isim", "Onların");
        theirs.q.post();
        QCOMPARE(mine.q.textAt(2400, mine.q.fieldIndex("isim")).left(4), QString("Yer "));
        QCOMPARE(mine.q.asString("isim"), QString("Benim"));
        try {
            mine.q.post();
            QFAIL("a row changed by another was overwritten");
        } catch (const RowChangedByOthers &) {
        }
        QCOMPARE(mine.q.state(), Dataset::State::Edit);
        QVERIFY(mine.q.refresh().contains("Onların"));
        QCOMPARE(mine.q.recNo(), 10);
        mine.q.post();
        QSqlQuery q(theirs.connection.database());
        q.exec(QStringLiteral("select isim from harita where id = %1").arg(mine.id()));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QString("Benim"));
    }

    // A data set made by older tools gets the indexes at its first open; one that cannot be
    // written is read without them, with the same rows.
    void indexesAreMadeWhenTheyCanBe_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("made by older tools") << false;
        QTest::newRow("read-only") << true;
    }
    void indexesAreMadeWhenTheyCanBe()
    {
        QFETCH(bool, readOnly);
        Store store(false, false);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("older tool"));
            db.setDatabaseName(store.target);
            QVERIFY(db.open());
            Store::fill(db, 1500);
        }
        QSqlDatabase::removeDatabase(QStringLiteral("older tool"));
        std::unique_ptr<ReadOnly> locked;
        if (readOnly)
            locked = std::make_unique<ReadOnly>(QStringList{store.target, QFileInfo(store.target).path()});
        PagedPlaces p(store);
        p.q.open();
        QSqlQuery q(p.connection.database());
        q.exec(QStringLiteral("select count(*) from sqlite_master where name in ('harita_pafta', 'harita_sira')"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), readOnly ? 0 : 2);
        std::vector<qlonglong> walked, want;
        for (const Place &place : store.expected(p.connection))
            want.push_back(place.id);
        for (p.q.last(); !p.q.bof(); p.q.prior())
            walked.insert(walked.begin(), p.id());
        QCOMPARE(walked, want);
    }

    // Pages of a search: the rows of the statement read whole, in its order (ties in px
    // across page boundaries), through the index and by the scan, counted at the open.
    void searchWalksTheRowsOfTheStatement_data()
    {
        addDrivers(false);
        QTest::addColumn<QString>("name");
        for (const bool pg : {false, true})
            for (const char *name : {"r 1", "1", "yok"})
                QTest::addRow("%s, %s", pg ? "PostgreSQL" : "SQLite", name) << pg << QString(name);
    }
    void searchWalksTheRowsOfTheStatement()
    {
        QFETCH(bool, postgres);
        QFETCH(QString, name);
        Store store(postgres);
        PagedPlaces p(store);
        Store::fill(p.connection.database(), 2345);
        Store::exec(p.connection.database(), {QStringLiteral("update harita set tip = 'köy' where id % 50 <> 3")});
        setSearch(p.connection, p.q, name);
        p.q.open();
        const std::vector<qlonglong> want = found(store, p.connection, name);
        QCOMPARE(p.q.recordCount(), int(want.size()));
        QCOMPARE(walk(p.q), want);
        if (!postgres) { // SQLite's own order for the statement read whole, ties included
            QSqlQuery q(p.connection.database());
            q.exec(statements::search({}, {}, name).replace(QStringLiteral("SELECT *"), QStringLiteral("SELECT id")));
            std::vector<qlonglong> whole;
            while (q.next())
                whole.push_back(q.value(0).toLongLong());
            QCOMPARE(whole, want);
        }
        if (!want.empty()) {
            p.q.last();
            QVERIFY(p.q.locate("id", want.front()));
            QCOMPARE(p.q.recNo(), 0);
        }
    }

    // Rows another program changes after the search keep their places with their new values;
    // a deleted one reads as nulls, so it moves no map; a new search sees the table as it is.
    void searchRowsChangedMeanwhile_data() { addDrivers(); }
    void searchRowsChangedMeanwhile()
    {
        QFETCH(bool, postgres);
        Store store(postgres);
        PagedPlaces mine(store, QStringLiteral("mine")), theirs(store, QStringLiteral("theirs"));
        Store::fill(mine.connection.database(), 2500);
        Store::exec(mine.connection.database(), {QStringLiteral("update harita set tip = 'köy'")});
        setSearch(mine.connection, mine.q, QStringLiteral("Yer"));
        mine.q.open();
        const std::vector<qlonglong> before = walk(mine.q);
        mine.q.first();
        const qlonglong renamed = before[1500], gone = before[1700];
        Store::exec(theirs.connection.database(),
                    {QStringLiteral("update harita set isim = 'Başka' where id = %1").arg(renamed),
                     QStringLiteral("delete from harita where id = %1").arg(gone)});
        QCOMPARE(mine.q.recordCount(), 2500);
        mine.q.moveTo(1500);
        QCOMPARE(mine.q.asString("isim"), QString("Başka"));
        mine.q.moveTo(1700);
        QVERIFY(mine.q.isNull("pafta"));
        QCOMPARE(mine.q.recordCount(), 2500);
        mine.q.open();
        QCOMPARE(mine.q.recordCount(), 2498);
    }

    // A new search while the last one is read half-way starts from its own first page.
    void newSearchWhileThePreviousIsMidway_data() { addDrivers(); }
    void newSearchWhileThePreviousIsMidway()
    {
        QFETCH(bool, postgres);
        Store store(postgres);
        PagedPlaces p(store);
        Store::fill(p.connection.database(), 2500);
        Store::exec(p.connection.database(), {QStringLiteral("update harita set tip = 'köy'")});
        setSearch(p.connection, p.q, QStringLiteral("Yer"));
        p.q.open();
        p.q.moveTo(2100);
        setSearch(p.connection, p.q, QStringLiteral("r 2"));
        p.q.open();
        QCOMPARE(p.q.recNo(), 0);
        const std::vector<qlonglong> want = found(store, p.connection, QStringLiteral("r 2"));
        QCOMPARE(p.q.recordCount(), int(want.size()));
        QCOMPARE(p.q.value("id").toLongLong(), want.front());
        QCOMPARE(walk(p.q), want);
    }
};

QTEST_MAIN(TestPlacePages)
#include "test_placepages.moc"
