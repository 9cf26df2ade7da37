#include "duplicates.h"
#include "check_report.h"
#include "app/accesshint.h"
#include "app/datapath.h"
#include "app/startupfile.h"
#include "data/accessimport.h"
#include "data/connection.h"
#include "data/postgres.h"
#include "data/turkishfold.h"
#include "framework/errors.h"
#include "framework/textconv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string_view>
#include <tuple>

namespace {

struct Sheet {
    QString num;
    qint64 x0, y0;
};

struct Place {
    qint64 id, x, y; // x, y in the region
    int sheet;
    uint32_t folded, foldedLength, name, nameLength; // into the pools
};

struct Places {
    std::vector<Sheet> sheets;
    std::vector<Place> list;
    std::u32string folded;
    QString names;

    std::u32string_view foldedName(const Place &p) const { return {folded.data() + p.folded, p.foldedLength}; }
};

struct Found {
    uint32_t a, b; // a has the lower id
    int edits;
    qint64 squaredDistance;
};

QSqlQuery select(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(sql))
        throw Error(q.lastError().text());
    return q;
}

Places readPlaces(QSqlDatabase &db)
{
    Places places;
    QHash<QString, int> sheetIndex;
    // An empty position is 0, as Zemira reads it; a number given twice counts at its first row.
    QSqlQuery sheets = select(db, QStringLiteral("select num, px0, py0 from pafta where num is not null order by id"));
    while (sheets.next()) {
        const QString num = sheets.value(0).toString();
        if (sheetIndex.contains(num))
            continue;
        sheetIndex.insert(num, int(places.sheets.size()));
        places.sheets.push_back({num, sheets.value(1).toLongLong(), sheets.value(2).toLongLong()});
    }
    QSqlQuery q = select(db, QStringLiteral("select id, isim, pafta, px, py from harita where isim is not null"
                                            " and pafta is not null and px is not null and py is not null"));
    while (q.next()) {
        const auto sheet = sheetIndex.constFind(q.value(2).toString());
        if (sheet == sheetIndex.constEnd())
            continue;
        const QString name = q.value(1).toString();
        const std::u32string folded = turkishfold::foldText(name);
        if (folded.empty())
            continue;
        const Sheet &s = places.sheets[*sheet];
        places.list.push_back({q.value(0).toLongLong(), s.x0 + q.value(3).toLongLong(), s.y0 + q.value(4).toLongLong(),
                               *sheet, uint32_t(places.folded.size()), uint32_t(folded.size()),
                               uint32_t(places.names.size()), uint32_t(name.size())});
        places.folded += folded;
        places.names += name;
    }
    return places;
}

// Levenshtein distance, or bound + 1 as soon as it must exceed bound. Our own: the bounded
// check over folded code points is a few lines, and no Debian library offers it.
int boundedEdits(std::u32string_view a, std::u32string_view b, int bound)
{
    if (a.size() > b.size())
        std::swap(a, b);
    if (b.size() - a.size() > size_t(bound))
        return bound + 1;
    if (a == b)
        return 0;
    if (bound == 0)
        return 1;
    thread_local std::vector<int> row;
    row.resize(a.size() + 1);
    std::iota(row.begin(), row.end(), 0);
    for (size_t j = 1; j <= b.size(); ++j) {
        int diagonal = row[0];
        row[0] = int(j);
        int best = row[0];
        for (size_t i = 1; i <= a.size(); ++i) {
            const int above = row[i];
            row[i] = std::min({above + 1, row[i - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
            best = std::min(best, row[i]);
        }
        if (best > bound)
            return bound + 1;
    }
    return std::min(row[a.size()], bound + 1);
}

qint64 floorDiv(qint64 v, qint64 d)
{
    return v >= 0 ? v / d : -((-v + d - 1) / d);
}

uint64_t cellKey(qint64 cx, qint64 cy)
{
    // Cells far apart may share a key; that costs comparisons, never a pair.
    return (uint64_t(uint32_t(cx)) << 32) | uint32_t(cy);
}

// Places in a grid of cells as wide as the distance: a pair lies in one cell or in two
// neighbouring ones, so each place meets only the few near it.
std::vector<Found> nearPairs(const Places &places, const DuplicateOptions &options)
{
    const qint64 cell = std::max(1, options.distance);
    const qint64 limit = qint64(options.distance) * options.distance;
    const auto cellX = [&](const Place &p) { return floorDiv(p.x, cell); };
    const auto cellY = [&](const Place &p) { return floorDiv(p.y, cell); };
    std::vector<std::pair<uint64_t, uint32_t>> order;
    order.reserve(places.list.size());
    for (uint32_t i = 0; i < places.list.size(); ++i)
        order.emplace_back(cellKey(cellX(places.list[i]), cellY(places.list[i])), i);
    std::sort(order.begin(), order.end());
    // A cell's places are a run of order, found by binary search: no map beside the places.
    const auto cellRun = [&](uint64_t key) {
        const auto first = std::lower_bound(order.begin(), order.end(), key,
                                            [](const auto &e, uint64_t k) { return e.first < k; });
        auto last = first;
        while (last != order.end() && last->first == key)
            ++last;
        return std::pair(first, last);
    };

    std::vector<Found> found;
    const auto compare = [&](uint32_t i, uint32_t j) {
        const Place &p = places.list[i];
        const Place &q = places.list[j];
        const qint64 dx = p.x - q.x, dy = p.y - q.y;
        const qint64 squared = dx * dx + dy * dy;
        if (squared > limit)
            return;
        const int bound = std::min<int>(options.maxEdits, std::min(p.foldedLength, q.foldedLength) / 4);
        const int edits = boundedEdits(places.foldedName(p), places.foldedName(q), bound);
        if (edits <= bound)
            found.push_back(p.id <= q.id ? Found{i, j, edits, squared} : Found{j, i, edits, squared});
    };
    // The cell itself and the four neighbours ahead of it: every pair of cells once.
    constexpr int kAhead[4][2] = {{1, -1}, {1, 0}, {1, 1}, {0, 1}};
    for (auto cellBegin = order.begin(); cellBegin != order.end();) {
        const uint64_t key = cellBegin->first;
        const auto cellEnd = cellRun(key).second;
        for (auto i = cellBegin; i != cellEnd; ++i)
            for (auto j = i + 1; j != cellEnd; ++j)
                compare(i->second, j->second);
        const Place &first = places.list[cellBegin->second];
        for (const auto &step : kAhead) {
            const uint64_t next = cellKey(cellX(first) + step[0], cellY(first) + step[1]);
            if (next == key)
                continue;
            const auto [otherBegin, otherEnd] = cellRun(next);
            for (auto i = cellBegin; i != cellEnd; ++i)
                for (auto j = otherBegin; j != otherEnd; ++j)
                    compare(i->second, j->second);
        }
        cellBegin = cellEnd;
    }
    return found;
}

PlaceOnSheet onSheet(const Places &places, uint32_t index)
{
    const Place &p = places.list[index];
    const Sheet &s = places.sheets[p.sheet];
    return {QString::number(p.id), places.names.mid(p.name, p.nameLength), s.num, p.x - s.x0, p.y - s.y0};
}

QString describe(const PlaceOnSheet &p)
{
    return QStringLiteral("id %1 \"%2\", pafta \"%3\" (%4, %5)").arg(p.id, p.name, p.sheet).arg(p.x).arg(p.y);
}

} // namespace

Duplicates findDuplicates(QSqlDatabase &db, const DuplicateOptions &options)
{
    const Places places = readPlaces(db);
    std::vector<Found> found = nearPairs(places, options);
    const auto idOf = [&](uint32_t i) { return places.list[i].id; };
    const auto likelier = [&](const Found &l, const Found &r) {
        return std::tuple(l.edits, l.squaredDistance, idOf(l.a), idOf(l.b))
            < std::tuple(r.edits, r.squaredDistance, idOf(r.a), idOf(r.b));
    };
    const size_t shown = options.limit > 0 ? std::min(found.size(), size_t(options.limit)) : found.size();
    std::partial_sort(found.begin(), found.begin() + qsizetype(shown), found.end(), likelier);
    Duplicates result;
    result.count = qint64(found.size());
    for (size_t i = 0; i < shown; ++i)
        result.shown.push_back({onSheet(places, found[i].a), onSheet(places, found[i].b),
                                std::sqrt(double(found[i].squaredDistance)), found[i].edits});
    return result;
}

QString duplicateReport(const Duplicates &found, const DuplicateOptions &options)
{
    const QLocale turkish(QLocale::Turkish, QLocale::Turkey);
    QStringList lines = {QStringLiteral("  Birbirine %1 pikselden yakın, adı aynı ya da en çok %2 harf farklı"
                                        " yer çiftleri (olası çift kayıtlar): %3")
                             .arg(options.distance)
                             .arg(options.maxEdits)
                             .arg(found.count)};
    int rank = 0;
    for (const DuplicatePair &pair : found.shown)
        lines << QStringLiteral("    %1. %2 ve %3: %4 piksel, %5")
                     .arg(++rank)
                     .arg(describe(pair.a), describe(pair.b), turkish.toString(pair.distance, 'f', 1),
                          pair.edits == 0 ? QStringLiteral("ad aynı") : QStringLiteral("%1 harf farklı").arg(pair.edits));
    if (found.count > qint64(found.shown.size()))
        lines << QStringLiteral("    ...");
    return lines.join('\n') + '\n';
}

QString checkTargetOf(const QString &argument)
{
    if (Connection::isPostgresUri(argument) || !QFileInfo(argument).isDir())
        return argument;
    const QString dir = QDir(argument).absolutePath() + '/';
    QFile file(resolveDataFile(dir, QStringLiteral("HARITA.TXT")));
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("HARITA.TXT dosyası bulunamadı: %1").arg(dir));
    const QString database = trimText(readStartupLines(file.readAll()).value(1));
    if (database.isEmpty())
        throw Error(QStringLiteral("HARITA.TXT dosyasının 2. satırında veritabanı yok: %1").arg(file.fileName()));
    if (isAccessDatabase(database))
        throw Error(accessImportMessage(dir, database));
    return Connection::isPostgresUri(database) ? database : resolveDataFile(dir, database);
}

QString dataSetCheck(const QString &target, const DuplicateOptions &options)
{
    CheckDatabase check(target);
    if (!check.hasPlaceTables())
        throw Error(QStringLiteral("Bir Zemira veritabanı değil (harita, tipler ve pafta tabloları gerekli): %1")
                        .arg(withoutPassword(target)));
    return placeCheckReport(check.db) + duplicateReport(findDuplicates(check.db, options), options);
}
