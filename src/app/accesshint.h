#pragma once
#include <QString>

// Access files are imported into Zemira's own database first; they are never opened.
bool isAccessDatabase(const QString &databaseFile);
// What start-up says instead of "database not found", with the command for this data directory.
QString accessImportMessage(const QString &dataDir, const QString &databaseFile);
