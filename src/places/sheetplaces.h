#pragma once
#include <QPoint>
#include <QRect>
#include <QString>

#include <functional>

class Connection;

// Calls mark(px, py), in px order, for each place of one sheet that may fall in the sheet
// area the overlay shows (inclusive): every place that DrawPlaceMark would draw, and those
// beside them, which it leaves. They are read from harita each time (the
// (pafta, px) index answers), so a marking pass costs what the view shows, not what the
// table holds, and sees every row saved. px and py are read with the integer conversion:
// a value that is not a number throws its error after the places before it were marked.
void markPlacesOnSheet(Connection &connection, const QString &sheet, QRect area,
                       const std::function<void(int px, int py)> &mark);
