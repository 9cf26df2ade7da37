#pragma once
#include "demo_names.h"
#include "demo_region.h"
#include "demo_terrain.h"

#include <QPolygonF>
#include <QRect>
#include <QString>
#include <vector>

// Above this many places on one sheet, places are drawn as dots only and streams get no creek.
constexpr int MostDetailedPlaces = 4000;

struct DemoSheet {
    QString num;          // sheet number, e.g. "K18-a1"
    QString file;         // image file name in the data directory
    int column = 0, row = 0;
    int px0 = 0, py0 = 0; // top-left corner in stored region coordinates
};

struct DemoPlace {
    int sheet;
    int x, y;             // stored coordinates on its sheet
    PlaceType type;
    uint64_t seed;        // of its name and codes
};

// A river, road or track in stored region coordinates.
struct DemoLine {
    QPolygonF points;
    QRectF bounds;
};

// Everything a region is made of, before any file is written.
struct DemoWorld {
    explicit DemoWorld(const DemoOptions &o) : options(o), terrain(o.seed) {}

    DemoOptions options;
    Terrain terrain;
    int margin = 0;                // stored pixels between a sheet's edge and its map face
    int gridSpacing = 0;           // stored pixels between grid lines
    std::vector<DemoSheet> sheets; // in num order, which is reading order
    std::vector<DemoPlace> places; // grouped by sheet, in sheet order
    std::vector<int> firstPlace;   // per sheet into places, plus one entry for the end
    std::vector<DemoLine> rivers, streams, roads, tracks;

    int regionWidth() const { return options.columns * options.sheetWidth; }
    int regionHeight() const { return options.rows * options.sheetHeight; }
    QRect mapFace(int sheet) const; // stored region coordinates
};

// options must have passed validation.
DemoWorld buildWorld(const DemoOptions &options);

// Numbers in the style of a map series whose text order is the reading order.
QString sheetNumber(int column, int row, int columns, int rows);
