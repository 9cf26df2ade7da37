#include "accessimport.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString nativeName(const QString &databaseFile)
{
    QString name = databaseFile;
    return name.replace('\\', '/');
}

QString shellQuoted(const QString &text)
{
    QString quoted = text;
    return '\'' + quoted.replace('\'', QLatin1String("'\\''")) + '\'';
}

} // namespace

bool isAccessDatabase(const QString &databaseFile)
{
    const QString suffix = QFileInfo(nativeName(databaseFile)).suffix();
    return suffix.compare(QLatin1String("mdb"), Qt::CaseInsensitive) == 0
        || suffix.compare(QLatin1String("accdb"), Qt::CaseInsensitive) == 0;
}

QString importedDatabaseFile(const QString &databaseFile)
{
    const QString name = nativeName(databaseFile);
    const int dot = name.lastIndexOf('.');
    const int slash = name.lastIndexOf('/');
    return (dot > slash ? name.left(dot) : name) + QLatin1String(".sqlite");
}

QString accessImportCommand(const QString &dataDir, const QString &databaseFile, const QString &program)
{
    QString dir = nativeName(dataDir);
    if (dir.isEmpty())
        dir = QStringLiteral(".");
    const QDir base(dir);
    const QString source = QDir::cleanPath(base.filePath(nativeName(databaseFile)));
    const QString target = QDir::cleanPath(base.filePath(importedDatabaseFile(databaseFile)));
    const QString tool = program.contains('/') ? shellQuoted(program) : program;
    return QStringLiteral("%1 %2 %3").arg(tool, shellQuoted(source), shellQuoted(target));
}
