#include "connection.h"
#include "postgres.h"
#include "schema.h"
#include "searchindex.h"
#include "turkishfold.h"
#include "framework/errors.h"

#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <sqlite3.h>

namespace {

QSqlDatabase handleFor(const QString &name, const QString &driver)
{
    if (QSqlDatabase::contains(name)) {
        if (QSqlDatabase::database(name, false).driverName() == driver)
            return QSqlDatabase::database(name, false);
        QSqlDatabase::removeDatabase(name);
    }
    return QSqlDatabase::addDatabase(driver, name);
}

void installLike(QSqlDatabase &db)
{
    const QVariant handle = db.driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0 || !*static_cast<sqlite3 *const *>(handle.constData()))
        throw Error(QStringLiteral("SQLite bağlantısına ulaşılamadı."));
    turkishfold::installSqliteLike(*static_cast<sqlite3 *const *>(handle.constData()));
    // Qt's driver must share our libsqlite3 for the function to reach its statements.
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("select 'Ş' like 's'")) || !q.next() || q.value(0).toInt() != 1)
        throw Error(QStringLiteral("Türkçe LIKE, SQLite bağlantısına kurulamadı."));
}

// A saved place must survive a crash and a power cut, and the file may sit on a file
// server: a rollback journal, never WAL (a file keeps WAL mode once any program set it, and
// WAL does not work on network file systems). Deleting the journal is the commit: "extra"
// syncs the folder after it, which "full", the default, does not.
void requireRollbackJournal(QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("pragma journal_mode = delete")) || !q.next())
        throw Error(q.lastError().text());
    if (q.value(0).toString() != QLatin1String("delete"))
        throw Error(QStringLiteral("SQLite veritabanı WAL kipinden çıkarılamadı; onu açık tutan "
                                   "programları kapatıp yeniden deneyin."));
    if (!q.exec(QStringLiteral("pragma synchronous = extra")))
        throw Error(q.lastError().text());
}

void checkTables(QSqlDatabase &db)
{
    QSqlQuery q(db);
    // A file that is no database at all is told apart from a database without our tables.
    if (db.driverName() == QLatin1String("QSQLITE") && !q.exec(QStringLiteral("select count(*) from sqlite_master")))
        throw Error(q.lastError().text());
    QStringList missing;
    QString text;
    for (const char *table : {"harita", "tipler", "pafta"})
        if (!q.exec(QStringLiteral("select 1 from %1 limit 1").arg(QLatin1String(table)))) {
            missing << QLatin1String(table);
            text = q.lastError().text();
        }
    if (!missing.isEmpty())
        throw MissingTables(QStringLiteral("Not a Zemira database (%1): %2").arg(missing.join(", "), text));
}

} // namespace

Connection::Connection(QString name) : m_name(std::move(name)) {}

Connection::~Connection()
{
    close();
    QSqlDatabase::removeDatabase(m_name);
}

bool Connection::isPostgresUri(const QString &target)
{
    return target.startsWith(QLatin1String("postgresql://")) || target.startsWith(QLatin1String("postgres://"));
}

void Connection::open(const QString &target, const std::function<void(int percent)> &indexProgress)
{
    close();
    m_target = target;
    m_postgres = isPostgresUri(target);
    QSqlDatabase db;
    if (m_postgres) {
        db = handleFor(m_name, QStringLiteral("QPSQL"));
        configurePostgres(db, target);
    } else {
        // SQLite would create a missing file; a data set is never made by opening it.
        if (!QFileInfo(target).isFile())
            throw Error(QStringLiteral("Could not find file '%1'").arg(target));
        db = handleFor(m_name, QStringLiteral("QSQLITE"));
        db.setDatabaseName(target);
        // Another program's lock is waited for about a second, not Qt's default five.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=1000"));
    }
    if (!db.open())
        throw Error(withoutPassword(db.lastError().text(), target));
    try {
        if (m_postgres)
            preparePostgresSession(db);
        else
            installLike(db);
        checkTables(db);
        preparePlaceIndexes(db);
        if (!m_postgres)
            requireRollbackJournal(db);
        searchindex::prepare(db, indexProgress);
    } catch (...) {
        db.close();
        throw;
    }
}

void Connection::close()
{
    if (QSqlDatabase::contains(m_name))
        QSqlDatabase::database(m_name, false).close();
}

bool Connection::isOpen() const
{
    return QSqlDatabase::contains(m_name) && QSqlDatabase::database(m_name, false).isOpen();
}

bool Connection::isPostgres() const
{
    return m_postgres;
}

QSqlDatabase Connection::database()
{
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    if (!db.isOpen() && !m_target.isEmpty())
        open(m_target);
    return QSqlDatabase::database(m_name, false);
}

void Connection::checkAfterFailure()
{
    // A file does not go away between statements; a server link does.
    if (!m_postgres || !isOpen())
        return;
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    QSqlQuery probe(db);
    if (!probe.exec(QStringLiteral("select 1")))
        db.close();
}
