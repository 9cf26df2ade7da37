#pragma once
#include <QImage>
#include <QRect>
#include <QString>
#include <array>
#include <functional>
#include <vector>

// One picture file of the scans folder, as far as placing it needs.
struct ScanSheet {
    QString path;     // absolute
    QString fileName; // within the folder
    QString baseName; // file name without its extension
    int width = 0, height = 0;
    bool georeferenced = false;
    std::array<double, 6> transform{}; // GDAL's geotransform, when georeferenced
    QString crs;                       // WKT; empty when unknown (a world file without .prj)
};

// Every file of the folder with an extension Zemira shows as a sheet, in name order (runs of
// digits compared by value), read for its size and georeferencing (GeoTIFF tags, world
// files, .aux.xml, a .prj beside a world file). progress(done, total) after each file.
// Throws Error naming a file that cannot be read or is larger than Zemira shows.
std::vector<ScanSheet> readScanFolder(const QString &dir, const std::function<void(int, int)> &progress);

// Paints the sheet, reduced to target's size, into image at target. Only the reduced picture
// is held: GDAL reads through overviews or decimates (JPEG scaled in the IDCT).
void paintReduced(const ScanSheet &sheet, QImage &image, const QRect &target);
