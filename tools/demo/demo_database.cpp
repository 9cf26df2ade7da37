#include "demo_database.h"
#include "data/schema.h"
#include "demo_random.h"
#include "demo_world.h"
#include "framework/errors.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <atomic>
#include <limits>

namespace {

struct ConnectionName {
    QString name;
    ~ConnectionName() { QSqlDatabase::removeDatabase(name); }
};

void run(QSqlQuery &q)
{
    if (!q.exec())
        throw Error(q.lastError().text());
}

void run(QSqlQuery &q, const QString &statement)
{
    if (!q.exec(statement))
        throw Error(q.lastError().text());
}

// Settlement codes and map coordinates in metres (about 2 m to a stored pixel), some left null.
struct Codes {
    QVariant kod, cx, cy;
};

Codes codesOf(const DemoPlace &place, QPoint region)
{
    Rng rng(hashOf(place.seed, 6));
    Codes c;
    const bool settlement = place.type == PlaceType::Koy || place.type == PlaceType::Mahalle
                            || place.type == PlaceType::Ilce || place.type == PlaceType::Ciftlik;
    if (settlement && rng.chance(0.85))
        c.kod = QStringLiteral("%1%2").arg(1 + rng.below(81), 2, 10, QChar(u'0')).arg(rng.below(100000), 5, 10, QChar(u'0'));
    const qint64 cx = 400000 + 2 * qint64(region.x()), cy = 4600000 - 2 * qint64(region.y());
    if (rng.chance(0.85) && cx <= std::numeric_limits<int>::max() && cy >= std::numeric_limits<int>::min()) {
        c.cx = int(cx);
        c.cy = int(cy);
    }
    return c;
}

void insertRows(QSqlDatabase &db, const DemoWorld &w, const QString &overviewFile)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("insert into tipler (ad) values (?)"));
    const QStringList types = placeTypeNames();
    for (const QString &t : types) {
        q.bindValue(0, t);
        run(q);
    }
    q.prepare(QStringLiteral("insert into pafta (num, ad, px, py, px0, py0, kucuk) values (?, ?, ?, ?, ?, ?, ?)"));
    for (const DemoSheet &s : w.sheets) {
        q.bindValue(0, s.num);
        q.bindValue(1, s.file);
        q.bindValue(2, w.options.sheetWidth);
        q.bindValue(3, w.options.sheetHeight);
        q.bindValue(4, s.px0);
        q.bindValue(5, s.py0);
        q.bindValue(6, overviewFile);
        run(q);
    }
    q.prepare(QStringLiteral("insert into harita (isim, tip, px, py, pafta, kod, cx, cy) values (?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const DemoPlace &p : w.places) {
        const DemoSheet &s = w.sheets[p.sheet];
        const Codes c = codesOf(p, QPoint(s.px0 + p.x, s.py0 + p.y));
        q.bindValue(0, placeName(p.type, p.seed));
        q.bindValue(1, types[int(p.type)]);
        q.bindValue(2, p.x);
        q.bindValue(3, p.y);
        q.bindValue(4, s.num);
        q.bindValue(5, c.kod);
        q.bindValue(6, c.cx);
        q.bindValue(7, c.cy);
        run(q);
    }
}

} // namespace

void writeDatabase(const QString &fileName, const DemoWorld &world, const QString &overviewFile)
{
    static std::atomic<int> connections;
    const ConnectionName connection{QStringLiteral("zemira-demo-%1").arg(++connections)};
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection.name);
    db.setDatabaseName(fileName);
    if (!db.open())
        throw Error(QStringLiteral("Cannot create %1: %2").arg(fileName, db.lastError().text()));
    {
        QSqlQuery q(db);
        // A new file that is deleted if writing fails: durability would only cost time.
        run(q, QStringLiteral("pragma journal_mode = memory"));
        run(q, QStringLiteral("pragma synchronous = off"));
    }
    createSchema(db);
    if (!db.transaction())
        throw Error(db.lastError().text());
    try {
        insertRows(db, world, overviewFile);
        if (!db.commit())
            throw Error(db.lastError().text());
    } catch (...) {
        db.rollback();
        db.close();
        throw;
    }
    db.close();
}
