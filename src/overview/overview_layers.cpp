#include "overview_layers.h"
#include "app/uGenel.h"
#include "map/coords.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace overview_layers {

namespace {

const QColor OutlineColour(40, 40, 40);
const QColor CurrentFill(255, 200, 0, 110);
const QColor CurrentOutline(230, 120, 0);
const QColor DotColour(0, 60, 200);
const QColor LabelColour(255, 255, 255, 210);

int floorDivide(int64_t value, int64_t divisor)
{
    const int64_t q = value / divisor;
    return coords::clampToInt(q * divisor > value ? q - 1 : q);
}

// A number on a pale label, legible on any part of the picture; left out where the
// sheet is too small to hold it.
void drawNumber(QPainter &painter, const QRect &box, const QString &text)
{
    const QFontMetrics metrics(painter.font());
    const QRect inner = box.adjusted(3, 3, -3, -3);
    const QRect bounds = metrics.boundingRect(inner, Qt::AlignCenter, text).adjusted(-1, 0, 1, 0);
    if (!inner.contains(bounds))
        return;
    painter.fillRect(bounds, LabelColour);
    painter.setPen(OutlineColour);
    painter.drawText(bounds, Qt::AlignCenter, text);
}

} // namespace

int cellUnits(double s)
{
    return std::max(1, coords::roundToInt(CellPixels * s));
}

QPoint cellOf(QPoint stored, int unit)
{
    return QPoint(floorDivide(stored.x(), unit), floorDivide(stored.y(), unit));
}

QPoint storedToOverview(QPoint stored, double s)
{
    if (s <= 0)
        return QPoint();
    return QPoint(coords::roundToInt(stored.x() / s), coords::roundToInt(stored.y() / s));
}

QRect sheetRect(const paftarec &sheet, double s)
{
    const QPoint topLeft = storedToOverview(QPoint(sheet.px0, sheet.py0), s);
    const QPoint farCorner(coords::clampToInt(int64_t(sheet.px0) + sheet.px),
                           coords::clampToInt(int64_t(sheet.py0) + sheet.py));
    const QPoint far = storedToOverview(farCorner, s);
    return QRect(topLeft, far);
}

QString cellStatement()
{
    // "|| ''" keeps SQLite from walking the index on harita.pafta for every sheet instead
    // of the id range (2 s against 0.3 s a statement at 10 million places).
    return QStringLiteral(
        "select cx, cy from ("
        "select case when x >= 0 then x / ? else -((-x - 1) / ?) - 1 end as cx, "
        "case when y >= 0 then y / ? else -((-y - 1) / ?) - 1 end as cy from ("
        "select cast(coalesce(p.px0, 0) as bigint) + h.px as x, cast(coalesce(p.py0, 0) as bigint) + h.py as y "
        "from harita h join pafta p on p.num = h.pafta || '' "
        "where h.id >= ? and h.id < ? and h.px is not null and h.py is not null) r) c "
        "group by cx, cy");
}

QString cellHoldsStatement()
{
    return QStringLiteral(
        "select 1 from pafta p join harita h on h.pafta = p.num "
        "where h.px >= ? - coalesce(p.px0, 0) and h.px < ? - coalesce(p.px0, 0) "
        "and h.py >= ? - coalesce(p.py0, 0) and h.py < ? - coalesce(p.py0, 0) limit 1");
}

void draw(QImage &canvas, const Shown &shown, const std::vector<paftarec> &sheets, int current,
          const QSet<QPoint> &cells, int unit, double s)
{
    if (!shown.any() || s <= 0 || canvas.isNull())
        return;
    QPainter painter(&canvas);
    const bool hasCurrent = shown.current && current >= 0 && size_t(current) < sheets.size();
    if (hasCurrent)
        painter.fillRect(sheetRect(sheets[size_t(current)], s), CurrentFill);
    if (shown.places) {
        // The dot sits on the overview pixel of its cell's centre.
        for (const QPoint &cell : cells) {
            const QPoint centre(coords::clampToInt(int64_t(cell.x()) * unit + unit / 2),
                                coords::clampToInt(int64_t(cell.y()) * unit + unit / 2));
            painter.fillRect(QRect(storedToOverview(centre, s), QSize(2, 2)), DotColour);
        }
    }
    if (shown.sheets) {
        QFont font = painter.font();
        font.setPixelSize(9);
        font.setBold(true);
        painter.setFont(font);
        for (const paftarec &sheet : sheets) {
            const QRect box = sheetRect(sheet, s);
            painter.setPen(QPen(OutlineColour, 1));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(box.adjusted(0, 0, -1, -1)); // a stroked rectangle reaches one pixel further
            drawNumber(painter, box, sheet.num);
        }
    }
    if (hasCurrent) {
        painter.setPen(QPen(CurrentOutline, 1));
        painter.setBrush(Qt::NoBrush);
        const QRect box = sheetRect(sheets[size_t(current)], s);
        painter.drawRect(box.adjusted(0, 0, -1, -1));
        painter.drawRect(box.adjusted(1, 1, -2, -2));
    }
}

} // namespace overview_layers
