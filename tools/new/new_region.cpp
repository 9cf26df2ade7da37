#include "new_region.h"
#include "framework/errors.h"
#include "placement.h"
#include "region_files.h"
#include "scan_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>
#include <algorithm>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

constexpr int MinOverviewWidth = 16;
constexpr int MaxOverviewWidth = 4000;
const QString DatabaseFile = QStringLiteral("harita.sqlite");
const QString OverviewFile = QStringLiteral("kucuk.bmp");

QStringList readPlaceTypes(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Yer türleri dosyası okunamadı: %1 (%2)").arg(fileName, file.errorString()));
    QStringList types;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        const QString type = line.trimmed();
        if (!type.isEmpty() && !types.contains(type))
            types << type;
    }
    if (types.isEmpty())
        throw Error(QStringLiteral("Yer türleri dosyasında hiç tür yok: %1").arg(fileName));
    return types;
}

bool isWithin(const QString &path, const QString &folder)
{
    return path == folder || path.startsWith(folder + u'/');
}

void checkTarget(const NewRegionOptions &o, const QString &target, const QString &scans)
{
    if (o.overviewWidth < MinOverviewWidth || o.overviewWidth > MaxOverviewWidth)
        throw Error(QStringLiteral("Küçük haritanın genişliği %1 ile %2 piksel arasında olmalı.")
                        .arg(MinOverviewWidth)
                        .arg(MaxOverviewWidth));
    if (isWithin(scans, target) || isWithin(target, scans))
        throw Error(QStringLiteral("HEDEF tarama klasörünün içinde ya da onu içeren bir klasör olamaz: %1").arg(target));
    if (!QFileInfo(QFileInfo(target).path()).isDir())
        throw Error(QStringLiteral("HEDEF'in içinde kurulacağı klasör yok: %1").arg(QFileInfo(target).path()));
    const QFileInfo existing(target);
    if (!existing.exists() && !existing.isSymLink())
        return;
    if (!o.force)
        throw Error(QStringLiteral("%1 zaten var; üzerine yazmak için --force verin.").arg(target));
    // --force replaces a region, never a folder of anything else that a mistyped path names.
    const QDir dir(target);
    if (existing.isSymLink() || !existing.isDir()
        || (!dir.isEmpty() && !QFileInfo::exists(dir.filePath(QStringLiteral("HARITA.TXT")))))
        throw Error(QStringLiteral("%1 bir veri klasörü (içinde HARITA.TXT) ya da boş bir klasör değil; --force onu "
                                   "da silmez.")
                        .arg(target));
}

void putSheet(const ScanSheet &sheet, const QString &dir, bool link)
{
    const QString copy = dir + sheet.fileName;
    if (link) {
        if (::link(QFile::encodeName(sheet.path).constData(), QFile::encodeName(copy).constData()) != 0)
            throw Error(QStringLiteral("%1 için bağ kurulamadı (%2); --link yalnız aynı dosya sisteminde çalışır.")
                            .arg(sheet.fileName, QString::fromLocal8Bit(std::strerror(errno))));
    } else if (!QFile::copy(sheet.path, copy)) {
        throw Error(QStringLiteral("%1 kopyalanamadı.").arg(sheet.fileName));
    }
}

QSize regionSize(const std::vector<SheetRow> &rows)
{
    QSize size;
    for (const SheetRow &r : rows)
        size = size.expandedTo(QSize(r.px0 + r.px, r.py0 + r.py));
    return size;
}

void writeOverview(const std::vector<ScanSheet> &sheets, const std::vector<SheetRow> &rows, int width,
                   const QString &path, const NewRegionProgress &progress)
{
    const QSize region = regionSize(rows);
    QImage overview(width, std::max(1, overviewPixel(region.height(), width, region.width())), QImage::Format_RGB32);
    if (overview.isNull())
        throw Error(QStringLiteral("Küçük harita için bellek yetmedi."));
    overview.fill(Qt::white);
    for (size_t i = 0; i < rows.size(); ++i) {
        const SheetRow &r = rows[i];
        const QRect target(QPoint(overviewPixel(r.px0, width, region.width()), overviewPixel(r.py0, width, region.width())),
                           QPoint(overviewPixel(qint64(r.px0) + r.px, width, region.width()) - 1,
                                  overviewPixel(qint64(r.py0) + r.py, width, region.width()) - 1));
        paintReduced(sheets[i], overview, target);
        progress(QStringLiteral("Küçük harita çiziliyor"), int(i) + 1, int(rows.size()));
    }
    if (!overview.save(path, "BMP"))
        throw Error(QStringLiteral("%1 yazılamadı.").arg(path));
}

void writeGeoref(QSqlDatabase &db, const Georef &g)
{
    QSqlQuery q(db);
    runQuery(q, QStringLiteral("create table georef (crs text, x0 real not null, y0 real not null, dx real not null, "
                               "dy real not null)"));
    q.prepare(QStringLiteral("insert into georef (crs, x0, y0, dx, dy) values (?, ?, ?, ?, ?)"));
    q.bindValue(0, g.crs.isEmpty() ? QVariant() : QVariant(g.crs));
    q.bindValue(1, g.x0);
    q.bindValue(2, g.y0);
    q.bindValue(3, g.dx);
    q.bindValue(4, g.dy);
    runQuery(q);
}

// Puts the finished folder where the target was, the old target removed only once it is out
// of the way.
void moveIntoPlace(const QString &built, const QString &target)
{
    QString old;
    if (QFileInfo::exists(target)) {
        old = built + QStringLiteral("-eski");
        if (!QDir().rename(target, old))
            throw Error(QStringLiteral("%1 yerinden alınamadı.").arg(target));
    }
    if (!QDir().rename(built, target)) {
        if (!old.isEmpty())
            QDir().rename(old, target);
        throw Error(QStringLiteral("%1 yerine konamadı.").arg(target));
    }
    if (!old.isEmpty())
        QDir(old).removeRecursively();
}

} // namespace

QStringList defaultPlaceTypes()
{
    return {QStringLiteral("İl merkezi"), QStringLiteral("İlçe merkezi"), QStringLiteral("Belde"), QStringLiteral("Köy"),
            QStringLiteral("Mahalle"), QStringLiteral("Mezra"), QStringLiteral("Yayla"), QStringLiteral("Çiftlik"),
            QStringLiteral("Dağ"), QStringLiteral("Tepe"), QStringLiteral("Geçit"), QStringLiteral("Ova"),
            QStringLiteral("Vadi"), QStringLiteral("Orman"), QStringLiteral("Göl"), QStringLiteral("Akarsu"),
            QStringLiteral("Dere"), QStringLiteral("Kaynak"), QStringLiteral("Köprü"), QStringLiteral("Mevki")};
}

NewRegion makeNewRegion(const NewRegionOptions &options, const NewRegionProgress &progress)
{
    const QString scans = QDir(options.scans).absolutePath();
    const QString target = QDir::cleanPath(QDir(options.target).absolutePath());
    checkTarget(options, target, scans);
    const QStringList types = options.typesFile.isEmpty() ? defaultPlaceTypes() : readPlaceTypes(options.typesFile);

    const std::vector<ScanSheet> sheets = readScanFolder(
        scans, [&](int done, int total) { progress(QStringLiteral("Paftalar okunuyor"), done, total); });
    const Placement placement = placeSheets(sheets, options.grid);
    QTemporaryDir building(target + QStringLiteral(".yapiliyor-XXXXXX"));
    if (!building.isValid())
        throw Error(QStringLiteral("%1 yanında geçici klasör kurulamadı: %2").arg(target, building.errorString()));
    const QString dir = building.path() + u'/';
    // A temporary folder is the owner's alone; the data directory is read by others too.
    QFile::setPermissions(building.path(), QFile::permissions(QFileInfo(target).path()));

    for (size_t i = 0; i < sheets.size(); ++i) {
        putSheet(sheets[i], dir, options.link);
        progress(options.link ? QStringLiteral("Paftalar bağlanıyor") : QStringLiteral("Paftalar kopyalanıyor"),
                 int(i) + 1, int(sheets.size()));
    }
    const int width = std::min(options.overviewWidth, regionSize(placement.rows).width());
    writeOverview(sheets, placement.rows, width, dir + OverviewFile, progress);
    writeNewDatabase(dir + DatabaseFile, [&](QSqlDatabase &db) {
        insertTypes(db, types);
        insertSheets(db, placement.rows, OverviewFile);
        if (placement.georef)
            writeGeoref(db, *placement.georef);
    });
    QStringList numbers;
    for (const SheetRow &r : placement.rows)
        numbers << r.num;
    // Written last: a region without it is unfinished, and the start scripts test for it.
    writeStartupFile(dir + QStringLiteral("HARITA.TXT"),
                     startupLines(target, DatabaseFile, *std::min_element(numbers.begin(), numbers.end()),
                                  regionSize(placement.rows).width(), 1));
    moveIntoPlace(building.path(), target);
    building.setAutoRemove(false);
    return {target + u'/', placement.method, int(sheets.size()), placement.georef.has_value()};
}
