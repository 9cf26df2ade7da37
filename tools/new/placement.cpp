#include "placement.h"
#include "framework/errors.h"
#include "sheet_names.h"

#include <QSet>
#include <cmath>
#include <limits>

#include <ogr_srs_api.h>

namespace {

// Ground resolutions equal within this share: less than a pixel's drift across 40,000 pixels.
constexpr double ResolutionTolerance = 1e-6;

QString listOf(const QStringList &names)
{
    constexpr int Shown = 10;
    QString text = names.mid(0, Shown).join(QStringLiteral(", "));
    if (names.size() > Shown)
        text += QStringLiteral(" ve %1 dosya daha").arg(names.size() - Shown);
    return text;
}

bool sameCrs(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return a.isEmpty() == b.isEmpty();
    if (a == b)
        return true;
    OGRSpatialReferenceH sa = OSRNewSpatialReference(a.toUtf8().constData());
    OGRSpatialReferenceH sb = OSRNewSpatialReference(b.toUtf8().constData());
    const bool same = sa && sb && OSRIsSame(sa, sb);
    OSRDestroySpatialReference(sa);
    OSRDestroySpatialReference(sb);
    return same;
}

bool sameResolution(double a, double b) { return std::abs(a - b) <= ResolutionTolerance * std::abs(a); }

// Shifts the corners so that the region starts at (0, 0) and checks that it fits 32 bits.
void normalise(std::vector<SheetRow> &rows, qint64 minX, qint64 minY, const std::vector<qint64> &xs,
               const std::vector<qint64> &ys)
{
    for (size_t i = 0; i < rows.size(); ++i) {
        const qint64 x = xs[i] - minX, y = ys[i] - minY;
        if (x + rows[i].px > std::numeric_limits<int>::max() || y + rows[i].py > std::numeric_limits<int>::max())
            throw Error(QStringLiteral("Bölge 32 bitlik koordinatlara sığmıyor (%1 çok uzakta).").arg(rows[i].file));
        rows[i].px0 = int(x);
        rows[i].py0 = int(y);
    }
}

std::vector<SheetRow> rowsOf(const std::vector<ScanSheet> &sheets)
{
    std::vector<SheetRow> rows;
    for (const ScanSheet &s : sheets)
        rows.push_back({s.baseName, s.fileName, s.width, s.height, 0, 0});
    return rows;
}

Placement byGeoreferencing(const std::vector<ScanSheet> &sheets)
{
    const ScanSheet &first = sheets.front();
    const double dx = first.transform[1], dy = first.transform[5];
    QStringList rotated, otherCrs, otherResolution;
    for (const ScanSheet &s : sheets) {
        if (s.transform[2] != 0 || s.transform[4] != 0 || s.transform[1] == 0 || s.transform[5] == 0)
            rotated << s.fileName;
        else if (!sameCrs(s.crs, first.crs))
            otherCrs << s.fileName;
        else if (!sameResolution(s.transform[1], dx) || !sameResolution(s.transform[5], dy))
            otherResolution << s.fileName;
    }
    if (!rotated.isEmpty())
        throw Error(QStringLiteral("Şu paftalar döndürülmüş ya da eğik; Zemira yalnız kuzeyi yukarıda, döndürülmemiş "
                                   "paftaları yan yana koyar: %1")
                        .arg(listOf(rotated)));
    if (!otherCrs.isEmpty())
        throw Error(QStringLiteral("Şu paftaların koordinat sistemi %1 dosyasınınkinden başka: %2")
                        .arg(first.fileName, listOf(otherCrs)));
    if (!otherResolution.isEmpty())
        throw Error(QStringLiteral("Şu paftaların çözünürlüğü %1 dosyasınınkinden (%2 × %3) başka: %4")
                        .arg(first.fileName)
                        .arg(dx, 0, 'g', 10)
                        .arg(dy, 0, 'g', 10)
                        .arg(listOf(otherResolution)));
    std::vector<qint64> xs, ys;
    for (const ScanSheet &s : sheets) {
        // Scans rarely start on a whole pixel of one another: the nearest one is taken.
        const double x = std::round((s.transform[0] - first.transform[0]) / dx);
        const double y = std::round((s.transform[3] - first.transform[3]) / dy);
        if (std::abs(x) > 1e12 || std::abs(y) > 1e12)
            throw Error(QStringLiteral("Bölge 32 bitlik koordinatlara sığmıyor (%1 çok uzakta).").arg(s.fileName));
        xs.push_back(qint64(x));
        ys.push_back(qint64(y));
    }
    const qint64 minX = *std::min_element(xs.begin(), xs.end()), minY = *std::min_element(ys.begin(), ys.end());
    Placement p{QStringLiteral("konum bilgisi"), rowsOf(sheets), {}};
    normalise(p.rows, minX, minY, xs, ys);
    p.georef = Georef{first.crs, first.transform[0] + double(minX) * dx, first.transform[3] + double(minY) * dy, dx, dy};
    return p;
}

// Every sheet in a cell of the size of the largest, so that no two overlap.
Placement inCells(const std::vector<ScanSheet> &sheets, const std::vector<QPoint> &cells, QString method)
{
    int cellWidth = 0, cellHeight = 0;
    for (const ScanSheet &s : sheets) {
        cellWidth = std::max(cellWidth, s.width);
        cellHeight = std::max(cellHeight, s.height);
    }
    std::vector<qint64> xs, ys;
    for (const QPoint &c : cells) {
        xs.push_back(qint64(c.x()) * cellWidth);
        ys.push_back(qint64(c.y()) * cellHeight);
    }
    Placement p{std::move(method), rowsOf(sheets), {}};
    normalise(p.rows, *std::min_element(xs.begin(), xs.end()), *std::min_element(ys.begin(), ys.end()), xs, ys);
    return p;
}

std::optional<Placement> byNationalNames(const std::vector<ScanSheet> &sheets)
{
    std::vector<NationalSheet> names;
    for (const ScanSheet &s : sheets) {
        const auto n = nationalSheet(s.baseName);
        if (!n)
            return std::nullopt;
        names.push_back(*n);
    }
    QStringList otherScale;
    QSet<QString> seen;
    QStringList twice;
    std::vector<QPoint> cells;
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i].level != names.front().level)
            otherScale << sheets[i].fileName;
        if (seen.contains(names[i].name))
            twice << sheets[i].fileName;
        seen.insert(names[i].name);
        cells.emplace_back(names[i].column, names[i].row);
    }
    if (!otherScale.isEmpty())
        throw Error(QStringLiteral("Pafta adları tek bir ölçekte olmalı; şunlar %1 dosyasınınkinden başka ölçekte: %2")
                        .arg(sheets.front().fileName, listOf(otherScale)));
    if (!twice.isEmpty())
        throw Error(QStringLiteral("Şu dosyalar aynı paftayı adlandırıyor: %1").arg(listOf(twice)));
    Placement p = inCells(sheets, cells, QStringLiteral("pafta adları"));
    for (size_t i = 0; i < names.size(); ++i)
        p.rows[i].num = names[i].name;
    return p;
}

} // namespace

Placement placeSheets(const std::vector<ScanSheet> &sheets, std::optional<QSize> grid)
{
    if (sheets.empty())
        throw Error(QStringLiteral("Tarama klasöründe Zemira'nın gösterdiği biçimde (tif, tiff, png, jp2, jpg, jpeg, "
                                   "bmp, gif, pcx, ico, wmf, emf) hiç resim yok."));
    QSet<QString> seen;
    QStringList twice;
    for (const ScanSheet &s : sheets) {
        if (seen.contains(s.baseName))
            twice << s.fileName;
        seen.insert(s.baseName);
    }
    if (!twice.isEmpty())
        throw Error(QStringLiteral("Pafta numarası dosya adından gelir; şu dosyaların adı başka bir dosyanınkiyle "
                                   "aynı: %1")
                        .arg(listOf(twice)));
    if (std::all_of(sheets.begin(), sheets.end(), [](const ScanSheet &s) { return s.georeferenced; }))
        return byGeoreferencing(sheets);
    if (auto p = byNationalNames(sheets))
        return std::move(*p);
    if (!grid)
        throw Error(QStringLiteral("Paftaların yeri bulunamadı: hepsinin konum bilgisi (GeoTIFF, dünya dosyası) yok, "
                                   "hepsi pafta adıyla (ör. I29-b1) adlandırılmamış. Dizilişi --grid SÜTUNxSATIR "
                                   "ile verin."));
    const qint64 cellsInGrid = qint64(grid->width()) * grid->height();
    if (grid->width() < 1 || grid->height() < 1 || cellsInGrid < qint64(sheets.size()))
        throw Error(QStringLiteral("%1 × %2 ızgaraya %3 pafta sığmaz.")
                        .arg(grid->width())
                        .arg(grid->height())
                        .arg(sheets.size()));
    std::vector<QPoint> cells;
    for (int i = 0; i < int(sheets.size()); ++i)
        cells.emplace_back(i % grid->width(), i / grid->width());
    return inCells(sheets, cells, QStringLiteral("ızgara"));
}
