#include "coords.h"
#include "app/uGenel.h"
#include "framework/textconv.h"

namespace coords {

QString readout(int x, int y)
{
    return QStringLiteral(" X:%1 Y:%2").arg(x).arg(y);
}

QSize sheetLayerSize(int px, int py, int scaleDivisor)
{
    return QSize(divTrunc(px, scaleDivisor), divTrunc(py, scaleDivisor));
}

QPoint sheetOrigin(int px0, int py0, int scaleDivisor)
{
    return QPoint(divTrunc(px0, scaleDivisor), divTrunc(py0, scaleDivisor));
}

QPoint centringOffset(QSize scrollBox, QPoint p)
{
    return QPoint(divTrunc(scrollBox.width() - 2, 2) - p.x(), divTrunc(scrollBox.height() - 2, 2) - p.y());
}

QSize initialOverlaySize(QSize scrollBox, int scaleDivisor)
{
    return QSize(divTrunc(scrollBox.width() - 2, scaleDivisor), divTrunc(scrollBox.height() - 2, scaleDivisor));
}

QSize resizedOverlaySize(QSize scrollBox)
{
    return QSize(scrollBox.width() - 2, scrollBox.height() - 2);
}

double overviewScale(int overviewSpan, int overviewWidth, int scaleDivisor)
{
    const int denominator = overviewWidth * scaleDivisor; // a 32-bit product, as stored
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
    return QPoint(int(roundHalfEven(overviewPixel.x() * s)), int(roundHalfEven(overviewPixel.y() * s)));
}

int sheetAt(const std::vector<paftarec> &sheets, QPoint stored)
{
    for (size_t i = 0; i < sheets.size(); ++i) {
        const paftarec &p = sheets[i];
        if (p.px0 <= stored.x() && stored.x() <= p.px0 + p.px && p.py0 <= stored.y() && stored.y() <= p.py0 + p.py)
            return int(i);
    }
    return -1;
}

QRect viewportRect(QPoint sheetOrigin, QPoint layerOffset, QSize overlay, double r)
{
    const int left = int(roundHalfEven((sheetOrigin.x() - layerOffset.x()) / r));
    const int top = int(roundHalfEven((sheetOrigin.y() - layerOffset.y()) / r));
    const int right = left + int(roundHalfEven(overlay.width() / r));
    const int bottom = top + int(roundHalfEven(overlay.height() / r));
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

QPoint crosshair(QPoint sheetPoint, QPoint sheetOrigin, double r)
{
    return QPoint(int(roundHalfEven((sheetPoint.x() + sheetOrigin.x()) / r)),
                  int(roundHalfEven((sheetPoint.y() + sheetOrigin.y()) / r)));
}

} // namespace coords
