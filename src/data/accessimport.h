#pragma once
#include <QString>

// Access databases are not opened but imported once into SQLite with zemira-import.

// True when the database named on line 2 of the start-up file is an .mdb or .accdb file.
bool isAccessDatabase(const QString &databaseFile);

// The name to put on line 2 after the import: the same name with the extension .sqlite.
QString importedDatabaseFile(const QString &databaseFile);

// The exact command that imports it, its paths quoted for a POSIX shell:
// zemira-import '<dataDir>/uskudar.mdb' '<dataDir>/uskudar.sqlite'
QString accessImportCommand(const QString &dataDir, const QString &databaseFile,
                            const QString &program = QStringLiteral("zemira-import"));
