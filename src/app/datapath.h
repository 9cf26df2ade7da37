#pragma once
#include <QString>

// The file a stored name means: "\" inside it is a separator, and where the exact case
// does not exist (data sets made on Windows) each component is matched case-insensitively.
// Returns dataDir + name, separators made native, when nothing matches.
QString resolveDataFile(const QString &dataDir, const QString &storedName);
