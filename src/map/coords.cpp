#include "coords.h"
#include "app/uGenel.h"
#include "framework/textconv.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace coords {

int clampToInt(int64_t value)
{
    return int(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

int roundToInt(double value)
{
    // Clamped before the conversion: a double beyond the integer range has no conversion.
    if (std::isnan(value))
        return 0;
    return clampToInt(roundHalfEven(std::clamp(value, double(INT_MIN), double(INT_MAX))));
}

int divide(int value, int divisor)
{
    return clampToInt(int64_t(value) / (divisor == 0 ? 1 : divisor));
}

QPoint offsetBy(QPoint p, int dx, int dy)
{
    return QPoint(clampToInt(int64_t(p.x()) + dx), clampToInt(int64_t(p.y()) + dy));
}

QPoint offsetBy(QPoint p, QPoint offset)
{
    return offsetBy(p, offset.x(), offset.y());
}

QPoint viewToSheet(QPoint view, QPoint layerOffset, double zoom)
{
    const QPoint layer(clampToInt(int64_t(view.x()) - layerOffset.x()), clampToInt(int64_t(view.y()) - layerOffset.y()));
    return zoom == 1.0 ? layer : layerToSheet(layer, zoom);
}

namespace {

int floorToInt(double value)
{
    if (std::isnan(value))
        return 0;
    return clampToInt(int64_t(std::floor(std::clamp(value, double(INT_MIN), double(INT_MAX)))));
}

} // namespace

QPoint sheetToView(QPoint sheet, QPoint layerOffset, double zoom)
{
    if (zoom == 1.0)
        return offsetBy(sheet, layerOffset);
    // The centre of the sheet pixel, so that an enlarged pixel's mark sits in its middle.
    const QPoint layer(floorToInt((sheet.x() + 0.5) * zoom), floorToInt((sheet.y() + 0.5) * zoom));
    return offsetBy(layer, layerOffset);
}

QPoint layerToSheet(QPoint layer, double zoom)
{
    return QPoint(floorToInt((layer.x() + 0.5) / zoom), floorToInt((layer.y() + 0.5) / zoom));
}

double minZoom(QSize sheetLayer, QSize view)
{
    if (sheetLayer.width() <= 0 || sheetLayer.height() <= 0 || view.isEmpty())
        return 1.0;
    const double fit = std::min(double(view.width()) / sheetLayer.width(), double(view.height()) / sheetLayer.height());
    return std::min(fit, 1.0);
}

double zoomStep(double zoom, int steps, double minimum)
{
    // A quarter of an octave a step: eight steps from 100 % to 400 %.
    double next = zoom * std::pow(2.0, steps / 4.0);
    if ((zoom < 1.0 && next > 1.0) || (zoom > 1.0 && next < 1.0))
        next = 1.0;
    // Within a hair of 100 % counts as 100 %, so stepping there and back lands on it exactly.
    if (std::abs(next - 1.0) < 1e-9)
        next = 1.0;
    return std::clamp(next, std::min(minimum, 1.0), maxZoom);
}

QSize zoomedSize(QSize sheetLayer, double zoom)
{
    if (zoom == 1.0)
        return sheetLayer;
    return QSize(roundToInt(sheetLayer.width() * zoom), roundToInt(sheetLayer.height() * zoom));
}

QPoint zoomOffset(QPoint layerOffset, QPoint anchor, double oldZoom, double newZoom)
{
    // About the anchor pixel's middle, as the view's pixels are read.
    const double k = newZoom / oldZoom;
    const double x = anchor.x() + 0.5;
    const double y = anchor.y() + 0.5;
    return QPoint(roundToInt(x - (x - layerOffset.x()) * k), roundToInt(y - (y - layerOffset.y()) * k));
}

QPoint widgetPosition(QPoint p)
{
    constexpr int limit = 1 << 30;
    return QPoint(std::clamp(p.x(), -limit, limit), std::clamp(p.y(), -limit, limit));
}

QString readout(int x, int y)
{
    return QStringLiteral(" X:%1 Y:%2").arg(x).arg(y);
}

QSize sheetLayerSize(int px, int py, int scaleDivisor)
{
    return QSize(divide(px, scaleDivisor), divide(py, scaleDivisor));
}

QPoint sheetOrigin(int px0, int py0, int scaleDivisor)
{
    return QPoint(divide(px0, scaleDivisor), divide(py0, scaleDivisor));
}

QPoint centringOffset(QSize scrollBox, QPoint p, double zoom)
{
    const QPoint layer = zoom == 1.0 ? p : sheetToView(p, QPoint(0, 0), zoom);
    return QPoint(clampToInt(int64_t(divide(scrollBox.width() - 2, 2)) - layer.x()),
                  clampToInt(int64_t(divide(scrollBox.height() - 2, 2)) - layer.y()));
}

QSize initialOverlaySize(QSize scrollBox, int scaleDivisor)
{
    return QSize(divide(scrollBox.width() - 2, scaleDivisor), divide(scrollBox.height() - 2, scaleDivisor));
}

QSize resizedOverlaySize(QSize scrollBox)
{
    return QSize(scrollBox.width() - 2, scrollBox.height() - 2);
}

double overviewScale(int overviewSpan, int overviewWidth, int scaleDivisor)
{
    const int64_t denominator = int64_t(overviewWidth) * scaleDivisor;
    if (denominator == 0)
        return 0.0;
    return double(overviewSpan) / double(denominator);
}

double overviewRatio(double s, int scaleDivisor)
{
    return scaleDivisor == 0 ? 0.0 : s / scaleDivisor;
}

QPoint overviewToStored(QPoint overviewPixel, double s)
{
    return QPoint(roundToInt(overviewPixel.x() * s), roundToInt(overviewPixel.y() * s));
}

QPoint storedToSheet(QPoint stored, QPoint sheetCorner, int scaleDivisor)
{
    const int64_t d = scaleDivisor == 0 ? 1 : scaleDivisor;
    return QPoint(clampToInt((int64_t(stored.x()) - sheetCorner.x()) / d),
                  clampToInt((int64_t(stored.y()) - sheetCorner.y()) / d));
}

int sheetAt(const std::vector<paftarec> &sheets, QPoint stored)
{
    // Far edges in 64 bits: a sheet at the end of the range still ends beyond it.
    const int64_t x = stored.x();
    const int64_t y = stored.y();
    for (size_t i = 0; i < sheets.size(); ++i) {
        const paftarec &p = sheets[i];
        if (p.px0 <= x && x <= int64_t(p.px0) + p.px && p.py0 <= y && y <= int64_t(p.py0) + p.py)
            return int(i);
    }
    return -1;
}

QRect viewportRect(QPoint sheetOrigin, QPoint layerOffset, QSize overlay, double r, double zoom)
{
    // The view shows overlay / zoom sheet pixels from sheet pixel -offset / zoom on.
    const int left = roundToInt((double(sheetOrigin.x()) - layerOffset.x() / zoom) / r);
    const int top = roundToInt((double(sheetOrigin.y()) - layerOffset.y() / zoom) / r);
    const int right = clampToInt(int64_t(left) + roundToInt(overlay.width() / zoom / r));
    const int bottom = clampToInt(int64_t(top) + roundToInt(overlay.height() / zoom / r));
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

QPoint crosshair(QPoint sheetPoint, QPoint sheetOrigin, double r)
{
    return QPoint(roundToInt((double(sheetPoint.x()) + sheetOrigin.x()) / r),
                  roundToInt((double(sheetPoint.y()) + sheetOrigin.y()) / r));
}

} // namespace coords
