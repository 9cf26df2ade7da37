#pragma once
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSet>
#include <QString>
#include <vector>

struct paftarec;

// The overview's optional layers, drawn on a copy of the clean picture before the
// visible-area rectangle and the crosshair. s is the overview's scale (stored units
// per overview pixel, coords::overviewScale); 0 draws nothing.
namespace overview_layers {

struct Shown {
    bool sheets = false;  // every sheet's outline and number
    bool current = false; // the current sheet highlighted
    bool places = false;  // one dot per crowded cell of places
    bool any() const { return sheets || current || places; }
    bool operator==(const Shown &) const = default;
};

// Places are thinned to one dot per square cell of this many overview pixels.
constexpr int CellPixels = 4;

// The side of a dot cell in stored units (at least 1), so that cells are whole numbers
// the database can group by.
int cellUnits(double s);

// The cell of a stored region position: floor division, so that cells do not double
// up around 0.
QPoint cellOf(QPoint stored, int unit);

// A stored region position as an overview pixel: the inverse of coords::overviewToStored.
QPoint storedToOverview(QPoint stored, double s);

// A sheet's bounds on the overview, corners inclusive as coords::sheetAt counts them.
QRect sheetRect(const paftarec &sheet, double s);

// The statement that reads the dot cells of places whose id lies in [?, ?), bound after
// the cell side twice per axis. Grouped in the database, so that only cells travel.
QString cellStatement();

// The statement that finds whether a cell holds a place: bound to the cell's stored region
// bounds, left, right (exclusive), top, bottom (exclusive). It looks places up sheet by
// sheet through the index on harita (pafta, px), so that it costs the same at any size.
QString cellHoldsStatement();

// Draws the layers that are shown; current is an index into sheets or -1.
void draw(QImage &canvas, const Shown &shown, const std::vector<paftarec> &sheets, int current,
          const QSet<QPoint> &cells, int unit, double s);

} // namespace overview_layers
