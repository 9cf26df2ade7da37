#pragma once
#include "app/uGenel.h"

#include <QList>

#include <vector>

// The sheets whose stored rectangles (px0, py0, px × py) overlap or touch that of sheet index,
// edges and corners alike, in index order, the sheet itself left out.
QList<int> sheetNeighbours(const std::vector<paftarec> &sheets, int index);
