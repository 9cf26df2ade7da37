#include "pgtestsupport.h"
#include "testsupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// The listed pairs, most likely first, as "name/name".
QStringList pairs(const QString &out)
{
    static const QRegularExpression line(QStringLiteral(R"re(^    \d+\. id \d+ "([^"]*)".* ve id \d+ "([^"]*)")re"),
                                         QRegularExpression::MultilineOption);
    QStringList found;
    for (auto it = line.globalMatch(out); it.hasNext();) {
        const auto m = it.next();
        found << m.captured(1) + '/' + m.captured(2);
    }
    return found;
}

QByteArray digest(const QString &file)
{
    QFile f(file);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

} // namespace

class TestCheck : public QObject {
    Q_OBJECT

    TempRegion m_region;
    QString m_database;

private slots:
    // Sheets of 900 x 700 in a 2 x 2 grid: K18-a1 at (0, 0), K18-a2 at (900, 0), K18-b1 at (0, 700).
    void initTestCase()
    {
        m_database = m_region.dir() + m_region.region.databaseFile;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("plant"));
            db.setDatabaseName(m_database);
            QVERIFY(db.open());
            QSqlQuery q(db);
            const struct {
                const char *name, *sheet;
                int x, y;
            } planted[] = {
                {"Çamlıca", "K18-a1", 898, 300}, {"CAMLICA", "K18-a2", 2, 303}, // across the edge, 5 px
                {"Akçaova", "K18-b1", 100, 2},   {"Akçova", "K18-a1", 104, 697}, // a letter fewer, 6.4 px
                {"Yalıköy", "K18-b2", 400, 400}, {"YALIKÖY", "K18-b2", 430, 400}, // 30 px
                {"Ova", "K18-b2", 100, 100},     {"Oba", "K18-b2", 103, 100},     // too short for a typo
            };
            for (const auto &p : planted)
                QVERIFY2(q.exec(QStringLiteral("insert into harita (isim, tip, px, py, pafta) values ('%1', 'Köy', %2, %3, '%4')")
                                    .arg(QString::fromUtf8(p.name))
                                    .arg(p.x)
                                    .arg(p.y)
                                    .arg(QLatin1String(p.sheet))),
                         qPrintable(q.lastError().text()));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("plant"));
    }

    void ranking_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("count");
        const QString camlica = QStringLiteral("Çamlıca/CAMLICA");
        const QString akcaova = QStringLiteral("Akçaova/Akçova");
        const QString yalikoy = QStringLiteral("Yalıköy/YALIKÖY");
        QTest::newRow("defaults") << QStringList() << QStringList{camlica, akcaova} << 2;
        QTest::newRow("equal names outrank a nearer typo")
            << QStringList{"--distance", "40"} << QStringList{camlica, yalikoy, akcaova} << 3;
        QTest::newRow("distance inclusive") << QStringList{"--distance", "5"} << QStringList{camlica} << 1;
        QTest::newRow("no edits") << QStringList{"--max-edits", "0"} << QStringList{camlica} << 1;
        QTest::newRow("short names stay exact") << QStringList{"--max-edits", "2"} << QStringList{camlica, akcaova} << 2;
        QTest::newRow("limit") << QStringList{"--limit", "1"} << QStringList{camlica} << 2;
    }

    void ranking()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, expected);
        QFETCH(int, count);
        const ToolRun r = runTool(QStringLiteral("zemira-check"), QStringList{m_region.dir()} + arguments);
        QCOMPARE(r.err, QString());
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.startsWith(QStringLiteral("Denetim:\n")), qPrintable(r.out));
        QVERIFY(r.out.contains(QStringLiteral("\n  Aynı paftada birbirine 10 pikselden yakın yer çiftleri: ")));
        QVERIFY2(r.out.contains(QStringLiteral("(olası çift kayıtlar): %1\n").arg(count)), qPrintable(r.out));
        QCOMPARE(pairs(r.out), expected);
        QCOMPARE(r.out.endsWith(QStringLiteral("    ...\n")), count > expected.size());
    }

    void pairLine()
    {
        const ToolRun r = runTool(QStringLiteral("zemira-check"), {m_database});
        QVERIFY2(r.out.contains(QRegularExpression(QStringLiteral(
                     R"re(\n    1\. id \d+ "Çamlıca", pafta "K18-a1" \(898, 300\) ve id \d+ "CAMLICA", pafta "K18-a2" \(2, 303\): 5,0 piksel, ad aynı\n)re"))),
                 qPrintable(r.out));
        QVERIFY(r.out.contains(QStringLiteral(": 6,4 piksel, 1 harf farklı\n")));
        // The import's figure: one sheet, 10 pixels either way, names aside.
        QVERIFY(r.out.contains(
            QRegularExpression(QStringLiteral(R"re(\n    id \d+ "Ova" ve id \d+ "Oba", pafta "K18-b2" \(100, 100\)\n)re"))));
    }

    // A directory, its database file and the same data on a server read alike, and nothing changes.
    void targets()
    {
        const QByteArray before = digest(m_database);
        const QDateTime modified = QFileInfo(m_database).lastModified();
        const ToolRun fromDir = runTool(QStringLiteral("zemira-check"), {m_region.dir()});
        const ToolRun fromFile = runTool(QStringLiteral("zemira-check"), {m_database});
        QCOMPARE(fromDir.code, 0);
        QCOMPARE(fromFile.out, fromDir.out);
        QCOMPARE(digest(m_database), before);
        QCOMPARE(QFileInfo(m_database).lastModified(), modified);

        PgScratchDatabase pg;
        const QString error = pg.create(QStringLiteral("check"));
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const ToolRun import = runTool(QStringLiteral("zemira-import"), {m_database, pg.uri()});
        QVERIFY2(import.code == 0, qPrintable(import.err));
        const ToolRun fromServer = runTool(QStringLiteral("zemira-check"), {pg.uri()});
        QCOMPARE(fromServer.err, QString());
        QCOMPARE(fromServer.out, fromDir.out);
    }

    void errors_data()
    {
        QTest::addColumn<QString>("startupLine2"); // empty: HARITA.TXT left as it is
        QTest::addColumn<QStringList>("arguments"); // "DIR" is the region
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing file") << QString() << QStringList{"DIR/yok.sqlite"} << 1
                                      << "Veritabanı dosyası bulunamadı: ";
        QTest::newRow("line 2 names a missing file") << "yok.sqlite" << QStringList{"DIR"} << 1
                                                     << "Veritabanı dosyası bulunamadı: ";
        QTest::newRow("access database") << "eski.mdb" << QStringList{"DIR"} << 1 << "zemira-import";
        QTest::newRow("not a zemira database") << "K18-a1.jpg" << QStringList{"DIR"} << 1
                                               << "Bir Zemira veritabanı değil";
        QTest::newRow("no startup file") << QString() << QStringList{"EMPTY"} << 1 << "HARITA.TXT dosyası bulunamadı";
        QTest::newRow("bad distance") << QString() << QStringList{"DIR", "--distance", "on"} << 2 << "--distance";
        QTest::newRow("negative edits") << QString() << QStringList{"DIR", "--max-edits", "-1"} << 2 << "--max-edits";
        QTest::newRow("no data") << QString() << QStringList() << 2 << "VERİ gerekli";
    }

    void errors()
    {
        QFETCH(QString, startupLine2);
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, message);
        std::unique_ptr<TempRegion> own;
        if (!startupLine2.isEmpty()) {
            own = std::make_unique<TempRegion>();
            own->setStartupLine(2, startupLine2);
        }
        const QTemporaryDir empty;
        for (QString &a : arguments) {
            a.replace(QLatin1String("DIR"), own ? own->dir() : m_region.dir());
            a.replace(QLatin1String("EMPTY"), empty.path());
        }
        const ToolRun r = runTool(QStringLiteral("zemira-check"), arguments);
        QCOMPARE(r.code, code);
        QCOMPARE(r.out, QString());
        QVERIFY2(r.err.startsWith(QStringLiteral("zemira-check: ")) && r.err.contains(message), qPrintable(r.err));
    }
};

QTEST_MAIN(TestCheck)
#include "test_check.moc"
