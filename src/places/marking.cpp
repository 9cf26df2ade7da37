// Circling the places of the current sheet on the overlay.
#include "app/uGenel.h"
#include "framework/dataset.h"
#include "map/uHarita.h"
#include "places/sheetplaces.h"

#include <QPainter>

#include <cmath>

void TfHarita::OkuVeIsaretle()
{
    Image2Temizle();
    // The first move ends a pending edit (saving it, or refusing and ending the pass here).
    qHarita->first();
    // The sheet pixels under the overlay; below 100 % a view pixel spans several of them.
    const int margin = int(std::ceil(1 / Zoom()));
    const QRect area = QRect(viewToSheet(QPoint(0, 0)), viewToSheet(QPoint(Image2->width(), Image2->height())))
                           .adjusted(-margin, -margin, margin, margin);
    markPlacesOnSheet(ADOConnection1, uGenel::CurrentSheet, area, [this](int x, int y) { DrawPlaceMark(x, y); });
    qHarita->last();
    Image2->update();
    Image2->raise();
}

void TfHarita::DrawPlaceMark(int x, int y)
{
    const int r = MarkRadius;
    // The scroll box's own scroll positions are always 0.
    const QPoint v = sheetToView(QPoint(x, y));
    const int vx = v.x();
    if (vx < 0 || vx > Image2->width())
        return;
    const int vy = v.y();
    if (vy < 0 || vy > Image2->height())
        return;
    QPainter painter(&Image2->canvas());
    // The inside is cleared, as the overlay's white brush does: the sheet shows through.
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setPen(QPen(MarkColor, 3));
    painter.setBrush(Qt::transparent);
    painter.drawEllipse(QRect(vx - r, vy - r, 2 * r, 2 * r));
}
