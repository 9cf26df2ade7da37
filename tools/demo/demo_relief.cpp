#include "demo_relief.h"
#include "demo_world.h"

#include <QLineF>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

constexpr int Step = 8; // image pixels between the nodes where the fields are sampled

struct Field {
    int columns = 0, rows = 0;
    std::vector<float> values;
    float at(int i, int j) const { return values[size_t(j) * columns + i]; }
    float &at(int i, int j) { return values[size_t(j) * columns + i]; }
};

struct Colour {
    float r, g, b;
};

Colour mix(Colour a, Colour b, float t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

const Colour Paper{250, 247, 236};
const Colour Highland{240, 228, 204};
const Colour Woods{196, 226, 170};
const Colour Lake{164, 208, 240};

// Paper tinted by height and lit from the north-west.
Colour groundColour(const Field &metres, int i, int j, double nodeSpacing)
{
    const int il = std::max(0, i - 1), ir = std::min(metres.columns - 1, i + 1);
    const int jt = std::max(0, j - 1), jb = std::min(metres.rows - 1, j + 1);
    // Ground metres per stored pixel: about 2, as on a 1:25 000 sheet scanned at 300 dpi.
    const double dx = (metres.at(ir, j) - metres.at(il, j)) / ((ir - il) * nodeSpacing * 2.0);
    const double dy = (metres.at(i, jb) - metres.at(i, jt)) / ((jb - jt) * nodeSpacing * 2.0);
    const double nx = -dx, ny = -dy;
    const double lit = (-nx - ny + 1.4) / (std::sqrt(nx * nx + ny * ny + 1) * std::sqrt(3.96));
    const double flat = 1.4 / std::sqrt(3.96);
    const float light = float(std::clamp(1 + 0.35 * (lit - flat), 0.86, 1.05));
    const float height = std::clamp((metres.at(i, j) - 600.0f) / 1000.0f, 0.0f, 1.0f);
    const Colour c = mix(Paper, Highland, height);
    return {std::min(255.f, c.r * light), std::min(255.f, c.g * light), std::min(255.f, c.b * light)};
}

// One cell of marching squares: corners a (top left), b (top right), c (bottom right), d.
void isoSegments(float a, float b, float c, float d, float level, QPointF origin, double size,
                 std::vector<QLineF> &out)
{
    QPointF points[4];
    int n = 0;
    auto edge = [&](float v1, float v2, QPointF p1, QPointF p2) {
        if ((v1 >= level) != (v2 >= level))
            points[n++] = p1 + (p2 - p1) * ((level - v1) / (v2 - v1));
    };
    const QPointF tl = origin, tr = origin + QPointF(size, 0), br = origin + QPointF(size, size),
                  bl = origin + QPointF(0, size);
    edge(a, b, tl, tr);
    edge(b, c, tr, br);
    edge(c, d, br, bl);
    edge(d, a, bl, tl);
    if (n >= 2)
        out.emplace_back(points[0], points[1]);
    if (n == 4)
        out.emplace_back(points[2], points[3]);
}

float bilinear(const Field &f, int i, int j, float tx, float ty)
{
    const float top = f.at(i, j) + (f.at(i + 1, j) - f.at(i, j)) * tx;
    const float bottom = f.at(i, j + 1) + (f.at(i + 1, j + 1) - f.at(i, j + 1)) * tx;
    return top + (bottom - top) * ty;
}

} // namespace

void paintRelief(QImage &image, const DemoWorld &world, int sheet)
{
    const DemoSheet &s = world.sheets[sheet];
    const int sd = world.options.scaleDivisor;
    const int columns = image.width() / Step + 2, rows = image.height() / Step + 2;
    Field metres{columns, rows, std::vector<float>(size_t(columns) * rows)};
    Field forest = metres, water = metres;
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i) {
            const double x = s.px0 + double(i) * Step * sd, y = s.py0 + double(j) * Step * sd;
            metres.at(i, j) = float(Terrain::metres(world.terrain.elevation(x, y)));
            forest.at(i, j) = float(world.terrain.forest(x, y));
            water.at(i, j) = float(world.terrain.water(x, y));
        }
    std::vector<Colour> ground(metres.values.size());
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i)
            ground[size_t(j) * columns + i] = groundColour(metres, i, j, double(Step) * sd);

    // Edges of woods and lakes stay sharp because the threshold is taken per pixel.
    const float forestLevel = float(Terrain::ForestLevel), lakeLevel = float(Terrain::LakeLevel);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        const int j = y / Step;
        const float ty = float(y % Step) / Step;
        for (int x = 0; x < image.width(); ++x) {
            const int i = x / Step;
            const float tx = float(x % Step) / Step;
            const Colour &g00 = ground[size_t(j) * columns + i], &g10 = ground[size_t(j) * columns + i + 1];
            const Colour &g01 = ground[size_t(j + 1) * columns + i], &g11 = ground[size_t(j + 1) * columns + i + 1];
            Colour c = mix(mix(g00, g10, tx), mix(g01, g11, tx), ty);
            const float f = bilinear(forest, i, j, tx, ty);
            if (f > forestLevel)
                c = mix(c, Woods, std::min(1.0f, (f - forestLevel) * 60) * 0.85f);
            if (bilinear(water, i, j, tx, ty) > lakeLevel)
                c = Lake;
            line[x] = qRgb(int(c.r), int(c.g), int(c.b));
        }
    }

    std::vector<QLineF> contours, indexContours, shores;
    const float interval = float(Terrain::ContourInterval);
    for (int j = 0; j + 1 < rows; ++j)
        for (int i = 0; i + 1 < columns; ++i) {
            const QPointF origin(double(i) * Step, double(j) * Step);
            const float w[4] = {water.at(i, j), water.at(i + 1, j), water.at(i + 1, j + 1), water.at(i, j + 1)};
            isoSegments(w[0], w[1], w[2], w[3], lakeLevel, origin, Step, shores);
            if (*std::max_element(w, w + 4) > lakeLevel)
                continue;
            const float m[4] = {metres.at(i, j), metres.at(i + 1, j), metres.at(i + 1, j + 1), metres.at(i, j + 1)};
            const auto [low, high] = std::minmax_element(m, m + 4);
            for (int k = int(std::ceil(*low / interval)); k * interval <= *high; ++k)
                isoSegments(m[0], m[1], m[2], m[3], k * interval, origin, Step,
                            k % 4 == 0 ? indexContours : contours);
        }
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(176, 112, 64, 200), 0.9 / sd));
    p.drawLines(contours.data(), int(contours.size()));
    p.setPen(QPen(QColor(160, 96, 48, 230), 1.7 / sd));
    p.drawLines(indexContours.data(), int(indexContours.size()));
    p.setPen(QPen(QColor(42, 110, 200), 1.2 / sd));
    p.drawLines(shores.data(), int(shores.size()));
}
