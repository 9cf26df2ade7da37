#include "data/accessimport.h"
#include "data/connection.h"
#include "data/postgres.h"
#include "pgtestsupport.h"
#include "testsupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>
#include <cmath>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace {

const QString kImport = QStringLiteral(ZEMIRA_BIN_DIR "/tools/zemira-import");

// locale: the caller's when empty.
ToolRun runImport(const QStringList &arguments, const QString &locale = {})
{
    return runTool(QStringLiteral("zemira-import"), arguments, locale);
}

// mdb-export's CSV: quoted texts with doubled quotes (newlines inside), bare numbers,
// nothing at all for a null or an empty text.
QList<QStringList> parseCsv(const QString &text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row << field;
            field.clear();
        } else if (c == '\n') {
            row << field;
            rows << row;
            row.clear();
            field.clear();
        } else {
            field += c;
        }
    }
    return rows;
}

QList<QStringList> exportTable(const QString &file, const QString &table)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("MDB_JET3_CHARSET", "CP1252");
    // Without a UTF-8 locale mdb-export cannot even read a non-ASCII table name.
    env.insert("LC_ALL", "C.UTF-8");
    p.setProcessEnvironment(env);
    // Dates in both of libmdb's formats as the import stores them, binary data as hex.
    p.start("mdb-export", {"-D", "%Y-%m-%d %H:%M:%S", "-T", "%Y-%m-%d %H:%M:%S", "-b", "hex", file, table});
    p.waitForFinished(120000);
    return parseCsv(QString::fromUtf8(p.readAllStandardOutput()));
}

// An exported field against what the import stored; returns a complaint or nothing.
QString mismatch(const QString &exported, const QVariant &stored)
{
    // The fixtures hold no zero-length texts, so an empty field is a null.
    if (stored.isNull() || exported.isEmpty())
        return stored.isNull() == exported.isEmpty() ? QString() : "'" + stored.toString() + "' != '" + exported + "'";
    switch (stored.typeId()) {
    case QMetaType::QByteArray:
        return stored.toByteArray().toHex().toUpper() == exported.toUpper() ? QString() : QStringLiteral("bytes differ");
    case QMetaType::Double: {
        const double a = exported.toDouble();
        const double b = stored.toDouble();
        return std::fabs(a - b) <= 1e-6 * std::max(1.0, std::fabs(a)) ? QString()
                                                                       : QStringLiteral("%1 != %2").arg(b).arg(exported);
    }
    case QMetaType::QDateTime:
        return stored.toDateTime().toString("yyyy-MM-dd HH:mm:ss") == exported
            ? QString()
            : stored.toDateTime().toString(Qt::ISODate) + " != " + exported;
    default:
        return stored.toString() == exported ? QString() : "'" + stored.toString() + "' != '" + exported + "'";
    }
}

// A connection of the test's own, closed and removed however the test function ends.
class TargetDb {
public:
    TargetDb(const QString &name, const QString &target);
    ~TargetDb()
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
    QSqlDatabase &db() { return m_db; }

private:
    QString m_name;
    QSqlDatabase m_db;
};

TargetDb::TargetDb(const QString &name, const QString &target) : m_name(name)
{
    QSqlDatabase &db = m_db;
    if (Connection::isPostgresUri(target)) {
        db = QSqlDatabase::addDatabase("QPSQL", name);
        configurePostgres(db, target);
    } else {
        db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(target);
    }
    db.open();
}

int countOf(const QString &report, const QString &title)
{
    for (const QString &line : report.split('\n'))
        if (line.trimmed().startsWith(title + ": "))
            return line.section(": ", 1).toInt();
    return -1;
}

} // namespace

class TestImport : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    PgScratchDatabase m_pg;
    QString m_source; // harita, tipler and pafta as a user might have them
    QString m_nwind;  // every table of nwind.mdb, imported once

    // A gazetteer with the column names, kinds and faults of real data.
    void makeSource(const QString &file, bool badPafta = false)
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "source");
            db.setDatabaseName(file);
            QVERIFY(db.open());
            QSqlQuery q(db);
            const QStringList statements = {
                "create table HARITA (ID integer, Isim text, TIP text, PX real, PY text, PAFTA integer,"
                " KOD integer, cx real, Notlar text)",
                "insert into HARITA values (7, 'Üsküdar İskelesi', 'Köy', 100.0, '100', 12, 5, 1.5, 'ılık, şirin')",
                "insert into HARITA values (8, null, '', 200, '200', 12, null, null, null)",
                "insert into HARITA values (9, 'Yok Pafta', 'Köy', 10, '10', 99, null, null, null)",
                "insert into HARITA values (10, 'Boş Pafta', 'Köy', 10, '10', null, null, null, null)",
                "insert into HARITA values (11, 'Kenarda', 'Köy', 1000, '10', 12, null, null, null)",
                "insert into HARITA values (12, 'Eksi', 'Köy', -1, '5', 12, null, null, null)",
                "insert into HARITA values (13, 'Kasaba Tipli', 'Kasaba', 300, '300', 12, null, null, null)",
                "insert into HARITA values (14, 'Tipsiz', null, 300, '600', 12, null, null, null)",
                "insert into HARITA values (15, 'Çift A', 'Köy', 500, '500', 12, null, null, null)",
                "insert into HARITA values (16, 'Çift B', 'Köy', 510, '490', 12, null, null, null)",
                "insert into HARITA values (17, 'Uzak', 'Köy', 521, '500', 12, null, null, null)",
                "insert into HARITA values (18, 'Öbür Pafta', 'Köy', 505, '500', 13, null, null, null)",
                "create table tipler (ad text)",
                "insert into tipler values ('Köy'), ('Şehir')",
                "create table Pafta (num text, ad text, px integer, py integer, px0 integer, py0 integer, kucuk text)",
                QStringLiteral("insert into Pafta values ('12', '12.jpg', 1000, 800, 0, 0, 'kucuk.bmp'),"
                               " ('13', '13.jpg', %1, 800, 1000, 0, 'kucuk.bmp')")
                    .arg(badPafta ? "'geniş'" : "1000"),
            };
            for (const QString &s : statements)
                QVERIFY2(q.exec(s), qPrintable(q.lastError().text()));
        }
        QSqlDatabase::removeDatabase("source");
    }

    QString target(const QString &kind, const QString &name)
    {
        return kind == QLatin1String("postgres") ? m_pg.uri() : m_dir.filePath(name);
    }

    static void addKinds()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("sqlite") << "sqlite";
        QTest::newRow("postgres") << "postgres";
    }

    void dropAll()
    {
        TargetDb target("drop", m_pg.uri());
        QSqlQuery q(target.db());
        q.exec("set client_min_messages to warning");
        q.exec("drop table if exists harita, tipler, pafta, \"Umsätze\", \"Asset Items\"");
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(kImport), "zemira-import is not built");
        QVERIFY(m_dir.isValid());
        const QString error = m_pg.create(QStringLiteral("import"));
        QVERIFY2(error.isEmpty(), qPrintable(error));
        m_source = m_dir.filePath("source.sqlite");
        makeSource(m_source);
        m_nwind = m_dir.filePath("nwind.sqlite");
        QStringList arguments;
        for (const char *t : {"Order Details", "Orders", "Products", "Shippers", "Categories", "Customers",
                              "Employees", "Suppliers", "Umsätze"})
            arguments << "--table" << QString::fromUtf8(t);
        const ToolRun run = runImport(arguments << fixturePath("access/nwind.mdb") << m_nwind);
        QVERIFY2(run.code == 0, qPrintable(run.err));
    }

    void init() { dropAll(); }

    // Every value of the real Access files, against what mdb-export prints for them.
    void accessTablesMatchExport_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("locale"); // the import's, when not the caller's
        for (const char *t : {"Order Details", "Orders", "Products", "Shippers", "Categories", "Customers",
                              "Employees", "Suppliers", "Umsätze"})
            QTest::addRow("nwind %s", t) << "access/nwind.mdb" << QString::fromUtf8(t) << "sqlite" << "";
        QTest::newRow("accdb Asset Items") << "access/ASampleDatabase.accdb" << "Asset Items" << "sqlite" << "";
        QTest::newRow("nwind Umsätze to postgres")
            << "access/nwind.mdb" << QString::fromUtf8("Umsätze") << "postgres" << "";
        QTest::newRow("accdb to postgres") << "access/ASampleDatabase.accdb" << "Asset Items" << "postgres" << "";
        // Decimal commas must not change a number read from the file.
        QTest::newRow("nwind Order Details, Turkish locale")
            << "access/nwind.mdb" << "Order Details" << "sqlite" << "tr_TR.UTF-8";
    }
    void accessTablesMatchExport()
    {
        QFETCH(QString, file);
        QFETCH(QString, table);
        QFETCH(QString, kind);
        QFETCH(QString, locale);
        if (!locale.isEmpty()) {
            const locale_t installed = newlocale(LC_ALL_MASK, locale.toUtf8().constData(), locale_t(0));
            if (!installed)
                QFAIL("the locale is not installed: scripts/install-deps.sh installs locales-all");
            freelocale(installed);
        }
        QString stored = m_nwind;
        if (kind == QLatin1String("postgres") || file.endsWith(QLatin1String(".accdb")) || !locale.isEmpty()) {
            stored = target(kind, "accdb.sqlite");
            QFile::remove(stored);
            const ToolRun run = runImport({"--table", table, fixturePath(file), stored}, locale);
            QVERIFY2(run.code == 0, qPrintable(run.err));
        }
        const QList<QStringList> exported = exportTable(fixturePath(file), table);
        QVERIFY(exported.size() > 1);
        const QStringList header = exported.first();

        TargetDb target("compare", stored);
        {
            QSqlQuery q(target.db());
            QVERIFY2(q.exec("select * from \"" + table + "\" order by id"), qPrintable(q.lastError().text()));
            QCOMPARE(q.record().count(), header.size() + 1);
            int row = 1;
            while (q.next()) {
                QVERIFY2(row < exported.size(), "more rows than exported");
                for (int c = 0; c < header.size(); ++c) {
                    QCOMPARE(q.record().fieldName(c + 1), header[c]);
                    const QString problem = mismatch(exported[row][c], q.value(c + 1));
                    QVERIFY2(problem.isEmpty(), qPrintable(QStringLiteral("row %1, %2: %3").arg(row).arg(header[c], problem)));
                }
                ++row;
            }
            QCOMPARE(row, exported.size());
        }
    }

    // Our schema from the user's: Turkish texts, nulls and empty texts as they were,
    // the columns Zemira reads in its kinds, the rest as they came, the source's ids
    // kept, and the program can open the result and search it.
    void baseTables_data() { addKinds(); }
    void baseTables()
    {
        QFETCH(QString, kind);
        const QString stored = target(kind, "base.sqlite");
        QFile::remove(stored);
        const ToolRun run = runImport({m_source, stored});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        QVERIFY(run.out.contains("harita: 12 satır"));

        {
            TargetDb target("base", stored);
            QSqlQuery q(target.db());
            QVERIFY(q.exec("select id, isim, tip, px, py, pafta, kod, cx, cy, \"Notlar\" from harita where id in (7, 8)"
                           " order by id"));
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toInt(), 7);
            QCOMPARE(q.value(1).toString(), QString("Üsküdar İskelesi"));
            QVERIFY(q.value(3).typeId() == QMetaType::Int || q.value(3).typeId() == QMetaType::LongLong);
            QCOMPARE(q.value(3).toString(), QString("100"));
            QCOMPARE(q.value(4).toString(), QString("100"));
            QCOMPARE(q.value(5).toString(), QString("12"));
            QCOMPARE(q.value(6).toString(), QString("5"));
            QCOMPARE(q.value(7).toDouble(), 1.5);
            QVERIFY(q.isNull(8));
            QCOMPARE(q.value(9).toString(), QString("ılık, şirin"));
            QVERIFY(q.next());
            QVERIFY(q.isNull(1));
            QVERIFY(!q.isNull(2));
            QCOMPARE(q.value(2).toString(), QString());
            // A place added later gets a new id, not one the source already used.
            QVERIFY(q.exec("insert into harita (isim) values ('yeni')"));
            QVERIFY(q.exec("select max(id) from harita"));
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toInt(), 19);
        }

        Connection c("base-connection");
        c.open(stored);
        QSqlDatabase zemira = c.database();
        QSqlQuery search(zemira);
        QVERIFY(search.exec("SELECT * FROM harita WHERE tip LIKE '%'  AND isim LIKE '%uskudar%'  ORDER BY PX"));
        QVERIFY(search.next());
        QCOMPARE(search.value("id").toInt(), 7);
        QVERIFY(!search.next());
    }

    void checkReport()
    {
        const QString stored = m_dir.filePath("check.sqlite");
        QFile::remove(stored);
        const ToolRun run = runImport({m_source, stored});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        QCOMPARE(countOf(run.out, "Paftası bir pafta numarası olmayan yerler"), 2);
        QCOMPARE(countOf(run.out, "Paftasının sınırları dışındaki yerler"), 2);
        QCOMPARE(countOf(run.out, "Tipi tipler tablosunda olmayan yerler"), 3);
        QCOMPARE(countOf(run.out, "Aynı paftada birbirine 10 pikselden yakın yer çiftleri"), 1);
        QVERIFY(run.out.contains("id 9 \"Yok Pafta\", pafta \"99\""));
        QVERIFY(run.out.contains("id 15 \"Çift A\" ve id 16 \"Çift B\""));
    }

    void refusesToOverwrite_data() { addKinds(); }
    void refusesToOverwrite()
    {
        QFETCH(QString, kind);
        const QString stored = target(kind, "existing.sqlite");
        if (kind == QLatin1String("sqlite")) {
            QFile old(stored);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old data");
        } else {
            QCOMPARE(runImport({m_source, stored}).code, 0);
        }
        const ToolRun refused = runImport({m_source, stored});
        QCOMPARE(refused.code, 1);
        QVERIFY2(refused.err.contains("--overwrite"), qPrintable(refused.err));
        if (kind == QLatin1String("sqlite")) {
            QFile old(stored);
            QVERIFY(old.open(QIODevice::ReadOnly));
            QCOMPARE(old.readAll(), QByteArray("old data"));
        }
        const ToolRun forced = runImport({"--overwrite", m_source, stored});
        QVERIFY2(forced.code == 0, qPrintable(forced.err));
        QVERIFY(forced.out.contains("harita: 12 satır"));
    }

    // A failure at the first table or in the middle of the last leaves the target
    // as it was: no file, no part file, no table, an overwritten file untouched.
    void failureLeavesNothing_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("existing");
        for (const char *kind : {"sqlite", "postgres"}) {
            QTest::addRow("%s: missing table", kind) << kind << "missing table" << false;
            QTest::addRow("%s: bad value in the last table", kind) << kind << "bad value" << false;
        }
        QTest::newRow("sqlite: bad value over an existing file") << "sqlite" << "bad value" << true;
    }
    void failureLeavesNothing()
    {
        QFETCH(QString, kind);
        QFETCH(QString, fault);
        QFETCH(bool, existing);
        QTemporaryDir dir;
        const QString source = dir.filePath("bad.sqlite");
        makeSource(source, fault == QLatin1String("bad value"));
        const QString stored = kind == QLatin1String("postgres") ? m_pg.uri() : dir.filePath("out.sqlite");
        if (existing) {
            QFile old(stored);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old data");
        }
        QStringList arguments = {"--overwrite", source, stored};
        if (fault == QLatin1String("missing table"))
            arguments = QStringList{"--table", "harita", "--table", "nehirler"} + arguments;
        const ToolRun run = runImport(arguments);
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains(fault == QLatin1String("bad value") ? "'geniş' tamsayı değil" : "nehirler"),
                 qPrintable(run.err));
        if (kind == QLatin1String("sqlite")) {
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), existing ? 2 : 1);
            if (existing) {
                QFile old(stored);
                QVERIFY(old.open(QIODevice::ReadOnly));
                QCOMPARE(old.readAll(), QByteArray("old data"));
            }
        } else {
            TargetDb target("left", stored);
            QSqlQuery q(target.db());
            QVERIFY(q.exec("select count(*) from pg_tables where schemaname = 'public'"));
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toInt(), 0);
        }
    }

    // Table and column names match under Turkish case rules; a column Zemira needs that
    // the source lacks is an error that leaves no file.
    void turkishNames_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("nameColumn");
        QTest::addColumn<QString>("typeColumn");
        QTest::addColumn<QString>("error"); // empty: the import succeeds
        QTest::newRow("dotted capitals") << "HARİTA" << "İSİM" << "TİP" << "";
        QTest::newRow("dotless capitals") << "HARITA" << "ISIM" << "Tip" << "";
        QTest::newRow("dotless small") << "harıta" << "ısım" << "tıp" << "";
        QTest::newRow("no name column") << "HARİTA" << "AD" << "TİP" << "isim sütunu yok";
        QTest::newRow("no type column") << "Harita" << "İSİM" << "TUR" << "tip sütunu yok";
        QTest::newRow("two columns for one") << "HARİTA" << "İSİM" << "Isım" << "birden çok ad uyuyor";
    }
    void turkishNames()
    {
        QFETCH(QString, table);
        QFETCH(QString, nameColumn);
        QFETCH(QString, typeColumn);
        QFETCH(QString, error);
        QTemporaryDir dir;
        const QString source = dir.filePath("kaynak.sqlite");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "source");
            db.setDatabaseName(source);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec(QStringLiteral("create table \"%1\" (ID integer, \"%2\" text, \"%3\" text, PX integer,"
                                          " PY integer, PAFTA text)")
                               .arg(table, nameColumn, typeColumn)));
            QVERIFY(q.exec(QStringLiteral("insert into \"%1\" values (1, 'Işıklı', 'Köy', 5, 6, '12')").arg(table)));
        }
        QSqlDatabase::removeDatabase("source");
        const QString stored = dir.filePath("hedef.sqlite");
        const ToolRun run = runImport({"--table", "harita", source, stored});
        if (!error.isEmpty()) {
            QCOMPARE(run.code, 1);
            QVERIFY2(run.err.contains(error), qPrintable(run.err));
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"kaynak.sqlite"});
            return;
        }
        QVERIFY2(run.code == 0, qPrintable(run.err));
        TargetDb target("turkish", stored);
        QSqlQuery q(target.db());
        QVERIFY(q.exec("select * from harita"));
        QVERIFY(q.next());
        QCOMPARE(q.value("isim").toString(), QString("Işıklı"));
        QCOMPARE(q.value("tip").toString(), QString("Köy"));
        QCOMPARE(q.value("px").toInt(), 5);
        QCOMPARE(q.record().count(), 9); // nothing left over as a column of its own
    }

    // --overwrite into a database file replaces the tables imported and keeps the rest,
    // and the file keeps its mode and group; a failure leaves the file as it was.
    void overwriteKeepsOtherTables_data()
    {
        QTest::addColumn<QStringList>("tables");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("fails");
        QTest::newRow("types into a shared file") << QStringList{"tipler"} << 0664 << false;
        QTest::newRow("places into a private file") << QStringList{"HARİTA"} << 0600 << false;
        QTest::newRow("a missing table") << QStringList{"tipler", "nehirler"} << 0664 << true;
    }
    void overwriteKeepsOtherTables()
    {
        QFETCH(QStringList, tables);
        QFETCH(int, mode);
        QFETCH(bool, fails);
        QTemporaryDir dir;
        const QString stored = dir.filePath("mevcut.sqlite");
        QCOMPARE(runImport({m_source, stored}).code, 0);
        {
            TargetDb target("old", stored);
            QSqlQuery q(target.db());
            QVERIFY(q.exec("insert into tipler (ad) values ('Eski')"));
            QVERIFY(q.exec("insert into harita (isim) values ('Eski')"));
            QVERIFY(q.exec("insert into pafta (num) values ('Eski')"));
            QVERIFY(q.exec("create table notlar (metin text)"));
        }
        const QByteArray path = QFile::encodeName(stored);
        QCOMPARE(::chmod(path.constData(), mode), 0);
        const gid_t group = ::geteuid() == 0 ? 4242 : ::getegid();
        QCOMPARE(::chown(path.constData(), uid_t(-1), group), 0);
        QFile before(stored);
        QVERIFY(before.open(QIODevice::ReadOnly));
        const QByteArray oldBytes = before.readAll();

        QStringList arguments = {"--overwrite"};
        for (const QString &t : tables)
            arguments << "--table" << t;
        const ToolRun run = runImport(arguments << m_source << stored);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"mevcut.sqlite"});
        struct stat after;
        QCOMPARE(::stat(path.constData(), &after), 0);
        QCOMPARE(int(after.st_mode & 07777), mode);
        QCOMPARE(after.st_gid, group);
        if (fails) {
            QCOMPARE(run.code, 1);
            QFile file(stored);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QVERIFY(file.readAll() == oldBytes);
            return;
        }
        QVERIFY2(run.code == 0, qPrintable(run.err));
        TargetDb target("new", stored);
        QSqlQuery q(target.db());
        const bool places = tables.first() != QLatin1String("tipler");
        // Rows of a replaced table are the source's; the others keep the row added above.
        for (const auto &[table, rows, replaced] : {std::tuple{"harita", 12, places}, {"tipler", 2, !places},
                                                    {"pafta", 2, false}}) {
            QVERIFY(q.exec(QStringLiteral("select count(*) from %1").arg(table)));
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toInt(), replaced ? rows : rows + 1);
        }
        QVERIFY(q.exec("select count(*) from notlar"));
    }

    // A new file gets the usual mode for the umask, not a private one.
    void newFileMode()
    {
        const QString stored = m_dir.filePath("yeni.sqlite");
        QFile::remove(stored);
        QCOMPARE(runImport({m_source, stored}).code, 0);
        const mode_t mask = ::umask(0);
        ::umask(mask);
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(stored).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), int(0666 & ~mask));
    }

    void accessNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("access");
        QTest::addColumn<QString>("imported");
        QTest::newRow("mdb") << "uskudar.mdb" << true << "uskudar.sqlite";
        QTest::newRow("accdb upper case") << "USKUDAR.ACCDB" << true << "USKUDAR.sqlite";
        QTest::newRow("backslashes") << "veri\\harita.mdb" << true << "veri/harita.sqlite";
        QTest::newRow("dot in a folder") << "v1.2\\harita" << false << "v1.2/harita.sqlite";
        QTest::newRow("sqlite") << "harita.sqlite" << false << "harita.sqlite";
    }
    void accessNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, access);
        QFETCH(QString, imported);
        QCOMPARE(isAccessDatabase(name), access);
        QCOMPARE(importedDatabaseFile(name), imported);
    }

    // The command start-up shows is run as a user would paste it, from a folder
    // whose name a shell would otherwise split and unquote.
    void importCommandRunsInAShell()
    {
        const QString dataDir = m_dir.filePath("Veri 'Ege' $HOME");
        QVERIFY(QDir().mkpath(dataDir));
        QVERIFY(QFile::copy(fixturePath("access/ASampleDatabase.accdb"), dataDir + "/uskudar.accdb"));
        const QString command = accessImportCommand(dataDir + '/', "uskudar.accdb");
        QVERIFY(command.startsWith("zemira-import "));
        QProcess shell;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PATH", QFileInfo(kImport).absolutePath() + ':' + env.value("PATH"));
        shell.setProcessEnvironment(env);
        shell.start("sh", {"-c", command});
        QVERIFY(shell.waitForFinished(60000));
        // The file has no harita table: the import refuses, naming the exact path it was given.
        QCOMPARE(shell.exitCode(), 1);
        QVERIFY2(QString::fromUtf8(shell.readAllStandardError()).contains(dataDir + "/uskudar.accdb"), qPrintable(command));
        QVERIFY(!QFile::exists(dataDir + "/uskudar.sqlite"));
    }
};

QTEST_GUILESS_MAIN(TestImport)
#include "test_import.moc"
