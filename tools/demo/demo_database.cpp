#include "demo_database.h"
#include "demo_random.h"
#include "demo_world.h"
#include "region_files.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <limits>

namespace {

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
    const QStringList types = placeTypeNames();
    insertTypes(db, types);
    std::vector<SheetRow> rows;
    for (const DemoSheet &s : w.sheets)
        rows.push_back({s.num, s.file, w.options.sheetWidth, w.options.sheetHeight, s.px0, s.py0});
    insertSheets(db, rows, overviewFile);
    QSqlQuery q(db);
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
        runQuery(q);
    }
}

} // namespace

void writeDatabase(const QString &fileName, const DemoWorld &world, const QString &overviewFile)
{
    writeNewDatabase(fileName, [&](QSqlDatabase &db) { insertRows(db, world, overviewFile); });
}
