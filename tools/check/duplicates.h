#pragma once
#include <QSqlDatabase>
#include <QString>

#include <vector>

struct DuplicateOptions {
    int distance = 10; // stored pixels in region coordinates, either side inclusive
    int maxEdits = 1;  // letters that may differ, and never more than one per four letters
    int limit = 20;    // pairs listed; 0 lists all
};

struct PlaceOnSheet {
    QString id, name, sheet;
    qint64 x = 0, y = 0; // on its sheet
};

// Two places that may be one: most likely first, that is fewer differing letters in the
// folded names, then the shorter distance, then the lower ids.
struct DuplicatePair {
    PlaceOnSheet a, b;
    double distance = 0;
    int edits = 0;
};

struct Duplicates {
    qint64 count = 0;                 // every pair found
    std::vector<DuplicatePair> shown; // the first options.limit of them, ranked
};

// Reads the places and sheets once; a place without a position, whose sheet is unknown or
// whose name folds to nothing is left out. Throws Error.
Duplicates findDuplicates(QSqlDatabase &db, const DuplicateOptions &options);

// The lines the check prints for them, in the layout of placeCheckReport.
QString duplicateReport(const Duplicates &found, const DuplicateOptions &options);

// The database a data directory's "HARITA.TXT" names (line 2), or the argument itself
// when it is a database file or a PostgreSQL URI. Throws Error.
QString checkTargetOf(const QString &argument);

// Everything zemira-check prints for a database: placeCheckReport, then the duplicates.
// Reads only. Throws Error.
QString dataSetCheck(const QString &target, const DuplicateOptions &options);
