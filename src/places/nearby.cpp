#include "nearby.h"
#include "framework/errors.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

namespace {
// Enough to show that a click is crowded; the window lists no more.
constexpr int kMostPerSheet = 20;
}

QList<NearbyPlace> placesOnAdjoiningSheets(QSqlDatabase db, const std::vector<paftarec> &sheets,
                                           const QString &sheet, int x, int y, int r)
{
    QList<NearbyPlace> found;
    const auto here = std::find_if(sheets.begin(), sheets.end(), [&](const paftarec &s) { return s.num == sheet; });
    if (here == sheets.end())
        return found;
    // 64 bits: stored origins and pixels may each take the whole int range.
    const qint64 left = qint64(here->px0) + x - r;
    const qint64 right = qint64(here->px0) + x + r;
    const qint64 top = qint64(here->py0) + y - r;
    const qint64 bottom = qint64(here->py0) + y + r;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT tip, isim FROM harita WHERE pafta = ? AND px BETWEEN ? AND ?"
                                  " AND py BETWEEN ? AND ? ORDER BY px, py LIMIT %1").arg(kMostPerSheet)))
        throw Error(q.lastError().text());
    for (const paftarec &s : sheets) {
        if (s.num == sheet || qint64(s.px0) > right || qint64(s.px0) + s.px < left || qint64(s.py0) > bottom
            || qint64(s.py0) + s.py < top)
            continue;
        q.addBindValue(s.num);
        q.addBindValue(left - s.px0);
        q.addBindValue(right - s.px0);
        q.addBindValue(top - s.py0);
        q.addBindValue(bottom - s.py0);
        if (!q.exec())
            throw Error(q.lastError().text());
        while (q.next())
            found.append({s.num, q.value(0).toString(), q.value(1).toString()});
    }
    return found;
}
