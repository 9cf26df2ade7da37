#include "accesshint.h"

#include <QFileInfo>

bool isAccessDatabase(const QString &databaseFile)
{
    const QString suffix = QFileInfo(databaseFile).suffix().toLower();
    return suffix == QLatin1String("mdb") || suffix == QLatin1String("accdb");
}

namespace {
QString shellQuoted(const QString &text)
{
    QString quoted = text;
    quoted.replace('\'', QLatin1String("'\\''"));
    return '\'' + quoted + '\'';
}
}

QString accessImportMessage(const QString &dataDir, const QString &databaseFile)
{
    QString source = databaseFile;
    source.replace('\\', '/');
    const QString target = QFileInfo(source).completeBaseName() + QStringLiteral(".sqlite");
    return QStringLiteral("Access veritabanları Zemira'da doğrudan açılmaz; önce içe aktarılmaları gerekir.\n"
                          "Bu veri klasörü için şu komutu çalıştırın:\n\n"
                          "zemira-import %1 %2\n\n"
                          "Ardından HARITA.TXT dosyasının 2. satırına \"%3\" yazın.")
        .arg(shellQuoted(dataDir + source), shellQuoted(dataDir + target), target);
}
