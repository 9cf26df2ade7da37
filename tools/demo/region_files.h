#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QSqlDatabase;
class QSqlQuery;

// The pieces of a data directory that every tool writing one shares.

struct SheetRow {
    QString num;  // sheet number
    QString file; // image file name in the data directory
    int px = 0, py = 0, px0 = 0, py0 = 0; // stored units
};

// An overview pixel of a stored coordinate: value × overviewWidth / regionWidth, rounded.
int overviewPixel(qint64 value, qint64 overviewWidth, qint64 regionWidth);

// The eight lines of "HARITA.TXT"; lines 4, 5 and 7 are unused and 0.
QStringList startupLines(const QString &dataDir, const QString &databaseFile, const QString &firstSheet,
                         qint64 overviewSpan, int scaleDivisor);
// Writes them with CR LF line ends. Throws Error.
void writeStartupFile(const QString &path, const QStringList &lines);

// Creates the SQLite file with the project's schema and runs fill in one transaction.
// Throws Error; a failed fill leaves the file without its rows.
void writeNewDatabase(const QString &fileName, const std::function<void(QSqlDatabase &)> &fill);
void insertTypes(QSqlDatabase &db, const QStringList &types);
void insertSheets(QSqlDatabase &db, const std::vector<SheetRow> &sheets, const QString &overviewFile);
void runQuery(QSqlQuery &q);
void runQuery(QSqlQuery &q, const QString &statement);
