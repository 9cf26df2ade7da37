#pragma once
#include <QImage>

struct DemoWorld;

// Draws a sheet at its display size (stored size / scale divisor): relief, water, grid, roads,
// the places of table harita at their positions, and the margin with the sheet number.
QImage drawSheet(const DemoWorld &world, int sheet);
