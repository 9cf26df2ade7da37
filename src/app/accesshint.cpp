#include "accesshint.h"
#include "data/accessimport.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {
// The importer beside this program (a build tree keeps it in tools/), else the one on PATH.
QString importProgram()
{
    const QString here = QCoreApplication::applicationDirPath();
    for (const QString &candidate : {here + QStringLiteral("/tools/zemira-import"), here + QStringLiteral("/zemira-import")})
        if (QFileInfo(candidate).isExecutable())
            return candidate;
    return QStringLiteral("zemira-import");
}
}

QString accessImportMessage(const QString &dataDir, const QString &databaseFile)
{
    return QStringLiteral("Access veritabanları Zemira'da doğrudan açılmaz; önce içe aktarılmaları gerekir.\n"
                          "Bu veri klasörü için şu komutu çalıştırın:\n\n%1\n\n"
                          "Ardından HARITA.TXT dosyasının 2. satırına \"%2\" yazın.")
        .arg(accessImportCommand(dataDir, databaseFile, importProgram()), importedDatabaseFile(databaseFile));
}
