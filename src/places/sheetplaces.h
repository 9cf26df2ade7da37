#pragma once
#include <QString>

#include <functional>

class Connection;

// Calls mark(px, py) for each place of one sheet in px order, as the place dataset holds
// them. They are read from harita each time (the (pafta, px) index answers), so that a
// marking pass costs what the sheet holds, not what the table holds, and sees every row
// saved. px and py are read with the integer conversion: a value that is not a number
// throws its error, after the places before it were marked.
void markPlacesOnSheet(Connection &connection, const QString &sheet, const std::function<void(int px, int py)> &mark);
