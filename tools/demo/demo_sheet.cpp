#include "demo_sheet.h"
#include "demo_random.h"
#include "demo_relief.h"
#include "demo_world.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

const QColor Ink(24, 24, 24);
const QColor WaterInk(30, 78, 154);
const QColor ReliefInk(74, 44, 22);
const QColor River(42, 127, 212);
const QColor MarginPaper(252, 251, 247);
const QString Family = QStringLiteral("DejaVu Sans");

QColor inkOf(PlaceType t)
{
    if (t == PlaceType::Gol || t == PlaceType::Akarsu)
        return WaterInk;
    if (t == PlaceType::Dag || t == PlaceType::Tepe)
        return ReliefInk;
    return Ink;
}

QFont font(double pixels, bool bold = false, bool italic = false)
{
    QFont f(Family);
    f.setPixelSize(std::max(1, int(std::lround(pixels))));
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

QFont labelFont(PlaceType t)
{
    switch (t) {
    case PlaceType::Ilce: return font(15, true);
    case PlaceType::Mahalle: return font(10);
    case PlaceType::Ciftlik: return font(10, false, true);
    case PlaceType::Dag: return font(12, true, true);
    case PlaceType::Tepe: return font(10, false, true);
    case PlaceType::Gol:
    case PlaceType::Akarsu: return font(11, false, true);
    case PlaceType::Koy: break;
    }
    return font(11);
}

void strokeLines(QPainter &p, const std::vector<DemoLine> &lines, const QRectF &area)
{
    for (const DemoLine &line : lines)
        if (line.bounds.intersects(area))
            p.drawPolyline(line.points);
}

// Rivers widen downstream.
void drawRivers(QPainter &p, const DemoWorld &w, const QRectF &area)
{
    constexpr int Chunk = 8;
    for (const DemoLine &river : w.rivers) {
        if (!river.bounds.intersects(area))
            continue;
        const int n = int(river.points.size());
        for (int i = 0; i + 1 < n; i += Chunk) {
            const QPolygonF part = river.points.mid(i, Chunk + 1);
            if (!part.boundingRect().intersects(area))
                continue;
            p.setPen(QPen(River, 2.0 + 4.0 * i / n, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(part);
        }
    }
    p.setPen(QPen(River, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    strokeLines(p, w.streams, area);
}

void drawGrid(QPainter &p, const DemoWorld &w, const QRectF &area)
{
    p.setPen(QPen(QColor(30, 30, 30, 110), 0.8));
    const int g = w.gridSpacing;
    for (int x = int(std::ceil(area.left() / g)) * g; x <= area.right(); x += g)
        p.drawLine(QLineF(x, area.top(), x, area.bottom()));
    for (int y = int(std::ceil(area.top() / g)) * g; y <= area.bottom(); y += g)
        p.drawLine(QLineF(area.left(), y, area.right(), y));
}

void drawBuiltUpArea(QPainter &p, QPointF centre, uint64_t seed)
{
    Rng rng(hashOf(seed, 11));
    QPolygonF outline;
    for (int k = 0; k < 10; ++k) {
        const double angle = k * 2 * std::numbers::pi / 10, radius = rng.uniform(18, 34);
        outline << centre + QPointF(std::cos(angle), std::sin(angle)) * radius;
    }
    p.setPen(QPen(QColor(150, 110, 100), 0.8));
    p.setBrush(QColor(232, 196, 188));
    p.drawPolygon(outline);
}

double symbolRadius(PlaceType t) { return t == PlaceType::Ilce ? 7 : t == PlaceType::Gol ? 9 : 5; }

void drawLabel(QPainter &p, const DemoWorld &w, const DemoPlace &place, QPointF at, const QRectF &face)
{
    static const QLocale turkish(QLocale::Turkish, QLocale::Turkey);
    QString text = placeName(place.type, place.seed);
    if (place.type == PlaceType::Ilce)
        text = turkish.toUpper(text);
    const QFont f = labelFont(place.type);
    const QFontMetricsF fm(f);
    const double gap = symbolRadius(place.type) + 3;
    double x = at.x() + gap;
    if (x + fm.horizontalAdvance(text) > face.right())
        x = at.x() - gap - fm.horizontalAdvance(text);
    const double baseline = at.y() + (fm.ascent() - fm.descent()) / 2;
    p.setFont(f);
    p.setPen(inkOf(place.type));
    p.drawText(QPointF(x, baseline), text);
    if (place.type == PlaceType::Dag || place.type == PlaceType::Tepe) {
        const double height = Terrain::metres(w.terrain.elevation(at.x(), at.y()));
        p.setFont(font(8));
        p.drawText(QPointF(x, baseline + fm.height() * 0.85), QString::number(std::lround(height)));
    }
}

void drawSymbol(QPainter &p, PlaceType t, QPointF at)
{
    const QColor ink = inkOf(t);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    switch (t) {
    case PlaceType::Koy:
        p.drawEllipse(at, 3.4, 3.4);
        break;
    case PlaceType::Mahalle:
        p.drawRect(QRectF(at - QPointF(2.8, 2.8), QSizeF(5.6, 5.6)));
        break;
    case PlaceType::Ciftlik:
        p.setPen(QPen(ink, 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(at - QPointF(3.5, 3.5), QSizeF(7, 7)));
        break;
    case PlaceType::Ilce:
        p.setPen(QPen(Ink, 1.6));
        p.setBrush(Qt::white);
        p.drawEllipse(at, 6, 6);
        break;
    case PlaceType::Dag:
    case PlaceType::Tepe: {
        const double side = t == PlaceType::Dag ? 12 : 9;
        const double h = side * std::sqrt(3.0) / 2;
        const QPolygonF triangle{at + QPointF(0, -h * 2 / 3), at + QPointF(side / 2, h / 3),
                                 at + QPointF(-side / 2, h / 3)};
        if (t == PlaceType::Tepe) {
            p.setPen(QPen(ink, 1.1));
            p.setBrush(Qt::NoBrush);
        }
        p.drawPolygon(triangle);
        break;
    }
    case PlaceType::Gol:
        p.setPen(QPen(WaterInk, 1));
        p.setBrush(QColor(156, 204, 240));
        p.drawEllipse(at, 9, 5.5);
        break;
    case PlaceType::Akarsu: // its creek or river is drawn with the water
        break;
    }
}

void drawPlaces(QPainter &p, const DemoWorld &w, int sheet, const QRectF &face)
{
    const DemoSheet &s = w.sheets[sheet];
    const auto begin = w.places.begin() + w.firstPlace[sheet], end = w.places.begin() + w.firstPlace[sheet + 1];
    // The centre of the image pixel (x / divisor, y / divisor) to which Zemira maps the place.
    const int sd = w.options.scaleDivisor;
    auto position = [&](const DemoPlace &place) {
        return QPointF(s.px0 + (place.x / sd + 0.5) * sd, s.py0 + (place.y / sd + 0.5) * sd);
    };
    if (end - begin <= MostDetailedPlaces) {
        for (auto it = begin; it != end; ++it)
            if (it->type == PlaceType::Ilce)
                drawBuiltUpArea(p, position(*it), it->seed);
        for (auto it = begin; it != end; ++it)
            drawLabel(p, w, *it, position(*it), face);
        for (auto it = begin; it != end; ++it)
            drawSymbol(p, it->type, position(*it));
    }
    // Drawn last, so that every place's own pixel shows its ink whatever lies around it.
    p.setPen(Qt::NoPen);
    const double dot = std::max(1.6, 0.8 * sd);
    for (auto it = begin; it != end; ++it) {
        p.setBrush(inkOf(it->type));
        p.drawEllipse(position(*it), dot, dot);
    }
}

void drawText(QPainter &p, const QFont &f, QPointF at, Qt::Alignment align, const QString &text)
{
    p.setFont(f);
    const double width = QFontMetricsF(f).horizontalAdvance(text);
    const double x = align & Qt::AlignRight ? at.x() - width : align & Qt::AlignHCenter ? at.x() - width / 2 : at.x();
    p.drawText(QPointF(x, at.y()), text);
}

QString neighbour(const DemoWorld &w, int sheet, int dc, int dr)
{
    const DemoSheet &s = w.sheets[sheet];
    const int c = s.column + dc, r = s.row + dr;
    if (c < 0 || r < 0 || c >= w.options.columns || r >= w.options.rows)
        return {};
    return w.sheets[size_t(r) * w.options.columns + c].num;
}

// The margin outside the map face: frame lines, title, sheet numbers, grid numbers.
void drawFrame(QPainter &p, const DemoWorld &w, int sheet, QSizeF size)
{
    const DemoSheet &s = w.sheets[sheet];
    const int sd = w.options.scaleDivisor;
    const double m = double(w.margin) / sd, o = 0.42 * m, wd = size.width(), ht = size.height();
    p.setPen(Qt::NoPen);
    p.setBrush(MarginPaper);
    p.drawRect(QRectF(0, 0, wd, m));
    p.drawRect(QRectF(0, ht - m, wd, m));
    p.drawRect(QRectF(0, m, m, ht - 2 * m));
    p.drawRect(QRectF(wd - m, m, m, ht - 2 * m));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Ink, std::max(1.0, 2.0 / sd)));
    p.drawRect(QRectF(m, m, wd - 2 * m, ht - 2 * m));
    p.setPen(QPen(Ink, std::max(0.6, 0.8 / sd)));
    p.drawRect(QRectF(o, o, wd - 2 * o, ht - 2 * o));

    const QFont small = font(0.27 * m), title = font(0.3 * m, true), number = font(0.36 * m, true);
    const double top = o - 0.1 * m, bottom = ht - 0.12 * m;
    drawText(p, title, {o, top}, Qt::AlignLeft, QStringLiteral("TOPOĞRAFYA HARİTASI   1:25 000"));
    drawText(p, number, {wd - o, top}, Qt::AlignRight, s.num);
    drawText(p, small, {wd / 2, top}, Qt::AlignHCenter, neighbour(w, sheet, 0, -1));
    drawText(p, small, {o, bottom}, Qt::AlignLeft, QStringLiteral("Eş yükselti aralığı 25 metre"));
    drawText(p, small, {wd / 2, bottom}, Qt::AlignHCenter, neighbour(w, sheet, 0, 1));
    drawText(p, number, {wd - o, bottom}, Qt::AlignRight, s.num);
    for (int side = 0; side < 2; ++side) {
        p.save();
        p.translate(side ? wd - 0.12 * m : 0.12 * m, ht / 2);
        p.rotate(side ? 90 : -90);
        drawText(p, small, {0, 0.2 * m}, Qt::AlignHCenter, neighbour(w, sheet, side ? 1 : -1, 0));
        p.restore();
    }

    const int g = w.gridSpacing;
    const QRect face = w.mapFace(sheet);
    const double ascent = QFontMetricsF(small).ascent();
    for (int x = (face.left() + g - 1) / g * g; x <= face.right(); x += g) {
        const QString label = QStringLiteral("%1").arg((x / g + 30) % 100, 2, 10, QChar(u'0'));
        const double ix = double(x - s.px0) / sd;
        drawText(p, small, {ix, m - 0.12 * m}, Qt::AlignHCenter, label);
        drawText(p, small, {ix, ht - m + 0.1 * m + ascent}, Qt::AlignHCenter, label);
    }
    for (int y = (face.top() + g - 1) / g * g; y <= face.bottom(); y += g) {
        const QString label = QStringLiteral("%1").arg(((90 - y / g) % 100 + 100) % 100, 2, 10, QChar(u'0'));
        const double iy = double(y - s.py0) / sd + ascent / 2;
        drawText(p, small, {m - 0.08 * m, iy}, Qt::AlignRight, label);
        drawText(p, small, {wd - m + 0.08 * m, iy}, Qt::AlignLeft, label);
    }
}

} // namespace

QImage drawSheet(const DemoWorld &w, int sheet)
{
    const DemoSheet &s = w.sheets[sheet];
    const int sd = w.options.scaleDivisor;
    QImage image(w.options.sheetWidth / sd, w.options.sheetHeight / sd, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    paintRelief(image, w, sheet);

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(1.0 / sd, 1.0 / sd);
    p.translate(-s.px0, -s.py0);
    const QRectF face = w.mapFace(sheet);
    p.setClipRect(face);
    const QRectF area = face.adjusted(-40, -40, 40, 40);
    drawGrid(p, w, face);
    drawRivers(p, w, area);
    p.setPen(QPen(QColor(70, 70, 70), 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    strokeLines(p, w.tracks, area);
    p.setPen(QPen(Ink, 5.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    strokeLines(p, w.roads, area);
    p.setPen(QPen(QColor(222, 66, 40), 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    strokeLines(p, w.roads, area);
    if (w.options.drawPlaces)
        drawPlaces(p, w, sheet, face);

    p.resetTransform();
    p.setClipping(false);
    drawFrame(p, w, sheet, image.size());
    return image;
}
