#include "importer.h"
#include "access_source.h"
#include "check_report.h"
#include "sqlite_source.h"
#include "tableplan.h"
#include "data/accessimport.h"
#include "data/connection.h"
#include "data/postgres.h"
#include "framework/errors.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>

#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Closes and forgets the connection however the import ends.
struct TargetDatabase {
    QString name;
    QSqlDatabase db;
    explicit TargetDatabase(const QString &driver, const QString &connection = QStringLiteral("zemira-import-target"))
        : name(connection), db(QSqlDatabase::addDatabase(driver, connection))
    {
    }
    ~TargetDatabase()
    {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
};

void run(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        throw Error(q.lastError().text());
}

void openDatabase(TargetDatabase &target)
{
    if (!target.db.open())
        throw Error(target.db.lastError().text());
}

std::unique_ptr<Source> openSource(const QString &path)
{
    if (isAccessDatabase(path))
        return std::make_unique<AccessSource>(path);
    return std::make_unique<SqliteSource>(path);
}

bool tableExists(QSqlDatabase &db, const QString &table)
{
    QSqlQuery q(db);
    return q.exec(QStringLiteral("select 1 from %1 where 1 = 0").arg(quotedName(table)));
}

qint64 copyTable(Source &source, const TablePlan &plan, QSqlDatabase &db, bool postgres,
                 const ImportProgress &progress)
{
    for (const QString &statement : createStatements(plan, postgres))
        run(db, statement);
    QSqlQuery insert(db);
    if (!insert.prepare(insertStatement(plan)))
        throw Error(insert.lastError().text());
    const qint64 total = source.rowCount(plan.sourceTable);
    qint64 done = 0;
    source.readRows(plan.sourceTable, [&](const QVariantList &values) {
        ++done;
        for (int i = plan.keyFromSource ? 0 : 1; i < plan.columns.size(); ++i) {
            const TargetColumn &c = plan.columns[i];
            insert.addBindValue(c.source < 0 ? QVariant() : convertValue(values[c.source], c, plan, done));
        }
        if (!insert.exec())
            throw Error(QStringLiteral("%1, %2. satır: %3").arg(plan.sourceTable).arg(done).arg(insert.lastError().text()));
        if (progress && done % 1000 == 0)
            progress(plan.table, done, total);
    });
    if (progress)
        progress(plan.table, done, total);
    // Ids given by the source must not be handed out again by the sequence.
    if (postgres && plan.keyFromSource)
        run(db, QStringLiteral("select setval(pg_get_serial_sequence('%1', 'id'), coalesce(max(id), 0) + 1, false)"
                               " from %2")
                    .arg(quotedName(plan.table).replace('\'', QLatin1String("''")), quotedName(plan.table)));
    return done;
}

QStringList copyAll(Source &source, const QList<TablePlan> &plans, QSqlDatabase &db, bool postgres,
                    const ImportProgress &progress)
{
    QStringList lines;
    for (const TablePlan &plan : plans) {
        const qint64 rows = copyTable(source, plan, db, postgres, progress);
        lines << QStringLiteral("%1: %2 satır").arg(plan.table).arg(rows);
    }
    return lines;
}

bool isSqliteFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(16) == QByteArray("SQLite format 3", 16);
}

// The tables that are not imported stay as they were: the new file begins as a
// consistent copy of the old one.
void copyDatabaseFile(const QString &from, const QString &to)
{
    TargetDatabase old(QStringLiteral("QSQLITE"), QStringLiteral("zemira-import-old-target"));
    old.db.setDatabaseName(from);
    old.db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    openDatabase(old);
    QSqlQuery q(old.db);
    if (!q.exec(QStringLiteral("vacuum into '%1'").arg(QString(to).replace('\'', QLatin1String("''")))))
        throw Error(QStringLiteral("Hedef okunamıyor: %1 (%2)").arg(from, q.lastError().text()));
}

// The file is written without a journal or syncs, so its bytes, and then its new name, must
// reach the disk before the import reports success: a power cut must not leave a broken target.
void syncToDisk(const QString &path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    const bool ok = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    if (!ok)
        throw Error(QStringLiteral("Hedef diske yazılamadı: %1").arg(path));
}

// A shared database stays shared: the new file gets the old one's mode and group
// (and owner, when root runs the import); a new file the mode the umask allows.
void takeModeOf(const QString &target, const QString &part)
{
    const QByteArray partName = QFile::encodeName(part);
    struct stat old;
    bool ok;
    if (::stat(QFile::encodeName(target).constData(), &old) == 0) {
        ok = ::chmod(partName.constData(), old.st_mode & 07777) == 0;
        // Not being in the group is no reason to fail: the mode is kept all the same.
        (void)::chown(partName.constData(), ::geteuid() == 0 ? old.st_uid : uid_t(-1), old.st_gid);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ok = ::chmod(partName.constData(), 0666 & ~mask) == 0;
    }
    if (!ok)
        throw Error(QStringLiteral("Hedef yazılamıyor: %1").arg(target));
}

QStringList importToFile(Source &source, const QList<TablePlan> &plans, const ImportOptions &options,
                         const ImportProgress &progress)
{
    const QFileInfo info(options.target);
    if (info.exists() && !options.overwrite)
        throw Error(QStringLiteral("Hedef zaten var: %1 (üzerine yazmak için --overwrite)").arg(options.target));
    if (info.exists() && !info.isFile())
        throw Error(QStringLiteral("Hedef bir dosya değil: %1").arg(options.target));
    QTemporaryFile part(info.absoluteDir().filePath(info.fileName() + QStringLiteral(".XXXXXX.part")));
    if (!part.open())
        throw Error(QStringLiteral("Hedef yazılamıyor: %1 (%2)").arg(options.target, part.errorString()));
    part.close();
    QStringList lines;
    {
        TargetDatabase target(QStringLiteral("QSQLITE"));
        target.db.setDatabaseName(part.fileName());
        if (isSqliteFile(options.target))
            copyDatabaseFile(options.target, part.fileName());
        openDatabase(target);
        // The file is renamed into place only when complete, so it needs no journal.
        run(target.db, QStringLiteral("pragma journal_mode = off"));
        run(target.db, QStringLiteral("pragma synchronous = off"));
        run(target.db, QStringLiteral("begin"));
        for (const TablePlan &plan : plans)
            run(target.db, QStringLiteral("drop table if exists %1").arg(quotedName(plan.table)));
        lines = copyAll(source, plans, target.db, false, progress);
        run(target.db, QStringLiteral("commit"));
    }
    takeModeOf(options.target, part.fileName());
    syncToDisk(part.fileName(), O_RDONLY);
    if (std::rename(QFile::encodeName(part.fileName()).constData(), QFile::encodeName(options.target).constData()) != 0)
        throw Error(QStringLiteral("Hedef yazılamıyor: %1").arg(options.target));
    part.setAutoRemove(false);
    syncToDisk(info.absolutePath(), O_RDONLY | O_DIRECTORY);
    return lines;
}

QStringList importToServer(Source &source, const QList<TablePlan> &plans, const ImportOptions &options,
                           const ImportProgress &progress)
{
    TargetDatabase target(QStringLiteral("QPSQL"));
    configurePostgres(target.db, options.target);
    openDatabase(target);
    preparePostgresSession(target.db);
    for (const TablePlan &plan : plans)
        if (!options.overwrite && tableExists(target.db, plan.table))
            throw Error(QStringLiteral("Hedefte %1 tablosu zaten var (üzerine yazmak için --overwrite)").arg(plan.table));
    if (!target.db.transaction())
        throw Error(target.db.lastError().text());
    try {
        for (const TablePlan &plan : plans)
            run(target.db, QStringLiteral("drop table if exists %1").arg(quotedName(plan.table)));
        const QStringList lines = copyAll(source, plans, target.db, true, progress);
        if (!target.db.commit())
            throw Error(target.db.lastError().text());
        return lines;
    } catch (...) {
        target.db.rollback();
        throw;
    }
}

} // namespace

QStringList importTables(const ImportOptions &options, const ImportProgress &progress)
{
    const std::unique_ptr<Source> source = openSource(options.source);
    const QStringList wanted = options.tables.isEmpty()
        ? QStringList{QStringLiteral("harita"), QStringLiteral("tipler"), QStringLiteral("pafta")}
        : options.tables;
    QList<TablePlan> plans;
    const QStringList tables = source->tables();
    for (const QString &name : wanted) {
        const int found = findName(tables, name);
        if (found < 0)
            throw Error(QStringLiteral("Kaynakta %1 tablosu yok: %2").arg(name, options.source));
        const QString &table = tables[found];
        plans.append(planTable(table, source->columns(table)));
    }
    return Connection::isPostgresUri(options.target) ? importToServer(*source, plans, options, progress)
                                                     : importToFile(*source, plans, options, progress);
}

QString checkTarget(const QString &target)
{
    CheckDatabase check(target);
    return check.hasPlaceTables() ? placeCheckReport(check.db) : QString();
}
