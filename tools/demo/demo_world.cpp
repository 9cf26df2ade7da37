#include "demo_world.h"
#include "demo_random.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>
#include <set>

namespace {

constexpr double Pi = std::numbers::pi;

DemoLine lineOf(QPolygonF points)
{
    const QRectF bounds = points.boundingRect();
    return {std::move(points), bounds};
}

// Midpoint displacement: a straight link becomes a plausible winding road.
void wind(QPolygonF &out, QPointF a, QPointF b, double roughness, double finest, Rng &rng)
{
    const QPointF d = b - a;
    const double length = std::hypot(d.x(), d.y());
    if (length < finest) {
        out << b;
        return;
    }
    const QPointF normal(-d.y() / length, d.x() / length);
    const QPointF mid = (a + b) / 2 + normal * (rng.uniform(-1, 1) * length * roughness);
    wind(out, a, mid, roughness, finest, rng);
    wind(out, mid, b, roughness, finest, rng);
}

DemoLine windingLine(QPointF a, QPointF b, double roughness, double finest, uint64_t seed)
{
    Rng rng(seed);
    QPolygonF points{a};
    wind(points, a, b, roughness, finest, rng);
    return lineOf(std::move(points));
}

QString fileSuffix(int sheet, bool mixedFormats)
{
    if (mixedFormats) {
        if (sheet == 1)
            return QStringLiteral("bmp");
        if (sheet == 2)
            return QStringLiteral("gif");
        if (sheet == 3)
            return QStringLiteral("PCX"); // real data sets mix the case of extensions
    }
    return QStringLiteral("jpg");
}

std::vector<DemoLine> makeRivers(const DemoWorld &w, double step)
{
    Rng rng(hashOf(w.options.seed, 1));
    const double rw = w.regionWidth(), rh = w.regionHeight();
    const int count = std::clamp(int(w.sheets.size() + 2) / 3, 1, 12);
    std::vector<DemoLine> rivers;
    for (int k = 0; k < count; ++k) {
        const int side = rng.below(4);
        const double u = rng.uniform(0.1, 0.9);
        const QPointF starts[] = {{u * rw, -step}, {-step, u * rh}, {u * rw, rh + step}, {rw + step, u * rh}};
        const double headings[] = {Pi / 2, 0, -Pi / 2, Pi};
        const double heading = headings[side] + rng.uniform(-0.6, 0.6);
        QPointF p = starts[side];
        QPolygonF points{p};
        double angle = heading, turn = 0;
        const int maxSteps = int(4 * (rw + rh) / step);
        for (int i = 0; i < maxSteps; ++i) {
            turn = 0.9 * turn + rng.uniform(-0.05, 0.05);
            angle += turn + (heading - angle) * 0.03;
            p += QPointF(std::cos(angle), std::sin(angle)) * step;
            points << p;
            if (p.x() < -2 * step || p.y() < -2 * step || p.x() > rw + 2 * step || p.y() > rh + 2 * step)
                break;
        }
        rivers.push_back(lineOf(std::move(points)));
    }
    return rivers;
}

// One or two towns per sheet, away from lakes: the nodes of the road network.
std::vector<QPoint> makeTowns(const DemoWorld &w)
{
    Rng rng(hashOf(w.options.seed, 2));
    std::vector<QPoint> towns;
    for (int s = 0; s < int(w.sheets.size()); ++s) {
        const QRect face = w.mapFace(s);
        const int count = rng.chance(0.5) ? 2 : 1;
        for (int t = 0; t < count; ++t) {
            QPoint p;
            for (int attempt = 0; attempt < 6; ++attempt) {
                const double u = (t + rng.uniform(0.15, 0.85)) / count;
                p = QPoint(face.left() + int(face.width() * u),
                           face.top() + int(face.height() * rng.uniform(0.12, 0.88)));
                if (w.terrain.water(p.x(), p.y()) < Terrain::LakeLevel - 0.05)
                    break;
            }
            towns.push_back(p);
        }
    }
    return towns;
}

double distance(QPoint a, QPoint b) { return std::hypot(double(a.x() - b.x()), double(a.y() - b.y())); }

// A spanning tree over the towns, a few loops, and roads leaving the region on its sides.
std::vector<DemoLine> makeRoads(const DemoWorld &w, const std::vector<QPoint> &towns, double finest)
{
    const int n = int(towns.size());
    std::set<std::pair<int, int>> links;
    std::vector<bool> inTree(n, false);
    std::vector<double> best(n, 1e300);
    std::vector<int> from(n, -1);
    best[0] = 0;
    for (int k = 0; k < n; ++k) {
        int next = -1;
        for (int i = 0; i < n; ++i)
            if (!inTree[i] && (next < 0 || best[i] < best[next]))
                next = i;
        inTree[next] = true;
        if (from[next] >= 0)
            links.insert(std::minmax(next, from[next]));
        for (int i = 0; i < n; ++i)
            if (!inTree[i] && distance(towns[next], towns[i]) < best[i]) {
                best[i] = distance(towns[next], towns[i]);
                from[i] = next;
            }
    }
    Rng rng(hashOf(w.options.seed, 3));
    const double reach = 1.5 * std::max(w.options.sheetWidth, w.options.sheetHeight);
    for (int i = 0; i < n; ++i) {
        int nearest = -1;
        for (int j = 0; j < n; ++j)
            if (j != i && !links.count(std::minmax(i, j))
                && (nearest < 0 || distance(towns[i], towns[j]) < distance(towns[i], towns[nearest])))
                nearest = j;
        if (nearest >= 0 && rng.chance(0.35) && distance(towns[i], towns[nearest]) < reach)
            links.insert(std::minmax(i, nearest));
    }
    std::vector<DemoLine> roads;
    for (const auto &[a, b] : links)
        roads.push_back(windingLine(towns[a], towns[b], 0.12, finest, hashOf(w.options.seed, (uint64_t(a) << 32) | b)));

    const int beyond = 3 * w.margin;
    const QRect region(0, 0, w.regionWidth(), w.regionHeight());
    for (int side = 0; side < 4; ++side) {
        if (!rng.chance(0.75))
            continue;
        auto gap = [&](QPoint p) {
            const int gaps[] = {p.y(), p.x(), region.bottom() - p.y(), region.right() - p.x()};
            return gaps[side];
        };
        const QPoint town = *std::min_element(towns.begin(), towns.end(),
                                              [&](QPoint a, QPoint b) { return gap(a) < gap(b); });
        const QPoint exits[] = {{town.x(), -beyond}, {-beyond, town.y()},
                                {town.x(), region.bottom() + beyond}, {region.right() + beyond, town.y()}};
        roads.push_back(windingLine(town, exits[side], 0.12, finest, hashOf(w.options.seed, 7000 + side)));
    }
    return roads;
}

std::vector<int> quotas(const DemoOptions &o, int sheets)
{
    std::vector<int> quota(sheets, 0);
    int from = 0, count = o.places;
    if (o.placesOnFirstSheet >= 0) {
        quota[0] = o.placesOnFirstSheet;
        count -= o.placesOnFirstSheet;
        from = 1;
    }
    const int spread = sheets - from;
    for (int i = from; i < sheets; ++i)
        quota[i] = count / spread + (i - from < count % spread ? 1 : 0);
    return quota;
}

PlaceType typeAt(const Terrain &t, QPoint region, Rng &rng)
{
    if (t.water(region.x(), region.y()) > Terrain::LakeLevel)
        return PlaceType::Gol;
    const double u = rng.uniform();
    if (t.elevation(region.x(), region.y()) > 0.66 && u < 0.5)
        return u < 0.12 ? PlaceType::Dag : PlaceType::Tepe;
    const std::pair<double, PlaceType> weights[] = {
        {0.50, PlaceType::Koy}, {0.62, PlaceType::Mahalle}, {0.74, PlaceType::Ciftlik},
        {0.83, PlaceType::Tepe}, {0.85, PlaceType::Dag}, {0.96, PlaceType::Akarsu}};
    const double v = rng.uniform();
    for (const auto &[limit, type] : weights)
        if (v < limit)
            return type;
    return PlaceType::Gol;
}

// A creek through p, the visible course of a stream that has no river to lie on.
DemoLine makeStream(QPointF p, uint64_t seed, double finest)
{
    Rng rng(hashOf(seed, 9));
    const double angle = rng.uniform(0, 2 * Pi), length = rng.uniform(60, 160);
    const QPointF d(std::cos(angle), std::sin(angle));
    const DemoLine up = windingLine(p, p - d * length * 0.4, 0.2, finest / 2, hashOf(seed, 10));
    const DemoLine down = windingLine(p, p + d * length * 0.6, 0.2, finest / 2, hashOf(seed, 11));
    QPolygonF points(up.points.rbegin(), up.points.rend());
    points += down.points.mid(1);
    return lineOf(std::move(points));
}

// Places spread evenly over the map face, one to a cell of a jittered grid, mostly out of
// lakes; towns first; streams on a river that crosses the sheet or on a creek of their own.
void placeOnSheet(DemoWorld &w, int s, int quota, const std::vector<QPoint> &towns,
                  const std::vector<QPointF> &riverPoints, double finest)
{
    const DemoSheet &sheet = w.sheets[s];
    const QPoint origin(sheet.px0, sheet.py0);
    const QRect face = w.mapFace(s).translated(-origin);
    Rng rng(hashOf(w.options.seed, 100000 + uint64_t(s)));
    const bool detailed = quota <= MostDetailedPlaces;
    for (QPoint t : towns) {
        if (quota == 0)
            break;
        if (face.contains(t - origin)) {
            w.places.push_back({s, t.x() - origin.x(), t.y() - origin.y(), PlaceType::Ilce, rng.next()});
            --quota;
        }
    }
    if (quota == 0)
        return;
    const int inset = std::max(2, std::min(face.width(), face.height()) / 40);
    const QRectF area = QRectF(face).adjusted(inset, inset, -inset, -inset);
    const int columns = std::max(1, int(std::ceil(std::sqrt(quota * 1.4 * area.width() / area.height()))));
    const int rows = std::max(1, int(std::ceil(quota * 1.4 / columns)));
    std::vector<int> cells(size_t(columns) * rows);
    std::iota(cells.begin(), cells.end(), 0);
    for (int k = 0; k < quota; ++k) {
        QPoint p;
        for (int attempt = 0;; ++attempt) {
            std::swap(cells[k], cells[k + rng.below(int(cells.size()) - k)]);
            const int cx = cells[k] % columns, cy = cells[k] / columns;
            p = QPoint(int(area.left() + (cx + rng.uniform(0.15, 0.85)) * area.width() / columns),
                       int(area.top() + (cy + rng.uniform(0.15, 0.85)) * area.height() / rows));
            if (attempt == 7 || w.terrain.water(p.x() + origin.x(), p.y() + origin.y()) <= Terrain::LakeLevel)
                break;
        }
        const PlaceType type = typeAt(w.terrain, p + origin, rng);
        const uint64_t seed = rng.next();
        if (type == PlaceType::Akarsu) {
            if (!riverPoints.empty() && rng.chance(0.3))
                p = (riverPoints[rng.below(int(riverPoints.size()))] - QPointF(origin)).toPoint();
            else if (detailed)
                w.streams.push_back(makeStream(p + origin, seed, finest));
        }
        w.places.push_back({s, p.x(), p.y(), type, seed});
    }
}

std::vector<std::vector<QPointF>> riverPointsBySheet(const DemoWorld &w)
{
    std::vector<std::vector<QPointF>> bySheet(w.sheets.size());
    const DemoOptions &o = w.options;
    for (const DemoLine &river : w.rivers)
        for (QPointF p : river.points) {
            if (p.x() < 0 || p.y() < 0 || p.x() >= w.regionWidth() || p.y() >= w.regionHeight())
                continue;
            const int s = int(p.y()) / o.sheetHeight * o.columns + int(p.x()) / o.sheetWidth;
            if (QRectF(w.mapFace(s)).adjusted(4, 4, -4, -4).contains(p))
                bySheet[s].push_back(p);
        }
    return bySheet;
}

bool isSettlement(PlaceType t)
{
    return t == PlaceType::Koy || t == PlaceType::Mahalle || t == PlaceType::Ciftlik;
}

// Tracks from villages to the nearest road or track, nearer villages first, so that the
// tracks branch out from the towns; at most a few thousand villages.
std::vector<DemoLine> makeTracks(const DemoWorld &w, const std::vector<QPoint> &towns, double finest)
{
    const double reach = 0.4 * std::min(w.options.sheetWidth, w.options.sheetHeight);
    const int gridColumns = int(w.regionWidth() / reach) + 1, gridRows = int(w.regionHeight() / reach) + 1;
    std::vector<std::vector<QPointF>> grid(size_t(gridColumns) * gridRows);
    auto addPoints = [&](const QPolygonF &points) {
        for (QPointF p : points)
            if (p.x() >= 0 && p.y() >= 0 && p.x() < w.regionWidth() && p.y() < w.regionHeight())
                grid[size_t(p.y() / reach) * gridColumns + size_t(p.x() / reach)].push_back(p);
    };
    for (const DemoLine &road : w.roads)
        addPoints(road.points);

    const auto settlements = std::count_if(w.places.begin(), w.places.end(),
                                           [](const DemoPlace &p) { return isSettlement(p.type); });
    const uint64_t every = std::max<uint64_t>(1, uint64_t(settlements) / 2500);
    std::vector<std::pair<double, const DemoPlace *>> villages;
    for (const DemoPlace &place : w.places) {
        if (!isSettlement(place.type) || place.seed % every != 0)
            continue;
        const DemoSheet &sheet = w.sheets[place.sheet];
        const QPoint p(sheet.px0 + place.x, sheet.py0 + place.y);
        double nearestTown = 1e300;
        for (QPoint t : towns)
            nearestTown = std::min(nearestTown, distance(p, t));
        villages.emplace_back(nearestTown, &place);
    }
    std::stable_sort(villages.begin(), villages.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });

    std::vector<DemoLine> tracks;
    for (const auto &[unused, place] : villages) {
        const DemoSheet &sheet = w.sheets[place->sheet];
        const QPointF p(sheet.px0 + place->x, sheet.py0 + place->y);
        const int gx = int(p.x() / reach), gy = int(p.y() / reach);
        QPointF nearest;
        double nearestDistance = reach;
        for (int y = std::max(0, gy - 1); y <= std::min(gridRows - 1, gy + 1); ++y)
            for (int x = std::max(0, gx - 1); x <= std::min(gridColumns - 1, gx + 1); ++x)
                for (QPointF q : grid[size_t(y) * gridColumns + x]) {
                    const double d = std::hypot(q.x() - p.x(), q.y() - p.y());
                    if (d < nearestDistance) {
                        nearestDistance = d;
                        nearest = q;
                    }
                }
        if (nearestDistance < reach && nearestDistance > 3 * finest) {
            tracks.push_back(windingLine(p, nearest, 0.15, finest, hashOf(place->seed, 5)));
            addPoints(tracks.back().points);
        }
    }
    return tracks;
}

} // namespace

QRect DemoWorld::mapFace(int sheet) const
{
    const DemoSheet &s = sheets[sheet];
    return QRect(s.px0 + margin, s.py0 + margin, options.sheetWidth - 2 * margin,
                 options.sheetHeight - 2 * margin);
}

QString sheetNumber(int column, int row, int columns, int rows)
{
    int letters = 1;
    for (int span = 26; span < rows; span *= 26)
        ++letters;
    QString rowLabel(letters, u'a');
    for (int i = letters - 1, r = row; i >= 0; --i, r /= 26)
        rowLabel[i] = QChar(u'a' + r % 26);
    const int digits = int(QString::number(columns).size());
    return QStringLiteral("K18-%1%2").arg(rowLabel).arg(column + 1, digits, 10, QChar(u'0'));
}

DemoWorld buildWorld(const DemoOptions &o)
{
    DemoWorld w(o);
    const int shorter = std::min(o.sheetWidth, o.sheetHeight);
    w.margin = std::max(12 * o.scaleDivisor, shorter * 35 / 1000);
    w.gridSpacing = std::max(20, shorter * 10 / 45 / 10 * 10);
    for (int r = 0; r < o.rows; ++r)
        for (int c = 0; c < o.columns; ++c) {
            const QString num = sheetNumber(c, r, o.columns, o.rows);
            const int index = int(w.sheets.size());
            w.sheets.push_back({num, num + u'.' + fileSuffix(index, o.mixedFormats), c, r,
                                c * o.sheetWidth, r * o.sheetHeight});
        }

    const double finest = std::max(6.0, shorter / 90.0);
    w.rivers = makeRivers(w, finest * 1.2);
    const std::vector<QPoint> towns = makeTowns(w);
    w.roads = makeRoads(w, towns, finest);

    const std::vector<int> quota = quotas(o, int(w.sheets.size()));
    const auto riverPoints = riverPointsBySheet(w);
    w.places.reserve(size_t(o.places));
    for (int s = 0; s < int(w.sheets.size()); ++s) {
        w.firstPlace.push_back(int(w.places.size()));
        placeOnSheet(w, s, quota[s], towns, riverPoints[s], finest);
    }
    w.firstPlace.push_back(int(w.places.size()));
    w.tracks = makeTracks(w, towns, finest);
    return w;
}
