#include "datapath.h"

#include <QDir>
#include <QFileInfo>

QString resolveDataFile(const QString &dataDir, const QString &storedName)
{
    QString name = storedName;
    name.replace('\\', '/');
    const QString direct = dataDir + name;
    if (QFileInfo::exists(direct))
        return direct;

    QString path = dataDir.isEmpty() ? QStringLiteral(".") : dataDir;
    const QStringList parts = name.split('/', Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        const QStringList entries = QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        const auto it = std::find_if(entries.begin(), entries.end(),
                                     [&](const QString &e) { return e.compare(part, Qt::CaseInsensitive) == 0; });
        if (it == entries.end())
            return direct;
        path = QDir(path).filePath(*it);
    }
    return path;
}
