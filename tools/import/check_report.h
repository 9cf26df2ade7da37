#pragma once
#include <QString>

class QSqlDatabase;

// What an import brought that Zemira will trip over: places whose pafta is not a
// sheet number, places outside their sheet, types not in tipler, and pairs of places
// of one sheet that the nearby-place check would report to each other (10 pixels
// either way). Counts, and the first few of each. Throws Error.
QString placeCheckReport(QSqlDatabase &db);
