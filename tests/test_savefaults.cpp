// Saves under real faults: a saving process killed with SIGKILL at chosen points of a
// commit and at random moments, a full disk, a database made read-only while open, a
// PostgreSQL server restarted. Afterwards every place reported saved is there whole,
// no row is half-written, and a failed save keeps what was typed.
#include "data/postgres.h"
#include "data/schema.h"
#include "framework/dataset.h"
#include "framework/dbedit.h"
#include "map/uHarita.h"
#include "places/uBilgigir.h"
#include "pgtestsupport.h"
#include "savefaults.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

using Saved = QList<std::pair<int, int>>; // id and place number, as the saver reported them

// The saving process (savefaults_saver), driven line by line.
class Saver {
public:
    explicit Saver(const QStringList &arguments)
    {
        m_process.setProgram(QStringLiteral(ZEMIRA_BIN_DIR "/tests/savefaults_saver"));
        m_process.setArguments(arguments);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
    }
    ~Saver()
    {
        if (m_process.state() != QProcess::NotRunning)
            kill();
    }
    // The next line it prints, "" when it ended first.
    QString line(int timeoutMs = 10000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!m_process.canReadLine() && m_process.state() != QProcess::NotRunning
               && clock.elapsed() < timeoutMs)
            m_process.waitForReadyRead(100);
        if (!m_process.canReadLine())
            return QString();
        return take(QString::fromUtf8(m_process.readLine()).chopped(1));
    }
    void send(const QString &text)
    {
        m_process.write((text + '\n').toUtf8());
        m_process.waitForBytesWritten();
    }
    QString command(const QString &text)
    {
        send(text);
        return line();
    }
    void kill()
    {
        ::kill(pid_t(m_process.processId()), SIGKILL);
        m_process.waitForFinished(10000);
        drain();
    }
    bool finish(int timeoutMs = 30000)
    {
        const bool done = m_process.waitForFinished(timeoutMs);
        drain();
        return done;
    }
    bool killed() const { return m_process.exitStatus() == QProcess::CrashExit; }
    Saved saved;
    QString lastLine;

private:
    QString take(const QString &line)
    {
        lastLine = line;
        const QStringList parts = line.split(' ');
        if (parts.size() == 3 && parts[0] == QLatin1String("saved"))
            saved.append({parts[1].toInt(), parts[2].toInt()});
        return line;
    }
    void drain()
    {
        while (m_process.canReadLine())
            take(QString::fromUtf8(m_process.readLine()).chopped(1));
    }
    QProcess m_process;
};

// Runs f on a fresh connection of its own to target (a file or a server URI).
template <class F> void withDatabase(const QString &target, F &&f)
{
    {
        const bool pg = target.startsWith(QLatin1String("postgresql://"));
        QSqlDatabase db = QSqlDatabase::addDatabase(pg ? "QPSQL" : "QSQLITE", "check");
        if (pg)
            configurePostgres(db, target);
        else
            db.setDatabaseName(target);
        if (!db.open())
            qFatal("%s", qPrintable(db.lastError().text()));
        f(db);
    }
    QSqlDatabase::removeDatabase("check");
}

void exec(QSqlDatabase &db, const QString &statement)
{
    QSqlQuery q(db);
    if (!q.exec(statement))
        qFatal("%s: %s", qPrintable(statement), qPrintable(q.lastError().text()));
}

QString newPlacesFile(const QString &dir)
{
    const QString path = dir + "/harita.sqlite";
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "make");
    db.setDatabaseName(path);
    db.open();
    createSchema(db);
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase("make");
    return path;
}

// "" when every reported place is stored whole, every stored row is a whole place and
// the file passes SQLite's own check; otherwise what is wrong. rows: how many are stored.
QString check(const QString &target, const Saved &saved, int *rows = nullptr)
{
    QString problem;
    withDatabase(target, [&](QSqlDatabase &db) {
        QSqlQuery q(db);
        if (db.driverName() == QLatin1String("QSQLITE")) {
            q.exec("pragma integrity_check");
            if (!q.next() || q.value(0).toString() != QLatin1String("ok"))
                problem = "integrity check: " + q.value(0).toString() + q.lastError().text();
        }
        q.exec(QStringLiteral("select id, %1 from harita").arg(savedColumns()));
        QHash<int, int> placeOfId;
        while (q.next()) {
            QVariantList values;
            for (int c = 1; c < q.record().count(); ++c)
                values << q.value(c);
            const int place = values[0].toInt();
            if (values != savedPlace(place) && problem.isEmpty())
                problem = QStringLiteral("row %1 is not whole: %2").arg(q.value(0).toInt()).arg(values[4].toString().left(20));
            placeOfId.insert(q.value(0).toInt(), place);
        }
        for (const auto &[id, place] : saved)
            if (placeOfId.value(id, -1) != place && problem.isEmpty())
                problem = QStringLiteral("place %1 reported saved as id %2 is missing").arg(place).arg(id);
        if (rows)
            *rows = int(placeOfId.size());
    });
    return problem;
}

// The file as a reader would find it without its journal: "ok, N rows" or "damaged".
QString ignoringTheJournal(const QString &file)
{
    QString found;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "raw");
        db.setConnectOptions("QSQLITE_OPEN_URI;QSQLITE_OPEN_READONLY");
        db.setDatabaseName("file:" + file + "?immutable=1");
        QSqlQuery q(db);
        if (db.open() && q.exec("pragma integrity_check") && q.next() && q.value(0).toString() == "ok"
            && q.exec("select count(*) from harita") && q.next())
            found = QStringLiteral("ok, %1 rows").arg(q.value(0).toInt());
        else
            found = "damaged";
    }
    QSqlDatabase::removeDatabase("raw");
    return found;
}

bool isRoot()
{
    return geteuid() == 0;
}

// A small file system of its own, so that filling it fills nothing else.
class SmallDisk {
public:
    SmallDisk()
    {
        if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, "size=1m") != 0)
            qFatal("cannot mount a small disk at %s", qPrintable(m_dir.path()));
    }
    ~SmallDisk() { ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH); }
    QString path() const { return m_dir.path(); }
    void fill()
    {
        QFile filler(path() + "/filler");
        filler.open(QIODevice::WriteOnly);
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }
    void free() { QFile::remove(path() + "/filler"); }

private:
    QTemporaryDir m_dir;
};

void restartServer()
{
    const QString ctl = qEnvironmentVariable("ZEMIRA_TEST_PG_CTL");
    if (ctl.isEmpty())
        qFatal("%s", qPrintable(pgMissingServerText("ZEMIRA_TEST_PG_CTL")));
    if (QProcess::execute(ctl, {"restart", "restart"}) != 0)
        qFatal("the restart server did not restart");
}

// A scratch PostgreSQL database with the places tables.
QString newPlacesServer(PgScratchDatabase &pg, const QString &name, const char *server = "ZEMIRA_TEST_PG")
{
    const QString error = pg.create(name, server);
    if (!error.isEmpty())
        qFatal("%s", qPrintable(error));
    withDatabase(pg.uri(), [](QSqlDatabase &db) { createSchema(db); });
    return pg.uri();
}

// The number of sessions on the scratch database besides the asking one, optionally
// only those sleeping.
int otherSessions(const QString &uri, bool sleeping)
{
    int count = -1;
    withDatabase(uri, [&](QSqlDatabase &db) {
        QSqlQuery q(db);
        q.exec(QStringLiteral("select count(*) from pg_stat_activity where datname = current_database()"
                              " and pid <> pg_backend_pid()%1")
                   .arg(sleeping ? " and wait_event = 'PgSleep'" : ""));
        q.next();
        count = q.value(0).toInt();
    });
    return count;
}

bool waitFor(const std::function<bool()> &condition, int timeoutMs = 15000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QThread::msleep(50);
    }
    return true;
}

} // namespace

class TestSaveFaults : public QObject {
    Q_OBJECT
private slots:
    // SIGKILL inside the k-th commit, at the points where a half-written file is possible.
    void killInsideACommit_data()
    {
        QTest::addColumn<QString>("point");
        QTest::addColumn<int>("k");
        QTest::addColumn<QString>("withoutJournal"); // what the journal has to undo
        QTest::newRow("first save, before the commit") << "commit" << 1 << "ok, 0 rows";
        QTest::newRow("before the commit") << "commit" << 4 << "ok, 3 rows";
        QTest::newRow("database file half written") << "write" << 4 << "damaged";
        QTest::newRow("written, journal not yet deleted") << "journal" << 4 << "ok, 4 rows";
    }
    void killInsideACommit()
    {
        QFETCH(QString, point);
        QFETCH(int, k);
        QFETCH(QString, withoutJournal);
        QTemporaryDir dir;
        const QString file = newPlacesFile(dir.path());
        Saver saver({file, "--loop", "1", "10", "--kill-at", point + ':' + QString::number(k)});
        QVERIFY(saver.finish());
        QVERIFY2(saver.killed(), "the saver was not killed where it should have been");
        QCOMPARE(saver.saved.size(), k - 1);
        QVERIFY(QFile::exists(file + "-journal")); // killed inside the write
        QCOMPARE(ignoringTheJournal(file), withoutJournal);

        int rows = 0;
        const QString problem = check(file, saver.saved, &rows);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QCOMPARE(rows, k - 1); // the killed save was rolled back

        Saver after({file, "--loop", "100", "2"});
        QVERIFY(after.finish());
        QCOMPARE(after.saved.size(), 2);
        QCOMPARE(check(file, saver.saved + after.saved, &rows), QString());
        QCOMPARE(rows, k + 1);
    }

    // Each save is on disk when reported: a rollback journal (WAL breaks on network file
    // systems, and a file keeps WAL mode once another program set it), whose deletion,
    // the commit itself, is synced to the folder.
    void savesAreDurableWithARollbackJournal()
    {
        QTemporaryDir dir;
        const QString file = newPlacesFile(dir.path());
        withDatabase(file, [](QSqlDatabase &db) { exec(db, "pragma journal_mode = wal"); });
        Saver saver({file, "--loop", "1", "3"});
        QVERIFY(saver.finish());
        QCOMPARE(saver.saved.size(), 3);
        QCOMPARE(saver.lastLine, QString("journals deleted 3, without a directory sync 0"));
        QString mode;
        withDatabase(file, [&](QSqlDatabase &db) {
            QSqlQuery q(db);
            q.exec("pragma journal_mode");
            q.next();
            mode = q.value(0).toString();
        });
        QCOMPARE(mode, QString("delete"));
    }

    // Rounds of a saving loop killed after a random delay; the seed is printed.
    void killAtRandomMoments_data()
    {
        QTest::addColumn<bool>("server");
        QTest::addColumn<int>("rounds");
        QTest::newRow("SQLite file") << false << 12;
        QTest::newRow("PostgreSQL") << true << 6;
    }
    void killAtRandomMoments()
    {
        QFETCH(bool, server);
        QFETCH(int, rounds);
        QTemporaryDir dir;
        PgScratchDatabase pg;
        const QString target = server ? newPlacesServer(pg, "savekill") : newPlacesFile(dir.path());
        const quint32 seed = QRandomGenerator::global()->generate();
        qInfo("seed %u", seed);
        QRandomGenerator random(seed);
        Saved saved;
        int killedMidLoop = 0;
        for (int round = 0; round < rounds; ++round) {
            Saver saver({target, "--loop", QString::number(round * 1000), "1000"});
            QCOMPARE(saver.line(), QString("ready"));
            QThread::msleep(random.bounded(20, 400));
            saver.kill();
            killedMidLoop += saver.saved.size() < 1000;
            saved += saver.saved;
            int rows = 0;
            const QString problem = check(target, saved, &rows);
            QVERIFY2(problem.isEmpty(), qPrintable(QString("round %1: %2").arg(round).arg(problem)));
            // Besides what was reported, at most the save in flight of each round.
            QVERIFY2(rows <= saved.size() + round + 1, qPrintable(QString::number(rows)));
        }
        qInfo("%d kills, %d saves reported", rounds, int(saved.size()));
        QCOMPARE(killedMidLoop, rounds);
        QVERIFY(saved.size() > rounds); // the kills did come between saves
    }

    // PostgreSQL: the client killed while the server holds its save, sleeping in a
    // trigger after the statement or inside the commit.
    void killWhileTheServerHoldsTheSave_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<bool>("stored");
        QTest::newRow("after the statement")
            << "create trigger slow after insert on harita for each row execute function slow()" << false;
        QTest::newRow("inside the commit")
            << "create constraint trigger slow after insert on harita deferrable initially deferred"
               " for each row execute function slow()"
            << true;
    }
    void killWhileTheServerHoldsTheSave()
    {
        QFETCH(QString, trigger);
        QFETCH(bool, stored);
        PgScratchDatabase pg;
        const QString uri = newPlacesServer(pg, "saveheld");
        withDatabase(uri, [&](QSqlDatabase &db) {
            exec(db, "create function slow() returns trigger language plpgsql as $$ begin"
                     " if new.px = 7 then perform pg_sleep(1.5); end if; return new; end $$");
            exec(db, trigger);
        });
        Saver saver({uri});
        QCOMPARE(saver.line(), QString("ready"));
        QVERIFY(saver.command("save 1").startsWith("saved "));
        QVERIFY(saver.command("save 2").startsWith("saved "));
        saver.send("save 7");
        QVERIFY(waitFor([&] { return otherSessions(uri, true) == 1; }));
        saver.kill();
        QCOMPARE(saver.saved.size(), 2);
        QVERIFY(waitFor([&] { return otherSessions(uri, false) == 0; }));
        int rows = 0;
        const QString problem = check(uri, saver.saved, &rows);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QCOMPARE(rows, stored ? 3 : 2);
    }

    // A save that fails keeps the row as typed; once the fault is gone the same row is
    // saved, once.
    void failedSaveKeepsTheRow_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("says"); // how the message begins
        const QString readOnly = "Veritabanı dosyasına yazılamadı";
        QTest::newRow("disk full") << "full" << "Diskte yer kalmadı";
        QTest::newRow("file made read-only") << "file" << readOnly;
        QTest::newRow("folder and file made read-only") << "folder" << readOnly;
        QTest::newRow("server restarted") << "restart" << "";
    }
    void failedSaveKeepsTheRow()
    {
        QFETCH(QString, fault);
        QFETCH(QString, says);
        if (fault != "restart" && !isRoot())
            QSKIP("a full disk and read-only files are made as root");
        PgScratchDatabase pg;
        std::unique_ptr<SmallDisk> disk;
        QTemporaryDir dir;
        QString target;
        if (fault == "restart") {
            target = newPlacesServer(pg, "savefail", "ZEMIRA_TEST_PG_RESTART");
        } else if (fault == "full") {
            disk = std::make_unique<SmallDisk>();
            target = newPlacesFile(disk->path());
        } else {
            target = newPlacesFile(dir.path());
        }
        Saver saver({target});
        QCOMPARE(saver.line(), QString("ready"));
        QVERIFY(saver.command("save 1").startsWith("saved "));
        QVERIFY(saver.command("save 2").startsWith("saved "));
        QString failed;
        {
            std::unique_ptr<ReadOnly> readOnly;
            if (fault == "full")
                disk->fill();
            else if (fault == "file")
                readOnly = std::make_unique<ReadOnly>(QStringList{target});
            else if (fault == "folder")
                readOnly = std::make_unique<ReadOnly>(QStringList{target, dir.path()});
            else
                restartServer();
            failed = saver.command("save 3");
            if (disk)
                disk->free();
        }
        const QString name = savedPlace(3)[4].toString();
        QVERIFY2(failed.startsWith("failed " + name + '\t'), qPrintable(failed.left(40)));
        const QString message = failed.section('\t', 1);
        QVERIFY2(!message.isEmpty() && message.startsWith(says), qPrintable(message));
        const QString retried = saver.command("retry");
        QVERIFY2(retried.startsWith("saved "), qPrintable(retried.left(20) + retried.section(QChar(9), 1)));
        QVERIFY(saver.command("save 4").startsWith("saved "));
        int rows = 0;
        const QString problem = check(target, saver.saved, &rows);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QCOMPARE(rows, 4);
    }

    // In the entry window: the name typed for a place that cannot be saved stays in its
    // edit box, and Enter saves it once the database can be written again.
    void entryWindowKeepsTheNameOfAFailedSave_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("says");
        QTest::newRow("folder and file made read-only") << "folder" << "Veritabanı dosyasına yazılamadı";
        QTest::newRow("disk full") << "full" << "Diskte yer kalmadı";
    }
    void entryWindowKeepsTheNameOfAFailedSave()
    {
        QFETCH(QString, fault);
        QFETCH(QString, says);
        if (!isRoot())
            QSKIP("a full disk and read-only files are made as root");
        TempRegion r;
        const QString file = r.dir() + "harita.sqlite";
        std::unique_ptr<SmallDisk> disk;
        if (fault == "full") { // the database moves to the small disk, the folder keeps a link to it
            disk = std::make_unique<SmallDisk>();
            const QString moved = disk->path() + "/harita.sqlite";
            QVERIFY(QFile::copy(file, moved) && QFile::remove(file) && QFile::link(moved, file));
        }
        RunningZemira z(r.dir());
        fHarita->show();
        DialogAnswerer answerer;
        QTest::mouseClick(fHarita->Button4, Qt::LeftButton);
        clickAt(fHarita->Image2, QPoint(50, 60));
        QTest::keyClicks(fBilgigir->DBEdit4, "Yenice");
        {
            std::unique_ptr<ReadOnly> readOnly;
            if (disk)
                disk->fill();
            else
                readOnly = std::make_unique<ReadOnly>(QStringList{file, r.dir()});
            QTest::keyClick(fBilgigir->DBEdit4, Qt::Key_Return);
            if (disk)
                disk->free();
        }
        QCOMPARE(answerer.texts.size(), 1);
        QVERIFY2(answerer.texts[0].startsWith(says), qPrintable(answerer.texts[0]));
        QCOMPARE(fHarita->qHarita->state(), Dataset::State::Insert);
        QCOMPARE(fBilgigir->DBEdit4->text(), QString("Yenice"));
        QTest::keyClick(fBilgigir->DBEdit4, Qt::Key_Return);
        QCOMPARE(answerer.texts.size(), 1);
        QCOMPARE(fHarita->qHarita->state(), Dataset::State::Browse);
        int named = 0;
        withDatabase(file, [&](QSqlDatabase &db) {
            QSqlQuery q(db);
            q.exec("select count(*) from harita where isim = 'Yenice' and px = 50 and py = 60");
            q.next();
            named = q.value(0).toInt();
        });
        QCOMPARE(named, 1);
    }
};

QTEST_MAIN(TestSaveFaults)
#include "test_savefaults.moc"
