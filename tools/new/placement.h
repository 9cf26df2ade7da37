#pragma once
#include "region_files.h"
#include "scan_folder.h"

#include <QSize>
#include <optional>
#include <vector>

// Where region pixel (X, Y) lies in the sheets' coordinate system: (x0 + X dx, y0 + Y dy).
struct Georef {
    QString crs; // WKT, empty when unknown
    double x0 = 0, y0 = 0, dx = 1, dy = 1;
};

struct Placement {
    QString method;                 // how the sheets were placed, in Turkish, for the user
    std::vector<SheetRow> rows;     // in the order of the sheets; file is the sheet's file name
    std::optional<Georef> georef;   // when placed by georeferencing
};

// Places the sheets by, in this order: their georeferencing when every sheet has it, their
// national sheet names when every file is named by one, the grid (columns × rows, filled in
// name order row by row) when one is given. Throws Error, in Turkish, naming the sheets that
// keep it from working.
Placement placeSheets(const std::vector<ScanSheet> &sheets, std::optional<QSize> grid);
