#pragma once
#include <QString>

// What start-up says instead of "database not found" when line 2 names an Access file:
// it is imported first, with the command for this data directory.
QString accessImportMessage(const QString &dataDir, const QString &databaseFile);
