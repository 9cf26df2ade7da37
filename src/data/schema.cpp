#include "schema.h"
#include "framework/errors.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {

const QStringList placeIndexes = {
    // A sheet's places, for marking and for the nearby check.
    QStringLiteral("create index if not exists harita_pafta on harita (pafta, px)"),
    // The place dataset's pages in px order. Made on an expression, so that a search's plain
    // "order by px" never walks it: for a LIKE over every row that is many times slower than
    // scanning and sorting.
    QStringLiteral("create index if not exists harita_sira on harita ((coalesce(px, null)), id)"),
};

} // namespace

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
    };
    QSqlQuery q(db);
    for (const QString &s : statements + placeIndexes)
        if (!q.exec(s))
            throw Error(q.lastError().text());
}

void preparePlaceIndexes(QSqlDatabase &db)
{
    QSqlQuery q(db);
    for (const QString &s : placeIndexes)
        q.exec(s); // a file opened read-only, or a table not ours, is read without them
}
