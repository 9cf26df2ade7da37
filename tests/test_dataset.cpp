#include "pgtestsupport.h"

#include "data/connection.h"
#include "data/postgres.h"
#include "data/schema.h"
#include "framework/dataset.h"
#include "framework/errors.h"

#include "testsupport.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(Dataset::State)

namespace {

const QString kPlaces = QStringLiteral("select * from harita order by px");

// A place database in a temporary folder; its own connection reads what the file holds.
class PlacesFile {
public:
    PlacesFile()
    {
        path = dir.filePath(QStringLiteral("yerler.db"));
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kCheck);
        db.setDatabaseName(path);
        if (!db.open())
            throw Error(db.lastError().text());
        createSchema(db);
        exec("insert into harita (id, isim, tip, px, py, pafta, kod) values "
             "(1, 'Ahmetli', 'Köy', 300, 40, '12', '$1F'), (2, 'Bağlar', 'Mahalle', 100, 50, '12', 'x y'), "
             "(3, 'Çamlık', NULL, 200, 60, '10', NULL), (4, 'ahmetli', 'Köy', 400, 70, NULL, '3000000000')");
        exec("insert into tipler (ad) values ('Köy'), ('Mahalle')");
    }
    ~PlacesFile() { QSqlDatabase::removeDatabase(kCheck); }

    QSqlQuery exec(const QString &sql) const
    {
        QSqlQuery q(QSqlDatabase::database(kCheck));
        if (!q.exec(sql))
            throw Error(q.lastError().text());
        return q;
    }
    // One column of one row as the file holds it now.
    QVariant stored(int id, const QString &column) const
    {
        QSqlQuery q = exec(QStringLiteral("select %1 from harita where id = %2").arg(column).arg(id));
        return q.next() ? q.value(0) : QVariant(QStringLiteral("<no row>"));
    }
    int rows() const
    {
        QSqlQuery q = exec(QStringLiteral("select count(*) from harita"));
        q.next();
        return q.value(0).toInt();
    }

    QTemporaryDir dir;
    QString path;

private:
    static inline const QString kCheck = QStringLiteral("check");
};

// A connection and the place dataset on it, open on "select * from harita order by px":
// rows by px are Bağlar (id 2), Çamlık (3), Ahmetli (1), ahmetli (4).
struct Places {
    Places(const PlacesFile &file, const QString &name = QStringLiteral("ADOConnection1"))
        : connection(name), q(QStringLiteral("qHarita"), connection)
    {
        connection.open(file.path);
        q.setSql(kPlaces);
        q.open();
    }
    Connection connection;
    Dataset q;
};

} // namespace

class TestDataset : public QObject {
    Q_OBJECT
private slots:
    void openReadsEveryRowAndField()
    {
        PlacesFile file;
        Places p(file);
        p.q.close();
        QSignalSpy changed(&p.q, &Dataset::dataChanged);
        QSignalSpy reset(&p.q, &Dataset::rowsReset);
        p.q.open();
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toString(), QString());
        QCOMPARE(reset.count(), 1);
        QCOMPARE(p.q.recordCount(), 4);
        QCOMPARE(p.q.recNo(), 0);
        QVERIFY(p.q.bof() && !p.q.eof());
        QCOMPARE(p.q.fieldNames().mid(0, 4), QStringList({"id", "isim", "tip", "px"}));
        QCOMPARE(p.q.asString("isim"), QString("Bağlar"));
        QCOMPARE(p.q.asInteger("PX"), 100);
        QCOMPARE(p.q.value("py").toInt(), 50);
        QVERIFY(p.q.isIntegerField("px"));
        QVERIFY(!p.q.isIntegerField("pafta"));
        p.q.next();
        QVERIFY(p.q.isNull("tip"));
        QCOMPARE(p.q.asString("tip"), QString());
        QCOMPARE(p.q.asInteger("kod"), 0);
        QCOMPARE(errorOf([&] { p.q.value("yok"); }), QString("qHarita: Field 'yok' not found"));
    }

    void integersFromOtherValues_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("error");
        QTest::newRow("hexadecimal text") << 1 << 31 << "";
        QTest::newRow("text with a blank") << 2 << 0 << "'x y' is not a valid integer value";
        QTest::newRow("beyond 32 bits") << 4 << 0 << "'3000000000' is not a valid integer value";
    }
    void integersFromOtherValues()
    {
        QFETCH(int, id);
        QFETCH(int, value);
        QFETCH(QString, error);
        PlacesFile file;
        Places p(file);
        QVERIFY(p.q.locate("id", id));
        if (error.isEmpty())
            QCOMPARE(p.q.asInteger("kod"), value);
        else
            QCOMPARE(errorOf([&] { p.q.asInteger("kod"); }), error);
    }

    void walksToTheEndAndBack()
    {
        PlacesFile file;
        Places p(file);
        QList<int> seen;
        for (p.q.first(); !p.q.eof(); p.q.next())
            seen << p.q.asInteger("px");
        QCOMPARE(seen, QList<int>({100, 200, 300, 400}));
        QCOMPARE(p.q.recNo(), 3); // stays on the last row
        p.q.next();
        QVERIFY(p.q.eof());
        p.q.prior();
        QCOMPARE(p.q.recNo(), 2);
        QVERIFY(!p.q.eof() && !p.q.bof());
        p.q.first();
        p.q.prior();
        QVERIFY(p.q.bof());
        QCOMPARE(p.q.recNo(), 0);
    }

    void emptyResultIsEofAndBof()
    {
        PlacesFile file;
        Places p(file);
        p.q.setSql("select * from harita where px < 0");
        p.q.open();
        QCOMPARE(p.q.recordCount(), 0);
        QVERIFY(p.q.eof() && p.q.bof());
        QCOMPARE(p.q.recNo(), -1);
        QVERIFY(p.q.isNull("pafta"));
        p.q.next();
        p.q.last();
        QVERIFY(p.q.eof() && p.q.bof());
    }

    void failedOpenLeavesItClosedAndRunsNothing_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("error");
        QTest::newRow("missing table") << "select * from yok" << "no such table: yok";
        QTest::newRow("syntax") << "select * from harita where" << "incomplete input";
        QTest::newRow("not a query") << "delete from harita" << "Sorgu bir kayıt kümesi döndürmüyor";
    }
    void failedOpenLeavesItClosedAndRunsNothing()
    {
        QFETCH(QString, sql);
        QFETCH(QString, error);
        PlacesFile file;
        Places p(file);
        p.q.setSql(sql);
        QCOMPARE(errorOf([&] { p.q.open(); }), error);
        QVERIFY(!p.q.isOpen());
        QCOMPARE(p.q.recordCount(), 0);
        QCOMPARE(file.rows(), 4);
    }

    void locateIsExactAndCaseSensitive()
    {
        PlacesFile file;
        Places p(file);
        QVERIFY(p.q.locate("isim", "ahmetli"));
        QCOMPARE(p.q.asInteger("id"), 4);
        QVERIFY(p.q.locate("isim", "Ahmetli"));
        QCOMPARE(p.q.asInteger("id"), 1);
        QVERIFY(!p.q.locate("isim", "Ahmet"));
        QVERIFY(!p.q.locate("pafta", "12 "));
        QCOMPARE(p.q.asInteger("id"), 1); // a failed search leaves the cursor
        QVERIFY(p.q.locate("pafta", "10"));
        QCOMPARE(p.q.asString("isim"), QString("Çamlık"));
        QVERIFY(p.q.locate("px", 400));
        QCOMPARE(p.q.recNo(), 3);
    }

    void postWhenNotEditingNamesTheDataset()
    {
        PlacesFile file;
        Places p(file);
        QCOMPARE(errorOf([&] { p.q.post(); }), QString("qHarita: Dataset not in edit or insert mode"));
    }

    void updateInsertDeleteReachTheFile()
    {
        PlacesFile file;
        Places p(file);
        // Çamlık has a null tip: the unchanged-row check must treat null as equal to null.
        QVERIFY(p.q.locate("id", 3));
        p.q.setValue("isim", "Çamlık Yaylası");
        p.q.setValue("tip", "Köy");
        p.q.post();
        QCOMPARE(file.stored(3, "isim").toString(), QString("Çamlık Yaylası"));
        QCOMPARE(file.stored(3, "tip").toString(), QString("Köy"));
        QCOMPARE(p.q.state(), Dataset::State::Browse);

        p.q.append();
        p.q.setValue("px", 50);
        p.q.setValue("py", 60);
        p.q.setValue("pafta", "12");
        p.q.setValue("isim", "Kuzey'in Çiftliği");
        p.q.post();
        QCOMPARE(p.q.recordCount(), 5);
        QCOMPARE(p.q.recNo(), 4); // added at the end, not sorted in
        const int id = p.q.asInteger("id");
        QVERIFY(id > 4);
        QCOMPARE(file.stored(id, "isim").toString(), QString("Kuzey'in Çiftliği"));
        QCOMPARE(file.stored(id, "px").toInt(), 50);
        QVERIFY(file.stored(id, "tip").isNull());

        QVERIFY(p.q.locate("id", 2));
        p.q.remove();
        QCOMPARE(p.q.recordCount(), 4);
        QCOMPARE(file.stored(2, "isim").toString(), QString("<no row>"));
        QCOMPARE(file.rows(), 4);
    }

    void snapshotHoldsWhatTheDatabaseStored()
    {
        PlacesFile file;
        Places p(file);
        p.q.setValue("px", "150"); // integer affinity stores a number
        p.q.post();
        QCOMPARE(p.q.value("px").metaType().id(), QMetaType::LongLong);
        QCOMPARE(p.q.value("px").toLongLong(), 150LL);
    }

    // The cursor rule: a changed row is saved before the move, an unchanged one dropped,
    // and a refused save ends the move with the row still in editing.
    void cursorRule_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("row");
        for (const char *action : {"next", "append", "refresh", "close"})
            for (const char *row : {"changed", "unchanged", "refused"})
                QTest::addRow("%s, %s row", action, row) << action << row;
    }
    void cursorRule()
    {
        QFETCH(QString, action);
        QFETCH(QString, row);
        PlacesFile file;
        Places p(file);
        int saves = 0;
        p.q.beforePost = [&](Dataset &) {
            if (row == "refused")
                throw Abort();
        };
        p.q.afterPost = [&](Dataset &) { ++saves; };
        p.q.moveTo(1);
        p.q.edit();
        if (row != "unchanged")
            p.q.setValue("isim", "Değişti");

        bool aborted = false;
        try {
            if (action == "next")
                p.q.next();
            else if (action == "append")
                p.q.append();
            else if (action == "refresh")
                p.q.refresh();
            else
                p.q.close();
        } catch (const Abort &) {
            aborted = true;
        }

        QCOMPARE(aborted, row == "refused");
        QCOMPARE(saves, row == "changed" ? 1 : 0);
        QCOMPARE(file.stored(3, "isim").toString(), row == "changed" ? QString("Değişti") : QString("Çamlık"));
        if (row == "refused") {
            QCOMPARE(p.q.state(), Dataset::State::Edit);
            QCOMPARE(p.q.recNo(), 1);
            QCOMPARE(p.q.recordCount(), 4);
            QCOMPARE(p.q.asString("isim"), QString("Değişti"));
        } else if (action == "next") {
            QCOMPARE(p.q.recNo(), 2);
        } else if (action == "append") {
            QCOMPARE(p.q.state(), Dataset::State::Insert);
            QCOMPARE(p.q.recordCount(), 5);
        } else if (action == "refresh") {
            QCOMPARE(p.q.state(), Dataset::State::Browse);
            QCOMPARE(p.q.asInteger("id"), 3);
        } else {
            QVERIFY(!p.q.isOpen());
        }
    }

    void unchangedNewRowIsDroppedByAMove()
    {
        PlacesFile file;
        Places p(file);
        p.q.moveTo(2);
        p.q.append();
        QCOMPARE(p.q.recordCount(), 5);
        p.q.first();
        QCOMPARE(p.q.recordCount(), 4);
        QCOMPARE(file.rows(), 4);
        p.q.moveTo(2);
        p.q.append();
        p.q.cancel();
        QCOMPARE(p.q.recordCount(), 4);
        QCOMPARE(p.q.recNo(), 2); // back where the row was begun
    }

    void hooksRunAroundTheWrite()
    {
        PlacesFile file;
        Places p(file);
        QStringList log;
        connect(&p.q, &Dataset::updatingRecord, this, [&] { log << "updating"; });
        p.q.beforePost = [&](Dataset &) { log << "before, stored " + file.stored(2, "isim").toString(); };
        p.q.afterPost = [&](Dataset &d) {
            log << "after, stored " + file.stored(2, "isim").toString() + ", " + (d.isEditing() ? "editing" : "browsing");
        };
        p.q.setValue("isim", "Bağlarbaşı");
        p.q.post();
        QCOMPARE(log, QStringList({"updating", "before, stored Bağlar", "after, stored Bağlarbaşı, browsing"}));
    }

    void notificationsNameTheField()
    {
        PlacesFile file;
        Places p(file);
        QSignalSpy changed(&p.q, &Dataset::dataChanged);
        p.q.setValue("TIP", "Köy");
        p.q.cancel();
        p.q.next();
        p.q.next();
        QStringList fields;
        for (const QList<QVariant> &args : changed)
            fields << args.at(0).toString();
        QCOMPARE(fields, QStringList({"tip", "", "", ""}));
    }

    void secondSaveOfARowChangedByAnotherIsRefused()
    {
        PlacesFile file;
        Places first(file, "birinci");
        Places second(file, "ikinci");
        first.q.setValue("isim", "Birinci");
        second.q.setValue("isim", "İkinci");
        first.q.post();
        const QString error = errorOf([&] { second.q.post(); });
        QVERIFY2(error.contains("başka biri tarafından değiştirilmiş ya da silinmiş"), qPrintable(error));
        QVERIFY(error.contains("Hiçbir şey kaydedilmedi"));
        QCOMPARE(second.q.state(), Dataset::State::Edit);
        QCOMPARE(second.q.asString("isim"), QString("İkinci"));
        QCOMPARE(file.stored(2, "isim").toString(), QString("Birinci"));

        // After a refresh the same change goes through.
        second.q.cancel();
        second.q.refresh();
        QCOMPARE(second.q.asString("isim"), QString("Birinci"));
        second.q.setValue("isim", "İkinci");
        second.q.post();
        QCOMPARE(file.stored(2, "isim").toString(), QString("İkinci"));
    }

    void deleteOfARowChangedByAnotherIsRefused()
    {
        PlacesFile file;
        Places p(file);
        file.exec("update harita set py = 51 where id = 2");
        const QString error = errorOf([&] { p.q.remove(); });
        QVERIFY2(error.contains("Hiçbir şey silinmedi"), qPrintable(error));
        QCOMPARE(file.stored(2, "py").toInt(), 51);
        QCOMPARE(p.q.recordCount(), 4);
    }

    // Texts stored in a legacy code page (Windows-1254 "Çamlık", "Köy") are not UTF-8: the
    // unchanged-row check must compare the stored bytes, and a save must keep those it does not write.
    void legacyBytesRowIsWritable_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("keptColumn");
        QTest::newRow("name") << "isim" << QVariant("Çamlık Köyü") << "tip";
        QTest::newRow("px") << "px" << QVariant(205) << "isim";
        QTest::newRow("delete") << QString() << QVariant() << QString();
    }
    void legacyBytesRowIsWritable()
    {
        QFETCH(QString, field);
        QFETCH(QVariant, value);
        QFETCH(QString, keptColumn);
        PlacesFile file;
        file.exec("update harita set isim = cast(x'c7616d6cfd6b' as text), tip = cast(x'4bf679' as text) "
                  "where id = 3");
        Places p(file);
        QVERIFY(p.q.locate("id", 3));
        const QVariant legacyName = p.q.value("isim");
        p.q.first();
        QVERIFY(p.q.locate("isim", legacyName)); // found by its stored bytes
        QCOMPARE(p.q.asInteger("id"), 3);
        if (field.isEmpty()) {
            p.q.remove();
            QCOMPARE(file.stored(3, "isim").toString(), QString("<no row>"));
            return;
        }
        const QByteArray kept = file.stored(3, "hex(" + keptColumn + ")").toByteArray();
        p.q.setValue(field, value);
        p.q.post();
        QCOMPARE(file.stored(3, field), value);
        QCOMPARE(file.stored(3, "hex(" + keptColumn + ")").toByteArray(), kept);
        // The snapshot holds the bytes again, so the row can be saved a second time.
        p.q.setValue("py", 61);
        p.q.post();
        QCOMPARE(file.stored(3, "py").toInt(), 61);
        QCOMPARE(file.stored(3, "hex(" + keptColumn + ")").toByteArray(), kept);
    }

    // After a save refused because another changed or deleted the row, a refresh keeps what
    // was typed on top of the row as it is now, and the next save goes through.
    void refreshAfterARefusedSaveKeepsTheTyping_data()
    {
        QTest::addColumn<QString>("other");
        QTest::addColumn<Dataset::State>("state");
        QTest::addColumn<int>("py");
        QTest::newRow("another column") << "update harita set py = 55 where id = 2" << Dataset::State::Edit << 55;
        QTest::newRow("the same column") << "update harita set isim = 'Bağlarbaşı' where id = 2"
                                         << Dataset::State::Edit << 50;
        QTest::newRow("deleted") << "delete from harita where id = 2" << Dataset::State::Insert << 50;
    }
    void refreshAfterARefusedSaveKeepsTheTyping()
    {
        QFETCH(QString, other);
        QFETCH(Dataset::State, state);
        QFETCH(int, py);
        PlacesFile file;
        Places p(file);
        p.q.setValue("isim", "Bağlar Köyü");
        file.exec(other);
        QVERIFY(errorOf([&] { p.q.post(); }).contains("kaydın şimdiki hâlini okuyun, yazdıklarınız yerinde kalır"));
        p.q.refresh();
        QCOMPARE(p.q.state(), state);
        QCOMPARE(p.q.asString("isim"), QString("Bağlar Köyü"));
        QCOMPARE(p.q.asInteger("py"), py);
        p.q.post();
        QCOMPARE(file.stored(2, "isim").toString(), QString("Bağlar Köyü"));
        QCOMPARE(file.stored(2, "py").toInt(), py);
        QCOMPARE(file.stored(2, "kod").toString(), QString("x y"));
        QCOMPARE(file.rows(), 4);
    }

    // The importer keeps a source column named rowid; it must not stand in for SQLite's own.
    void newRowBesideAColumnNamedRowid()
    {
        PlacesFile file;
        file.exec("alter table harita add column rowid integer");
        file.exec("update harita set rowid = 7");
        Places p(file);
        p.q.append();
        p.q.setValue("px", 5);
        p.q.setValue("isim", "Yeni");
        p.q.post();
        const int id = p.q.asInteger("id");
        QCOMPARE(file.stored(id, "isim").toString(), QString("Yeni"));
        QVERIFY(p.q.isNull("rowid"));
    }

    void lockedDatabaseFailsTheSaveSoonAndKeepsTheRow()
    {
        PlacesFile file;
        Places p(file);
        file.exec("begin exclusive");
        p.q.setValue("isim", "Kilitli");
        QElapsedTimer clock;
        clock.start();
        const QString error = errorOf([&] { p.q.post(); });
        QVERIFY2(error.startsWith("Veritabanı başka bir program tarafından kilitli"), qPrintable(error));
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(p.q.state(), Dataset::State::Edit);
        QCOMPARE(p.q.asString("isim"), QString("Kilitli"));
        file.exec("rollback");
        p.q.post();
        QCOMPARE(file.stored(2, "isim").toString(), QString("Kilitli"));
    }

    void failedInsertLeavesNothingHalfWritten()
    {
        PlacesFile file;
        Places p(file);
        file.exec("create trigger no_nameless before insert on harita when new.isim is null "
                  "begin select raise(abort, 'isimsiz yer'); end");
        p.q.append();
        p.q.setValue("px", 5);
        QCOMPARE(errorOf([&] { p.q.post(); }), QString("isimsiz yer"));
        QCOMPARE(p.q.state(), Dataset::State::Insert);
        QCOMPARE(p.q.asInteger("px"), 5);
        QCOMPARE(file.rows(), 4);
        p.q.setValue("isim", "Adlı");
        p.q.post();
        QCOMPARE(file.rows(), 5);
    }

    void refreshKeepsTheRowByKey()
    {
        PlacesFile file;
        Places p(file);
        QVERIFY(p.q.locate("id", 1));
        file.exec("insert into harita (id, isim, px) values (9, 'Önce', 10)");
        file.exec("update harita set isim = 'Ahmetli Köyü' where id = 1");
        p.q.refresh();
        QCOMPARE(p.q.recordCount(), 5);
        QCOMPARE(p.q.asInteger("id"), 1);
        QCOMPARE(p.q.recNo(), 3);
        QCOMPARE(p.q.asString("isim"), QString("Ahmetli Köyü"));
    }

    void aTableWithoutKeyCannotBeWritten()
    {
        PlacesFile file;
        Places p(file);
        file.exec("create table notlar (metin text)");
        file.exec("insert into notlar values ('bir')");
        p.q.setSql("select * from notlar");
        p.q.open();
        p.q.setValue("metin", "iki");
        QVERIFY(errorOf([&] { p.q.post(); }).startsWith("qHarita: notlar tablosunun"));
        QCOMPARE(p.q.state(), Dataset::State::Edit);
    }

    // The server reads rows through QtSql and guards writes with IS NOT DISTINCT FROM and RETURNING.
    void postgresServerRoundTrip()
    {
        PgScratchDatabase pg;
        const QString error = pg.create(QStringLiteral("dataset"));
        QVERIFY2(error.isEmpty(), qPrintable(error));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", "pg-setup");
            configurePostgres(db, pg.uri());
            QVERIFY2(db.open(), qPrintable(db.lastError().text()));
            createSchema(db);
            QSqlQuery(db).exec("insert into harita (isim, tip, px, py, pafta) values ('Bağlar', NULL, 100, 50, '12')");
        }
        QSqlDatabase::removeDatabase("pg-setup");
        Connection first("pg-birinci"), second("pg-ikinci");
        first.open(pg.uri());
        second.open(pg.uri());
        Dataset a("qHarita", first), b("qHarita", second);
        for (Dataset *q : {&a, &b}) {
            q->setSql(kPlaces);
            q->open();
        }
        QCOMPARE(a.recordCount(), 1);
        QVERIFY(a.isNull("tip"));
        QVERIFY(a.isIntegerField("px"));

        a.setValue("isim", "Birinci");
        a.post();
        b.setValue("isim", "İkinci");
        QVERIFY(errorOf([&] { b.post(); }).contains("Hiçbir şey kaydedilmedi"));
        QCOMPARE(b.state(), Dataset::State::Edit);

        a.append();
        a.setValue("px", 5);
        a.setValue("isim", "Yeni");
        a.post();
        QVERIFY(a.asInteger("id") > 1);
        b.cancel();
        b.refresh();
        QCOMPARE(b.recordCount(), 2);
        QVERIFY(b.locate("isim", "Birinci"));
        a.remove();
        b.refresh();
        QCOMPARE(b.recordCount(), 1);

        // A save refused there is kept through a refresh and then goes through.
        QVERIFY(a.locate("isim", "Birinci"));
        a.setValue("py", 51);
        a.post();
        b.setValue("isim", "Üçüncü");
        QVERIFY(errorOf([&] { b.post(); }).contains("Hiçbir şey kaydedilmedi"));
        QVERIFY(b.refresh().contains("yazdıklarınız yerinde kaldı"));
        b.post();
        a.refresh();
        QCOMPARE(a.asString("isim"), QString("Üçüncü"));
        QCOMPARE(a.asInteger("py"), 51);
    }
};

QTEST_GUILESS_MAIN(TestDataset)
#include "test_dataset.moc"
