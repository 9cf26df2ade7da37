#include "connection.h"
#include "framework/errors.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

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

void Connection::open(const QString &target)
{
    close();
    m_target = target;
    m_postgres = isPostgresUri(target);
    if (m_postgres)
        throw Error(QStringLiteral("PostgreSQL connections are not supported yet"));

    // SQLite would create a missing file; a data set is never made by opening it.
    const QFileInfo info(target);
    if (!info.isFile())
        throw Error(QStringLiteral("Could not find file '%1'").arg(target));
    QSqlDatabase db = QSqlDatabase::contains(m_name) ? QSqlDatabase::database(m_name, false)
                                                     : QSqlDatabase::addDatabase("QSQLITE", m_name);
    db.setDatabaseName(target);
    // Another program's lock is waited for about a second, not Qt's default five.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=1000"));
    if (!db.open())
        throw Error(db.lastError().text());
    QSqlQuery q(db);
    QStringList missing;
    for (const char *table : {"harita", "tipler", "pafta"})
        if (!q.exec(QStringLiteral("select 1 from %1 limit 1").arg(QLatin1String(table))))
            missing << QLatin1String(table);
    if (!missing.isEmpty()) {
        const QString text = q.lastError().text();
        db.close();
        throw Error(QStringLiteral("Not a Zemira database (%1): %2").arg(missing.join(", "), text));
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
}
