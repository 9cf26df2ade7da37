#pragma once
#include <QImage>

struct DemoWorld;

// Paints a sheet's ground at the image's size: paper shaded by relief, woods, lakes and
// their shores, contour lines.
void paintRelief(QImage &image, const DemoWorld &world, int sheet);
