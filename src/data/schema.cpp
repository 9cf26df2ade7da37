#include "schema.h"
#include "framework/errors.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

void createSchema(QSqlDatabase &db)
{
    const bool pg = db.driverName() == QLatin1String("QPSQL");
    const QString key = pg ? QStringLiteral("id serial primary key") : QStringLiteral("id integer primary key");
    const QStringList statements = {
        QStringLiteral("create table harita (%1, isim text, tip text, px integer, py integer, "
                       "pafta text, kod text, cx integer, cy integer)").arg(key),
        QStringLiteral("create table tipler (%1, ad text)").arg(key),
        QStringLiteral("create table pafta (%1, num text, ad text, px integer, py integer, "
                       "px0 integer, py0 integer, kucuk text)").arg(key),
        // For the nearby check. No index on px alone: reading a whole table, or a search's
        // hits, "order by px" through it is many times slower than scanning and sorting.
        QStringLiteral("create index harita_pafta on harita (pafta, px)"),
    };
    QSqlQuery q(db);
    for (const QString &s : statements)
        if (!q.exec(s))
            throw Error(q.lastError().text());
}
