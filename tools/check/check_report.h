#pragma once
#include <QSqlDatabase>
#include <QString>

// What an import brought that Zemira will trip over: places whose pafta is not a
// sheet number, places outside their sheet, types not in tipler, and pairs of places
// of one sheet that the nearby-place check would report to each other (10 pixels
// either way). Counts, and the first few of each. Throws Error.
QString placeCheckReport(QSqlDatabase &db);

// A read-only connection to an SQLite file (never created) or a PostgreSQL URI, closed
// and forgotten when it goes. Throws Error.
class CheckDatabase {
public:
    explicit CheckDatabase(const QString &target);
    ~CheckDatabase();
    CheckDatabase(const CheckDatabase &) = delete;
    CheckDatabase &operator=(const CheckDatabase &) = delete;

    // Whether harita, tipler and pafta are all there.
    bool hasPlaceTables();
    QSqlDatabase db;
};
