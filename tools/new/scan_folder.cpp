#include "scan_folder.h"
#include "framework/errors.h"
#include "framework/picture.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QRegularExpression>
#include <QSysInfo>
#include <algorithm>
#include <cstdlib>

#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal.h>
#include <ogr_srs_api.h>

namespace {

// Formats GDAL reads with their georeferencing; Zemira's other sheet formats are read whole.
const QStringList GdalKinds{"tif", "tiff", "png", "jp2", "jpg", "jpeg"};
const QStringList OtherKinds{"bmp", "ico", "gif", "pcx", "wmf", "emf"};

// Zemira's own reader turns GDAL's side files off for the whole process; here they are the
// point, so this thread turns them on while a sheet is open.
class SideFilesOn {
public:
    SideFilesOn()
    {
        static const bool registered = (GDALAllRegister(), true);
        Q_UNUSED(registered);
        CPLSetThreadLocalConfigOption("GDAL_DISABLE_READDIR_ON_OPEN", "NO");
        CPLSetThreadLocalConfigOption("GDAL_PAM_ENABLED", "YES");
        CPLPushErrorHandler(CPLQuietErrorHandler);
        CPLErrorReset();
    }
    ~SideFilesOn()
    {
        CPLPopErrorHandler();
        CPLSetThreadLocalConfigOption("GDAL_DISABLE_READDIR_ON_OPEN", nullptr);
        CPLSetThreadLocalConfigOption("GDAL_PAM_ENABLED", nullptr);
    }
    SideFilesOn(const SideFilesOn &) = delete;
    SideFilesOn &operator=(const SideFilesOn &) = delete;
};

QString gdalMessage()
{
    const QString text = QString::fromUtf8(CPLGetLastErrorMsg()).trimmed();
    return text.isEmpty() ? QString() : QStringLiteral(" (GDAL: %1)").arg(text);
}

struct Dataset {
    explicit Dataset(const ScanSheet &sheet) : handle(GDALOpen(sheet.path.toUtf8().constData(), GA_ReadOnly))
    {
        if (!handle)
            throw Error(QStringLiteral("%1 okunamadı%2.").arg(sheet.fileName, gdalMessage()));
    }
    ~Dataset() { GDALClose(handle); }
    Dataset(const Dataset &) = delete;
    Dataset &operator=(const Dataset &) = delete;
    GDALDatasetH handle;
};

bool isGdalKind(const QString &path) { return GdalKinds.contains(QFileInfo(path).suffix().toLower()); }

// A .prj beside a world file names the system that GDAL does not read for every format.
QString prjBeside(const QString &path)
{
    const QFileInfo info(path);
    for (const QString &suffix : {QStringLiteral(".prj"), QStringLiteral(".PRJ")}) {
        const QString prj = info.path() + u'/' + info.completeBaseName() + suffix;
        if (!QFileInfo::exists(prj))
            continue;
        OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
        QString wkt;
        if (OSRSetFromUserInput(srs, prj.toUtf8().constData()) == OGRERR_NONE) {
            char *text = nullptr;
            if (OSRExportToWkt(srs, &text) == OGRERR_NONE)
                wkt = QString::fromUtf8(text);
            CPLFree(text);
        }
        OSRDestroySpatialReference(srs);
        return wkt;
    }
    return QString();
}

void readGdal(ScanSheet &s)
{
    const SideFilesOn sideFiles;
    const Dataset ds(s);
    s.width = GDALGetRasterXSize(ds.handle);
    s.height = GDALGetRasterYSize(ds.handle);
    if (GDALGetRasterCount(ds.handle) < 1)
        throw Error(QStringLiteral("%1 bir resim değil.").arg(s.fileName));
    s.georeferenced = GDALGetGeoTransform(ds.handle, s.transform.data()) == CE_None;
    if (s.georeferenced) {
        s.crs = QString::fromUtf8(GDALGetProjectionRef(ds.handle));
        if (s.crs.isEmpty())
            s.crs = prjBeside(s.path);
    }
}

void readOther(ScanSheet &s)
{
    const QImage image = loadPicture(s.path);
    s.width = image.width();
    s.height = image.height();
}

// Digits compared by value, so that "pafta2" comes before "pafta10".
bool naturalLess(const QString &a, const QString &b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && a[ei].isDigit())
                ++ei;
            while (ej < b.size() && b[ej].isDigit())
                ++ej;
            const QString na = a.mid(i, ei - i).remove(QRegularExpression(QStringLiteral("^0+")));
            const QString nb = b.mid(j, ej - j).remove(QRegularExpression(QStringLiteral("^0+")));
            if (na.size() != nb.size())
                return na.size() < nb.size();
            if (na != nb)
                return na < nb;
            i = ei;
            j = ej;
        } else {
            if (a[i] != b[j])
                return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j || (a.size() - i == b.size() - j && a < b);
}

void paintGdal(const ScanSheet &sheet, QImage &part)
{
    const SideFilesOn sideFiles;
    const Dataset ds(sheet);
    const int bands = GDALGetRasterCount(ds.handle);
    GDALRasterBandH first = GDALGetRasterBand(ds.handle, 1);
    GDALColorTableH palette = GDALGetRasterColorTable(first);
    GDALRasterIOExtraArg extra;
    INIT_RASTERIO_EXTRA_ARG(extra);
    // Averaging palette indices would mix unrelated colours.
    extra.eResampleAlg = palette ? GRIORA_NearestNeighbour : GRIORA_Average;
    const int w = part.width(), h = part.height();
    CPLErr result;
    if (bands >= 3 && !palette) {
        // Band by band, straight into RGB32's bytes (0xAARRGGBB in this machine's byte order;
        // alpha is already 0xff): a read of all bands at once makes GDAL's JPEG reader decode
        // the full picture instead of its 1/8 scale.
        const bool little = QSysInfo::ByteOrder == QSysInfo::LittleEndian;
        result = CE_None;
        for (int band = 1; band <= 3 && result == CE_None; ++band)
            result = GDALRasterIOEx(GDALGetRasterBand(ds.handle, band), GF_Read, 0, 0, sheet.width, sheet.height,
                                    part.bits() + (little ? 3 - band : band), w, h, GDT_Byte, 4, part.bytesPerLine(),
                                    &extra);
    } else {
        std::vector<GByte> samples(size_t(w) * h);
        result = GDALRasterIOEx(first, GF_Read, 0, 0, sheet.width, sheet.height, samples.data(), w, h, GDT_Byte, 1, w,
                                &extra);
        // Grey scaled from the samples' bits, so that a one-bit scan is black and white.
        const char *nbits = GDALGetMetadataItem(first, "NBITS", "IMAGE_STRUCTURE");
        const int bits = nbits && std::atoi(nbits) > 0 && std::atoi(nbits) < 8 ? std::atoi(nbits) : 8;
        const int top = (1 << bits) - 1;
        QRgb table[256];
        for (int i = 0; i < 256; ++i) {
            const short grey = short(std::min(i, top) * 255 / top);
            GDALColorEntry e{grey, grey, grey, 255};
            if (palette && i < GDALGetColorEntryCount(palette))
                GDALGetColorEntryAsRGB(palette, i, &e);
            table[i] = qRgb(e.c1, e.c2, e.c3);
        }
        for (int y = 0; y < h; ++y) {
            auto *line = reinterpret_cast<QRgb *>(part.scanLine(y));
            for (int x = 0; x < w; ++x)
                line[x] = table[samples[size_t(y) * w + x]];
        }
    }
    if (result != CE_None)
        throw Error(QStringLiteral("%1 okunamadı%2.").arg(sheet.fileName, gdalMessage()));
}

} // namespace

std::vector<ScanSheet> readScanFolder(const QString &dir, const std::function<void(int, int)> &progress)
{
    const QDir folder(dir);
    if (!folder.exists())
        throw Error(QStringLiteral("Tarama klasörü yok: %1").arg(dir));
    QStringList names;
    for (const QFileInfo &info : folder.entryInfoList(QDir::Files | QDir::NoDotAndDotDot)) {
        const QString kind = info.suffix().toLower();
        if (GdalKinds.contains(kind) || OtherKinds.contains(kind))
            names << info.fileName();
    }
    std::sort(names.begin(), names.end(), naturalLess);
    std::vector<ScanSheet> sheets;
    for (const QString &name : names) {
        ScanSheet s;
        s.path = folder.absoluteFilePath(name);
        s.fileName = name;
        s.baseName = QFileInfo(name).completeBaseName();
        if (isGdalKind(s.path))
            readGdal(s);
        else
            readOther(s);
        if (s.width < 1 || s.height < 1 || s.width > MaxPictureSide || s.height > MaxPictureSide
            || qint64(s.width) * s.height > MaxPicturePixels)
            throw Error(QStringLiteral("%1: %2 × %3 piksel; Zemira en çok %4 piksel kenarlı, toplam %5 piksellik "
                                       "paftaları gösterir.")
                            .arg(name).arg(s.width).arg(s.height).arg(MaxPictureSide).arg(MaxPicturePixels));
        sheets.push_back(std::move(s));
        progress(int(sheets.size()), int(names.size()));
    }
    return sheets;
}

void paintReduced(const ScanSheet &sheet, QImage &image, const QRect &target)
{
    if (target.isEmpty())
        return;
    QImage part(target.size(), QImage::Format_RGB32);
    part.fill(Qt::white);
    if (isGdalKind(sheet.path))
        paintGdal(sheet, part);
    else
        part = loadPicture(sheet.path).scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QPainter painter(&image);
    painter.drawImage(target.topLeft(), part);
}
