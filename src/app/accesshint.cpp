#include "accesshint.h"
#include "data/accessimport.h"

QString accessImportMessage(const QString &dataDir, const QString &databaseFile)
{
    return QStringLiteral("Access veritabanları Zemira'da doğrudan açılmaz; önce içe aktarılmaları gerekir.\n"
                          "Bu veri klasörü için şu komutu çalıştırın:\n\n%1\n\n"
                          "Ardından HARITA.TXT dosyasının 2. satırına \"%2\" yazın.")
        .arg(accessImportCommand(dataDir, databaseFile), importedDatabaseFile(databaseFile));
}
