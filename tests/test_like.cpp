#include "data/connection.h"
#include "data/postgres.h"
#include "data/schema.h"
#include "data/searchindex.h"
#include "pgtestsupport.h"
#include "savefaults.h"
#include "testsupport.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// LIKE in the search statements must find what a Turkish user means, and the same
// rows on the SQLite file and on the PostgreSQL server.
class TestLike : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    PgScratchDatabase m_pg;
    Connection m_sqlite{QStringLiteral("like-sqlite")};
    Connection m_postgres{QStringLiteral("like-postgres")};

    Connection &connection(const QString &backend)
    {
        return backend == QLatin1String("sqlite") ? m_sqlite : m_postgres;
    }

    static QString quoted(QString text) { return '\'' + text.replace('\'', QLatin1String("''")) + '\''; }

    // How many rows holding isim = stored the condition finds.
    static int matches(Connection &c, const QVariant &stored, const QString &condition)
    {
        QSqlDatabase db = c.database();
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("delete from harita")))
            return -1;
        q.prepare(QStringLiteral("insert into harita (isim) values (?)"));
        q.addBindValue(stored);
        if (!q.exec())
            return -1;
        if (!q.exec(QStringLiteral("SELECT * FROM harita WHERE ") + condition)) {
            qWarning() << q.lastError().text();
            return -1;
        }
        int n = 0;
        while (q.next())
            ++n;
        return n;
    }

    static void addRows(const QStringList &backends)
    {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("found");
        struct Case {
            const char *name;
            QString stored;
            QString pattern;
            bool found;
        };
        const Case cases[] = {
            {"uskudar finds Üsküdar", "Üsküdar", "%uskudar%", true},
            {"sile finds Şile", "Şile", "%sile%", true},
            {"CAMLICA finds Çamlıca", "Çamlıca", "%CAMLICA%", true},
            {"ğ is g", "Dağ", "dag", true},
            {"ö is o", "Göl", "GOL", true},
            {"ı finds I", "ILGIN", "ılgın", true},
            {"I finds ı", "ılgın", "ILGIN", true},
            {"i finds İ", "İzmir", "izmir", true},
            {"İ finds i", "izmir", "İZMİR", true},
            {"I finds i", "Isparta", "ısparta", true},
            {"i finds I", "DİYARBAKIR", "diyarbakir", true},
            {"decomposed letters", QString::fromUtf8("S\xcc\xa7ile"), "şile", true},
            {"other letters stay apart", "Şile", "sule", false},
            {"no implicit wildcard", "Ankara", "kara", false},
            {"trailing blank counts", "Ankara ", "Ankara", false},
            {"% at the end", "Karaköy", "kara%", true},
            {"% in the middle", "Karaköy", "k%y", true},
            {"% matches nothing", "", "%", true},
            {"%% still a wildcard", "Karaköy", "%%köy", true},
            {"_ is one letter", "Şile", "Ş_le", true},
            {"_ is one Turkish letter", "Ç", "_", true},
            {"_ is not two letters", "Şle", "Ş_le", false},
            {"__ is not one letter", "Ç", "__", false},
            {"a quote", "Ali'nin Çiftliği", "%ali'nin%", true},
            {"a backslash is a letter", "A\\B", "a\\b", true},
            {"ASCII case", "ABC", "abc", true},
            {"ASCII difference", "abd", "abc", false},
            {"ASCII substring", "Ankara", "%KAR%", true},
        };
        for (const QString &backend : backends)
            for (const Case &c : cases)
                QTest::newRow(qPrintable(backend + ": " + c.name)) << backend << c.stored << c.pattern << c.found;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QString file = m_dir.filePath("like.sqlite");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "like-setup");
            db.setDatabaseName(file);
            QVERIFY(db.open());
            createSchema(db);
        }
        QSqlDatabase::removeDatabase("like-setup");
        m_sqlite.open(file);

        QString error = m_pg.create(QStringLiteral("like"));
        QVERIFY2(error.isEmpty(), qPrintable(error));
        // As older installations still have it: a backslash must stay a letter all the same.
        error = m_pg.exec({QStringLiteral("alter database %1 set standard_conforming_strings = off").arg(m_pg.name())});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", "like-pg-setup");
            configurePostgres(db, m_pg.uri());
            QVERIFY2(db.open(), qPrintable(db.lastError().text()));
            createSchema(db);
        }
        QSqlDatabase::removeDatabase("like-pg-setup");
        m_postgres.open(m_pg.uri());
        // Every PostgreSQL case then goes through the search index where it can answer.
        QSqlQuery q(m_postgres.database());
        QVERIFY(q.exec(QStringLiteral("set enable_seqscan to off")));
    }

    void like_data() { addRows({"sqlite", "postgres"}); }
    void like()
    {
        QFETCH(QString, backend);
        QFETCH(QString, stored);
        QFETCH(QString, pattern);
        QFETCH(bool, found);
        QCOMPARE(matches(connection(backend), stored, "isim LIKE " + quoted(pattern)), found ? 1 : 0);
        QCOMPARE(matches(connection(backend), stored, "isim NOT LIKE " + quoted(pattern)), found ? 0 : 1);
    }

    // The index of an SQLite file narrows, never changes, what the LIKE finds, also for
    // places another program (without our functions) wrote since the last search.
    void sqliteIndexFindsTheSame_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("narrowed");
        QTest::newRow("fragment") << "%kara%" << true;
        QTest::newRow("capitals") << "%KARA%" << true;
        QTest::newRow("Turkish letters") << "%şile%" << true;
        QTest::newRow("dotless i") << "%ılgın%" << true;
        QTest::newRow("_ between runs") << "%kar_köy%" << true;
        QTest::newRow("% between runs") << "%kara%agac%" << true;
        QTest::newRow("quotes") << "%ali'nin%" << true;
        QTest::newRow("double quotes") << "%\"ev\"%" << true;
        QTest::newRow("two letters") << "%ka%" << false;
        QTest::newRow("short runs") << "%k%y%" << false;
        QTest::newRow("wildcards only") << "%%%" << false;
    }
    void sqliteIndexFindsTheSame()
    {
        QFETCH(QString, pattern);
        QFETCH(bool, narrowed);
        QSqlDatabase db = m_sqlite.database();
        QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "like-other");
        other.setDatabaseName(db.databaseName());
        QVERIFY(other.open());
        const auto write = [&](const QStringList &statements) {
            QSqlQuery q(other);
            for (const QString &s : statements)
                QVERIFY2(q.exec(s), qPrintable(q.lastError().text()));
        };
        write({"delete from harita",
               "insert into harita (isim) values ('Ankara'), ('Karaköy'), ('KARAÇAM'), ('Şile'), ('ILGIN'),"
               " ('Karıköy'), ('Ali''nin Çiftliği'), ('Say \"Ev\"'), (null), ('S' || char(807) || 'ile'),"
               " (cast(X'DE696C65' as text))"});
        const QString narrowing = searchindex::narrowing(db, pattern);
        QCOMPARE(!narrowing.isEmpty(), narrowed);
        write({"update harita set isim = 'Karaağaç' where isim = 'Ankara'", "delete from harita where isim = 'Karıköy'",
               "insert into harita (isim) values ('ŞİLE KARA'), ('Kar köy')"});
        const auto ids = [&](const QString &sql) {
            QSqlQuery q(db);
            QStringList found;
            if (!q.exec(sql))
                return QStringList{q.lastError().text()};
            while (q.next())
                found << q.value(0).toString();
            return found;
        };
        const QString plain = "SELECT id FROM harita WHERE isim LIKE " + quoted(pattern);
        const QStringList expected = ids(plain + " ORDER BY id");
        QVERIFY(!expected.isEmpty() || !narrowed);
        if (narrowed)
            QCOMPARE(ids(plain + " AND " + narrowing + " ORDER BY id"), expected);
        other.close();
        other = QSqlDatabase();
        QSqlDatabase::removeDatabase("like-other");
    }

    // A file made by older tools gets its index at the first open, reporting up to 100;
    // later opens find it and build nothing.
    void sqliteIndexBuiltOnceWithProgress()
    {
        const QString file = m_dir.filePath("older.sqlite");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "older-setup");
            db.setDatabaseName(file);
            QVERIFY(db.open());
            createSchema(db);
            QSqlQuery q(db);
            QVERIFY(q.exec("insert into harita (id, isim) values (1, 'Karaköy'), (250000, 'Şile')"));
        }
        QSqlDatabase::removeDatabase("older-setup");
        QList<int> heard;
        {
            Connection c(QStringLiteral("older"));
            c.open(file, [&](int percent) { heard << percent; });
            QVERIFY(!heard.isEmpty());
            QCOMPARE(heard.last(), 100);
            QVERIFY(std::is_sorted(heard.begin(), heard.end()));
            QSqlQuery q(c.database());
            const QString narrowing = searchindex::narrowing(c.database(), "%SİLE%");
            QVERIFY(!narrowing.isEmpty());
            QVERIFY(q.exec("SELECT id FROM harita WHERE isim LIKE '%SİLE%' AND " + narrowing));
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toInt(), 250000);
            QVERIFY(!q.next());
        }
        heard.clear();
        Connection again(QStringLiteral("older-again"));
        again.open(file, [&](int percent) { heard << percent; });
        QVERIFY(heard.isEmpty());
    }

    // A data set made by older tools gets its index at the first open, with progress up
    // to 100; one opened read-only keeps none, and the scan finds the same places.
    void indexBuiltOrScanned_data()
    {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("sqlite, read-only") << "sqlite" << true;
        QTest::newRow("postgres, older tools") << "postgres" << false;
        QTest::newRow("postgres, read-only") << "postgres" << true;
    }
    void indexBuiltOrScanned()
    {
        QFETCH(QString, backend);
        QFETCH(bool, readOnly);
        const bool sqlite = backend == QLatin1String("sqlite");
        PgScratchDatabase pg;
        const QString target = sqlite ? m_dir.filePath("readonly.sqlite") : pg.uri();
        if (!sqlite)
            QVERIFY(pg.create(readOnly ? "like_ro" : "like_older").isEmpty());
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(sqlite ? "QSQLITE" : "QPSQL", "older-tools");
            if (sqlite)
                db.setDatabaseName(target);
            else
                configurePostgres(db, pg.uri());
            QVERIFY(db.open());
            createSchema(db);
            QSqlQuery q(db);
            QVERIFY(q.exec("insert into harita (id, isim) values (1, 'Karaköy'), (2, 'ŞİLE KARA'), (3, 'Çamlık'),"
                           " (4, 'ankara')"));
        }
        QSqlDatabase::removeDatabase("older-tools");
        if (!sqlite && readOnly) {
            // Our functions are there, the index is not: a read-only copy of an older data set.
            {
                Connection first(QStringLiteral("older-first"));
                first.open(pg.uri());
                QSqlQuery q(first.database());
                QVERIFY(q.exec("drop index harita_isim_trgm"));
            }
            QVERIFY(pg.exec({"alter database " + pg.name() + " set default_transaction_read_only = on"}).isEmpty());
        }
        std::unique_ptr<ReadOnly> frozen(sqlite ? new ReadOnly({target}) : nullptr);
        QList<int> heard;
        Connection c(QStringLiteral("older-open"));
        c.open(sqlite ? target : pg.uri(), [&](int percent) { heard << percent; });
        QCOMPARE(heard.isEmpty(), readOnly);
        QCOMPARE(heard.value(heard.size() - 1, 100), 100);
        QSqlQuery q(c.database());
        if (sqlite) {
            QVERIFY(searchindex::narrowing(c.database(), "%kara%").isEmpty());
        } else {
            QVERIFY(q.exec("select to_regclass('harita_isim_trgm') is null") && q.next());
            QCOMPARE(q.value(0).toBool(), readOnly);
        }
        QVERIFY(q.exec("SELECT id FROM harita WHERE isim LIKE '%kara%' ORDER BY id"));
        QStringList found;
        while (q.next())
            found << q.value(0).toString();
        QCOMPARE(found, QStringList({"1", "2", "4"}));
    }

    void postgresSearchUsesIndex()
    {
        QSqlQuery q(m_postgres.database());
        QVERIFY(q.exec("explain SELECT * FROM harita WHERE tip LIKE '%'  AND isim LIKE '%kara%'  ORDER BY PX"));
        QString plan;
        while (q.next())
            plan += q.value(0).toString();
        QVERIFY2(plan.contains("harita_isim_trgm"), qPrintable(plan));
    }

    void nullNeverMatches_data()
    {
        QTest::addColumn<QString>("backend");
        QTest::newRow("sqlite") << "sqlite";
        QTest::newRow("postgres") << "postgres";
    }
    void nullNeverMatches()
    {
        QFETCH(QString, backend);
        QCOMPARE(matches(connection(backend), QVariant(QMetaType(QMetaType::QString)), "isim LIKE '%'"), 0);
        QCOMPARE(matches(connection(backend), QVariant(QMetaType(QMetaType::QString)), "isim NOT LIKE '%'"), 0);
    }

    // Only on the file: old data sets may hold Windows-1254 bytes, and SQLite's own
    // three-argument like() is replaced as well.
    void sqliteOnly()
    {
        QSqlDatabase db = m_sqlite.database();
        QSqlQuery q(db);
        QVERIFY(q.exec("delete from harita"));
        QVERIFY(q.exec("insert into harita (isim) values (cast(X'DE696C65' as text))"));
        QVERIFY(q.exec("select count(*) from harita where isim like 'sile'"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 1);
        QCOMPARE(matches(m_sqlite, "100%", "isim LIKE '100!%' ESCAPE '!'"), 1);
        QCOMPARE(matches(m_sqlite, "1000", "isim LIKE '100!%' ESCAPE '!'"), 0);
        QCOMPARE(matches(m_sqlite, "Ş", "isim LIKE 'ş' ESCAPE '!!'"), -1);
    }

    // Each LIKE keeps its compiled pattern only while its own pattern and escape stay.
    void sqlitePatternsChangingRowByRow()
    {
        QSqlDatabase db = m_sqlite.database();
        QSqlQuery q(db);
        QVERIFY(q.exec("with t(name, pat, esc) as (values ('Şile', '%sile%', '!'), ('Ankara', '%sile%', '!'),"
                       " ('Ankara', '%KARA', '!'), ('100%', '100!%', '!'), ('100%', '100!%', '#'))"
                       " select group_concat((name like pat escape esc) || (name like '%a%'), ' ') from t"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("10 01 11 10 00"));
    }
};

QTEST_GUILESS_MAIN(TestLike)
#include "test_like.moc"
