#pragma once
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <cstdint>
#include <vector>

struct paftarec;

// The view, sheet, region and overview arithmetic in one place, free of widgets.
// Stored coordinates are full resolution; sheet = stored / ScaleDivisor (truncating);
// region = sheet + sheet origin; view (screen) = the sheet pixel scaled by the zoom (screen
// pixels per sheet pixel) + sheet layer offset. At zoom 1 view = sheet + offset exactly.
// Every result is a 32-bit int: sums, differences and quotients are taken in 64 bits (or
// in double) and clamped to the 32-bit range, so stored values at the limits give
// positions at the limits, never an overflow or a division fault.
namespace coords {

// A 64-bit intermediate clamped to the 32-bit range.
int clampToInt(int64_t value);
// To nearest, halves to even, clamped (infinities too); NaN gives 0.
int roundToInt(double value);

// value / divisor truncating toward zero (-7 / 2 = -3). INT_MIN / -1 gives INT_MAX;
// a divisor of 0 counts as 1, as start-up makes it.
int divide(int value, int divisor);

// " X:<x> Y:<y>", the text of every coordinate readout.
QString readout(int x, int y);

QSize sheetLayerSize(int px, int py, int scaleDivisor);
QPoint sheetOrigin(int px0, int py0, int scaleDivisor);

// The sheet layer offset that centres sheet point p in a scroll box of the given outer size.
QPoint centringOffset(QSize scrollBox, QPoint p, double zoom = 1.0);

// Overlay size at start-up (divided) and after a resize of the view (not divided).
QSize initialOverlaySize(QSize scrollBox, int scaleDivisor);
QSize resizedOverlaySize(QSize scrollBox);

// Track bar maximum for one axis; a negative result is not applied by the track bar.
// Widget sizes are bounded by the toolkit, so the difference cannot overflow.
inline int trackMaximum(int layerExtent, int viewExtent) { return layerExtent - viewExtent; }

// A point moved by an offset: sheet to view (the layer offset), sheet to region (the origin).
QPoint offsetBy(QPoint p, QPoint offset);
QPoint offsetBy(QPoint p, int dx, int dy);
// A view point as a point of the sheet layer at layerOffset.
QPoint viewToSheet(QPoint view, QPoint layerOffset, double zoom = 1.0);
// Where sheet pixel p shows in the view: the screen pixel under its centre.
QPoint sheetToView(QPoint sheet, QPoint layerOffset, double zoom);
// The sheet pixel under a pixel of the zoomed sheet layer (the layer's own coordinates).
QPoint layerToSheet(QPoint layer, double zoom);

// Zoom limits: 800 %, and down to the whole sheet in the view (never above 100 % for that).
constexpr double maxZoom = 8.0;
double minZoom(QSize sheetLayer, QSize view);
// One step in or out (steps > 0 enlarges), kept within [minimum, maxZoom]; a step that
// passes 100 % stops there, so the keys and the wheel always find it.
double zoomStep(double zoom, int steps, double minimum);
// The sheet layer's size on screen.
QSize zoomedSize(QSize sheetLayer, double zoom);
// The layer offset after a zoom that keeps the sheet point under anchor (a view point) in place.
QPoint zoomOffset(QPoint layerOffset, QPoint anchor, double oldZoom, double newZoom);

// Where a layer or the marker may be put: within +-2^30, so that the toolkit's own sums
// (position + size, parent offsets) cannot overflow.
QPoint widgetPosition(QPoint p);

// s: stored units per overview pixel; 0 when the overview picture has no width.
// The width times the divisor is taken in 64 bits, so a large divisor cannot wrap it.
double overviewScale(int overviewSpan, int overviewWidth, int scaleDivisor);

// r: displayed (sheet) pixels per overview pixel, derived from s so that the rectangle,
// the crosshair and a click on the overview agree on every sheet of the region.
double overviewRatio(double s, int scaleDivisor);

// An overview pixel in stored units: (Round(X * s), Round(Y * s)).
QPoint overviewToStored(QPoint overviewPixel, double s);

// A stored point as a point of the sheet whose top-left corner is at stored sheetCorner,
// in displayed sheet pixels.
QPoint storedToSheet(QPoint stored, QPoint sheetCorner, int scaleDivisor);

// Index of the first sheet whose stored bounds (inclusive) hold the stored point, or -1.
int sheetAt(const std::vector<paftarec> &sheets, QPoint stored);

// Corners of the visible-area rectangle on the overview, in overview pixels.
QRect viewportRect(QPoint sheetOrigin, QPoint layerOffset, QSize overlay, double r, double zoom = 1.0);

// The crosshair lines (x of the vertical, y of the horizontal) through a sheet point.
QPoint crosshair(QPoint sheetPoint, QPoint sheetOrigin, double r);

} // namespace coords
