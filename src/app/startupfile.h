#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

// The eight lines of "HARITA.TXT" as the program reads them: a line ends at LF or CR LF,
// a lone CR is dropped, Ctrl-Z ends the file, lines past the eighth are ignored and
// missing ones read as empty. Bytes are UTF-8 where valid, otherwise Windows-1254.
QStringList readStartupLines(const QByteArray &bytes);

struct StartupConfig {
    QString dataDir;       // trimmed, "\" made "/", "/" appended
    QString databaseFile;  // trimmed
    QString currentSheet;  // trimmed
    int overviewSpan = 0;
    int scaleDivisor = 0;  // as written; start-up turns 0 into 1
};

// Converts the lines in order; a line 4 to 8 that is not an integer raises
// "'%s' is not a valid integer value", the fields before it already set in config.
// A negative line 8 is refused the same way, with its own message.
void parseStartupLines(const QStringList &lines, StartupConfig &config);
