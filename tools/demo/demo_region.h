#pragma once
#include <QString>
#include <QStringList>

// A synthetic region that looks like a scanned topographic map series, written as a
// complete data directory: "HARITA.TXT", the SQLite database, sheet images, overview BMP.
struct DemoOptions {
    int columns = 3;            // sheets across
    int rows = 4;               // sheets down
    int sheetWidth = 2400;      // stored pixels
    int sheetHeight = 1800;
    int places = 3000;          // rows of table harita in all
    int placesOnFirstSheet = -1; // -1: spread evenly
    int scaleDivisor = 1;       // images written at 1/scaleDivisor of the stored size
    bool mixedFormats = true;   // sheets 2, 3, 4 BMP, GIF, PCX; the others JPEG
    bool drawPlaces = true;     // symbols and names on the sheets (dots only above 4000 a sheet)
    unsigned seed = 1;
};

struct DemoRegion {
    QString dir;                // ends in "/"
    QString databaseFile;       // relative to dir
    QStringList sheetNumbers;   // in num order
    QString overviewFile;       // relative to dir; column kucuk of every pafta row
};

// Writes the region into dir (created if missing), replacing no file there; "HARITA.TXT" comes
// last. Needs a QGuiApplication. Throws Error, and then leaves none of its files behind.
DemoRegion makeDemoRegion(const QString &dir, const DemoOptions &options = {});
