#pragma once
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <vector>

struct paftarec;

// The view, sheet, region and overview arithmetic in one place, free of widgets.
// Stored coordinates are full resolution; sheet = stored / ScaleDivisor (truncating);
// view = sheet + sheet layer offset; region = sheet + sheet origin.
namespace coords {

// " X:<x> Y:<y>", the text of every coordinate readout.
QString readout(int x, int y);

QSize sheetLayerSize(int px, int py, int scaleDivisor);
QPoint sheetOrigin(int px0, int py0, int scaleDivisor);

// The sheet layer offset that centres sheet point p in a scroll box of the given outer size.
QPoint centringOffset(QSize scrollBox, QPoint p);

// Overlay size at start-up (divided) and after a resize of the view (not divided).
QSize initialOverlaySize(QSize scrollBox, int scaleDivisor);
QSize resizedOverlaySize(QSize scrollBox);

// Track bar maximum for one axis; a negative result is not applied by the track bar.
inline int trackMaximum(int layerExtent, int viewExtent) { return layerExtent - viewExtent; }

// s: stored units per overview pixel; 0 when the overview picture has no width.
double overviewScale(int overviewSpan, int overviewWidth, int scaleDivisor);

// r: displayed (sheet) pixels per overview pixel, derived from s so that the rectangle,
// the crosshair and a click on the overview agree on every sheet of the region.
double overviewRatio(double s, int scaleDivisor);

// An overview pixel in stored units: (Round(X * s), Round(Y * s)).
QPoint overviewToStored(QPoint overviewPixel, double s);

// Index of the first sheet whose stored bounds (inclusive) hold the stored point, or -1.
int sheetAt(const std::vector<paftarec> &sheets, QPoint stored);

// Corners of the visible-area rectangle on the overview, in overview pixels.
QRect viewportRect(QPoint sheetOrigin, QPoint layerOffset, QSize overlay, double r);

// The crosshair lines (x of the vertical, y of the horizontal) through a sheet point.
QPoint crosshair(QPoint sheetPoint, QPoint sheetOrigin, double r);

} // namespace coords
