// Saves places through the dataset layer, as the entry window does, and prints each
// one the layer reports saved, flushed, before going on. For the fault-injection tests.
//
//   savefaults_saver TARGET [--loop FROM COUNT] [--kill-at commit|write|journal:K]
// Without --loop it reads commands from standard input: "save I" begins place I and
// saves it, "retry" saves the row still being edited. It prints "ready", then per save
// "saved ID I" or "failed NAME<TAB>MESSAGE" (NAME: what the unsaved row still holds).
// --kill-at raises SIGKILL inside the K-th commit of SQLite: before anything is written
// (commit), after the first page of the database file is written (write), or with the
// file written but its journal not yet deleted (journal). A loop ends with
// "journals deleted N, without a directory sync M": a deletion that is not synced may
// come back after a power cut and undo a save reported done.
#include "savefaults.h"
#include "data/connection.h"
#include "framework/dataset.h"
#include "framework/errors.h"

#include <QCoreApplication>
#include <QSqlDriver>
#include <QStringList>

#include <csignal>
#include <cstring>
#include <iostream>
#include <string>

#include <sqlite3.h>

namespace {

enum class KillPoint { None, Commit, Write, Journal };
KillPoint killPoint = KillPoint::None;
int killCommit = 0;
int commits = 0;
int writesInCommit = 0;
int journalsDeleted = 0;
int journalsDeletedUnsynced = 0;

int onCommit(void *)
{
    ++commits;
    writesInCommit = 0;
    if (killPoint == KillPoint::Commit && commits == killCommit)
        raise(SIGKILL);
    return 0;
}

bool killingNow(KillPoint point)
{
    return killPoint == point && commits == killCommit;
}

// A VFS over the default one that only watches writes to the database file and
// deletions of journals; everything else is the real file system.
sqlite3_vfs *realVfs = nullptr;
sqlite3_vfs watchingVfs;
sqlite3_io_methods dbMethods;
const sqlite3_io_methods *realDbMethods = nullptr;

int dbWrite(sqlite3_file *file, const void *data, int amount, sqlite3_int64 offset)
{
    if (killingNow(KillPoint::Write) && ++writesInCommit == 2)
        raise(SIGKILL);
    return realDbMethods->xWrite(file, data, amount, offset);
}

int openFile(sqlite3_vfs *, sqlite3_filename name, sqlite3_file *file, int flags, int *outFlags)
{
    const int rc = realVfs->xOpen(realVfs, name, file, flags, outFlags);
    if (rc == SQLITE_OK && (flags & SQLITE_OPEN_MAIN_DB) && file->pMethods) {
        if (!realDbMethods) {
            realDbMethods = file->pMethods;
            dbMethods = *file->pMethods;
            dbMethods.xWrite = dbWrite;
        }
        file->pMethods = &dbMethods;
    }
    return rc;
}

int deleteFile(sqlite3_vfs *, const char *name, int syncDir)
{
    const std::size_t n = std::strlen(name);
    if (n > 8 && std::strcmp(name + n - 8, "-journal") == 0) {
        if (killingNow(KillPoint::Journal))
            raise(SIGKILL);
        ++journalsDeleted;
        journalsDeletedUnsynced += syncDir == 0;
    }
    return realVfs->xDelete(realVfs, name, syncDir);
}

void installWatchingVfs()
{
    realVfs = sqlite3_vfs_find(nullptr);
    watchingVfs = *realVfs;
    watchingVfs.zName = "savefaults-watching";
    watchingVfs.xOpen = openFile;
    watchingVfs.xDelete = deleteFile;
    sqlite3_vfs_register(&watchingVfs, 1);
}

void say(const QString &line)
{
    std::cout << line.toStdString() << std::endl; // endl flushes
}

bool save(Dataset &q)
{
    try {
        q.post();
        say(QStringLiteral("saved %1 %2").arg(q.asInteger("id")).arg(q.asInteger("px")));
        return true;
    } catch (const Error &e) {
        const QString state = q.state() == Dataset::State::Insert ? q.asString("isim") : QStringLiteral("<not editing>");
        say(QStringLiteral("failed %1\t%2").arg(state, e.text().simplified()));
        return false;
    }
}

void begin(Dataset &q, int i)
{
    const QVariantList values = savedPlace(i);
    const QStringList columns = QString::fromLatin1(savedColumns()).split(QStringLiteral(", "));
    q.append();
    for (int c = 0; c < columns.size(); ++c)
        q.setValue(columns[c], values[c]);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        std::cerr << "usage: savefaults_saver TARGET [--loop FROM COUNT] [--kill-at POINT:K]\n";
        return 2;
    }
    const QString target = args.takeFirst();
    int loopFrom = 0, loopCount = -1;
    while (!args.isEmpty()) {
        const QString option = args.takeFirst();
        if (option == QLatin1String("--loop") && args.size() >= 2) {
            loopFrom = args.takeFirst().toInt();
            loopCount = args.takeFirst().toInt();
        } else if (option == QLatin1String("--kill-at") && !args.isEmpty()) {
            const QStringList parts = args.takeFirst().split(':');
            const QString point = parts.value(0);
            killPoint = point == QLatin1String("commit") ? KillPoint::Commit
                : point == QLatin1String("write")        ? KillPoint::Write
                : point == QLatin1String("journal")      ? KillPoint::Journal
                                                         : KillPoint::None;
            killCommit = parts.value(1).toInt();
        } else {
            std::cerr << "savefaults_saver: bad option " << option.toStdString() << "\n";
            return 2;
        }
    }
    installWatchingVfs();

    Connection connection;
    Dataset q(QStringLiteral("qHarita"), connection);
    try {
        connection.open(target);
        if (!connection.isPostgres()) {
            const QVariant handle = connection.database().driver()->handle();
            sqlite3_commit_hook(*static_cast<sqlite3 *const *>(handle.constData()), onCommit, nullptr);
        }
        q.setSql(QStringLiteral("select * from harita order by px"));
        q.open();
    } catch (const Error &e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    say(QStringLiteral("ready"));
    journalsDeleted = journalsDeletedUnsynced = 0; // count the saves' own

    if (loopCount >= 0) {
        for (int i = loopFrom; i < loopFrom + loopCount; ++i) {
            begin(q, i);
            if (!save(q))
                return 1;
        }
        say(QStringLiteral("journals deleted %1, without a directory sync %2").arg(journalsDeleted).arg(journalsDeletedUnsynced));
        return 0;
    }
    std::string line;
    while (std::getline(std::cin, line)) {
        const QString command = QString::fromStdString(line);
        if (command.startsWith(QLatin1String("save "))) {
            if (q.isEditing())
                q.cancel();
            begin(q, command.mid(5).toInt());
            save(q);
        } else if (command == QLatin1String("retry")) {
            save(q);
        }
    }
    return 0;
}
