#include "sqlite_source.h"
#include "framework/errors.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

QString quotedName(QString name)
{
    return '"' + name.replace('"', QLatin1String("\"\"")) + '"';
}

// SQLite's own affinity rules, read from the declared type.
ColumnKind kindOf(const QString &declared)
{
    const QString type = declared.toUpper();
    if (type.contains(QLatin1String("INT")))
        return ColumnKind::Integer;
    if (type.contains(QLatin1String("CHAR")) || type.contains(QLatin1String("CLOB")) || type.contains(QLatin1String("TEXT")))
        return ColumnKind::Text;
    if (type.contains(QLatin1String("DATE")) || type.contains(QLatin1String("TIME")))
        return ColumnKind::DateTime;
    if (type.contains(QLatin1String("BLOB")))
        return ColumnKind::Blob;
    if (type.contains(QLatin1String("REAL")) || type.contains(QLatin1String("FLOA")) || type.contains(QLatin1String("DOUB")))
        return ColumnKind::Real;
    return ColumnKind::Text;
}

QSqlQuery run(QSqlDatabase db, const QString &sql)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(sql))
        throw Error(q.lastError().text());
    return q;
}

} // namespace

SqliteSource::SqliteSource(const QString &path) : m_name(QStringLiteral("zemira-import-source"))
{
    if (!QFileInfo(path).isFile())
        throw Error(QStringLiteral("Kaynak dosya bulunamadı: %1").arg(path));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    QSqlQuery probe(db);
    if (!db.open() || !probe.exec(QStringLiteral("select count(*) from sqlite_master"))) {
        const QString text = db.isOpen() ? probe.lastError().text() : db.lastError().text();
        probe = QSqlQuery();
        db.close();
        throw Error(QStringLiteral("Kaynak bir Access ya da SQLite veritabanı değil: %1 (%2)").arg(path, text));
    }
}

SqliteSource::~SqliteSource()
{
    QSqlDatabase::database(m_name, false).close();
    QSqlDatabase::removeDatabase(m_name);
}

QStringList SqliteSource::tables()
{
    QSqlQuery q = run(QSqlDatabase::database(m_name, false),
                      QStringLiteral("select name from sqlite_master where type = 'table'"
                                     " and name not like 'sqlite\\_%' escape '\\' order by rowid"));
    QStringList names;
    while (q.next())
        names << q.value(0).toString();
    return names;
}

QList<SourceColumn> SqliteSource::columns(const QString &table)
{
    QSqlQuery q = run(QSqlDatabase::database(m_name, false),
                      QStringLiteral("pragma table_info(%1)").arg(quotedName(table)));
    QList<SourceColumn> result;
    while (q.next())
        result.append({q.value(1).toString(), kindOf(q.value(2).toString())});
    return result;
}

qint64 SqliteSource::rowCount(const QString &table)
{
    QSqlQuery q = run(QSqlDatabase::database(m_name, false),
                      QStringLiteral("select count(*) from %1").arg(quotedName(table)));
    return q.next() ? q.value(0).toLongLong() : 0;
}

void SqliteSource::readRows(const QString &table, const std::function<void(const QVariantList &)> &row)
{
    QSqlQuery q = run(QSqlDatabase::database(m_name, false),
                      QStringLiteral("select * from %1 order by rowid").arg(quotedName(table)));
    const int n = q.record().count();
    QVariantList values(n);
    while (q.next()) {
        for (int i = 0; i < n; ++i)
            values[i] = q.isNull(i) ? QVariant() : q.value(i);
        row(values);
    }
    if (q.lastError().isValid())
        throw Error(q.lastError().text());
}
