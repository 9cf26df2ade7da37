#pragma once
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

struct NewRegionOptions {
    QString scans;                  // folder of sheet images
    QString target;                 // data directory to make
    int overviewWidth = 320;        // pixels
    QString typesFile;              // place types, one a line (UTF-8); empty: defaultPlaceTypes()
    std::optional<QSize> grid;      // columns × rows, the last way to place the sheets
    bool force = false;             // replace an existing target
    bool link = false;              // hard links to the scans instead of copies
};

struct NewRegion {
    QString dir;     // absolute, ends in "/"
    QString method;  // how the sheets were placed, in Turkish
    int sheets = 0;
    bool georeferenced = false;
};

// step names what is being done, in Turkish; done of total.
using NewRegionProgress = std::function<void(const QString &step, int done, int total)>;

QStringList defaultPlaceTypes();

// Makes a complete data directory: the sheets (copied or linked), "HARITA.TXT", harita.sqlite
// with the three tables (and table georef for georeferenced sheets) and the overview
// kucuk.bmp. It is built in a folder beside the target and renamed into place at the end, so
// that a failure leaves the target as it was. Throws Error, in Turkish.
NewRegion makeNewRegion(const NewRegionOptions &options, const NewRegionProgress &progress);
