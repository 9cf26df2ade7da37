#pragma once
// The PostgreSQL servers of scripts/pg-test-server.sh. A test that cannot reach one
// fails: a suite that skips its server tests would pass without testing anything.
#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QUrl>

// The server's URI from the environment ("ZEMIRA_TEST_PG" or "ZEMIRA_TEST_PG_RESTART").
inline QString pgServerUri(const char *variable = "ZEMIRA_TEST_PG")
{
    return qEnvironmentVariable(variable);
}

inline QString pgMissingServerText(const char *variable = "ZEMIRA_TEST_PG")
{
    return QStringLiteral("%1 is not set: start the servers with "
                          "eval \"$(scripts/pg-test-server.sh start)\"")
        .arg(QLatin1String(variable));
}

// A database of its own for one test program, dropped again at the end.
class PgScratchDatabase {
public:
    // Returns an error text, empty on success.
    QString create(const QString &name, const char *variable = "ZEMIRA_TEST_PG")
    {
        const QString server = pgServerUri(variable);
        if (server.isEmpty())
            return pgMissingServerText(variable);
        m_name = QStringLiteral("zt_%1_%2").arg(name).arg(QCoreApplication::applicationPid());
        QUrl url(server);
        url.setPath('/' + m_name);
        m_uri = url.toString();
        m_admin = server;
        return exec({QStringLiteral("drop database if exists %1 with (force)").arg(m_name),
                     QStringLiteral("create database %1").arg(m_name)});
    }
    ~PgScratchDatabase()
    {
        if (!m_name.isEmpty())
            exec({QStringLiteral("drop database if exists %1 with (force)").arg(m_name)});
    }
    QString uri() const { return m_uri; }
    QString name() const { return m_name; }

    // Runs statements on the server's own database; returns an error text, empty on success.
    QString exec(const QStringList &statements)
    {
        QString error;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("pg-admin"));
            const QUrl url(m_admin);
            db.setHostName(url.host());
            db.setPort(url.port(5432));
            db.setUserName(url.userName());
            db.setDatabaseName(url.path().mid(1));
            if (!db.open()) {
                error = db.lastError().text();
            } else {
                QSqlQuery q(db);
                q.exec(QStringLiteral("set client_min_messages to warning"));
                for (const QString &s : statements)
                    if (error.isEmpty() && !q.exec(s))
                        error = q.lastError().text();
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("pg-admin"));
        return error;
    }

private:
    QString m_name;
    QString m_uri;
    QString m_admin;
};
