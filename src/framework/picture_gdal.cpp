#include "framework/picture_decoders.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QSysInfo>

#include <atomic>
#include <functional>
#include <cstring>
#include <mutex>

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_vsi.h>
#include <gdal.h>

// TIFF, PNG and JPEG 2000 sheets are read by GDAL from the bytes already in memory, through an
// in-memory file of its own: GDAL then finds no side files (world files, overviews, .aux.xml)
// and writes none.

namespace {

// Deflate's best, 1032 to 1, on one-bit pixels. Compressed TIFFs get no such check: a sparse
// file leaves its tiles out altogether; the pixel limits bound them.
constexpr double PngPixelsPerByte = 1032.0 * 8;

// Rows read in one call when the file's own blocks are taller or shorter than this.
constexpr int MinRowsPerCall = 16;
constexpr int MaxRowsPerCall = 1024;

void registerDrivers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        CPLSetConfigOption("GDAL_DISABLE_READDIR_ON_OPEN", "EMPTY_DIR");
        CPLSetConfigOption("GDAL_PAM_ENABLED", "NO");
        // GDAL's block cache would take 5 % of the machine's memory; sheets are read in windows.
        CPLSetConfigOption("GDAL_CACHEMAX", "64");
        GDALAllRegister();
    });
}

// The first failure GDAL reports while this is alive, instead of its printing to stderr.
// Warnings (unknown tags and the like) leave the pixels intact and are dropped.
class GdalErrors {
public:
    GdalErrors() { CPLPushErrorHandlerEx(collect, this); }
    ~GdalErrors() { CPLPopErrorHandler(); }
    GdalErrors(const GdalErrors &) = delete;
    GdalErrors &operator=(const GdalErrors &) = delete;

    QString first;

private:
    static void CPL_STDCALL collect(CPLErr level, CPLErrorNum, const char *message)
    {
        auto *self = static_cast<GdalErrors *>(CPLGetErrorHandlerUserData());
        if (level >= CE_Failure && self->first.isEmpty())
            self->first = QString::fromUtf8(message).trimmed();
    }
};

// The file's bytes under a name of GDAL's in-memory file system, for as long as this lives.
class MemoryFile {
public:
    explicit MemoryFile(const PictureFile &file, const QString &kind)
    {
        static std::atomic<unsigned> serial{0};
        name = QStringLiteral("/vsimem/zemira/%1.%2").arg(++serial).arg(kind).toUtf8();
        VSIFCloseL(VSIFileFromMemBuffer(name.constData(),
                                        reinterpret_cast<GByte *>(const_cast<char *>(file.data.constData())),
                                        vsi_l_offset(file.data.size()), FALSE));
    }
    ~MemoryFile() { VSIUnlink(name.constData()); }
    MemoryFile(const MemoryFile &) = delete;
    MemoryFile &operator=(const MemoryFile &) = delete;

    QByteArray name;
};

struct DatasetCloser {
    GDALDatasetH dataset;
    ~DatasetCloser()
    {
        if (dataset)
            GDALClose(dataset);
    }
};

const char *driverFor(const QString &kind)
{
    if (kind == u"png")
        return "PNG";
    if (kind == u"jp2")
        return "JP2OpenJPEG";
    return "GTiff";
}

QString formatName(const QString &kind)
{
    if (kind == u"png")
        return QStringLiteral("PNG");
    if (kind == u"jp2")
        return QStringLiteral("JPEG 2000");
    return QStringLiteral("TIFF");
}

// GDAL's message, naming the file as the user knows it rather than by its in-memory name.
QString detail(const GdalErrors &errors, const QByteArray &path, const QString &fileName)
{
    if (errors.first.isEmpty())
        return QString();
    QString text = errors.first;
    text.replace(QString::fromUtf8(path), QFileInfo(fileName).fileName());
    return QStringLiteral("; GDAL: ") + text;
}

int bitsOf(GDALRasterBandH band)
{
    const char *nbits = GDALGetMetadataItem(band, "NBITS", "IMAGE_STRUCTURE");
    const int bits = nbits ? std::atoi(nbits) : 8;
    return bits > 0 && bits <= 8 ? bits : 8;
}

// A one-band picture's colour for each sample value: its palette, or grey scaled from its bits.
void colourTable(GDALRasterBandH band, QRgb (&table)[256])
{
    if (GDALColorTableH palette = GDALGetRasterColorTable(band)) {
        const int count = GDALGetColorEntryCount(palette);
        for (int i = 0; i < 256; ++i) {
            GDALColorEntry entry{0, 0, 0, 255};
            if (i < count)
                GDALGetColorEntryAsRGB(palette, i, &entry);
            table[i] = qRgb(entry.c1, entry.c2, entry.c3);
        }
        return;
    }
    const int top = (1 << bitsOf(band)) - 1;
    for (int i = 0; i < 256; ++i) {
        const int grey = qMin(i, top) * 255 / top;
        table[i] = qRgb(grey, grey, grey);
    }
}

// Reads the source window (full-size pixels) into the target rectangle of the image, reduced
// to the target's size by GDAL (from the file's overviews where it has them): colour bands
// straight into RGB32's bytes, a single band's samples into each pixel's first byte and then
// through its colour table.
bool readRows(GDALDatasetH dataset, QImage &image, const QRect &target, const QRect &source, bool colour,
              const QRgb (&table)[256])
{
    uchar *first = image.scanLine(target.y()) + target.x() * 4;
    const int stride = int(image.bytesPerLine());
    GDALRasterIOExtraArg extra;
    INIT_RASTERIO_EXTRA_ARG(extra);
    extra.eResampleAlg = GRIORA_Average;
    if (colour) {
        // RGB32 is 0xAARRGGBB in this machine's byte order; alpha is already 0xff.
        const bool little = QSysInfo::ByteOrder == QSysInfo::LittleEndian;
        int bands[3] = {3, 2, 1};
        if (!little)
            std::swap(bands[0], bands[2]);
        return GDALDatasetRasterIOEx(dataset, GF_Read, source.x(), source.y(), source.width(), source.height(),
                                     first + (little ? 0 : 1), target.width(), target.height(), GDT_Byte, 3, bands,
                                     4, stride, 1, &extra)
            == CE_None;
    }
    if (GDALRasterIOEx(GDALGetRasterBand(dataset, 1), GF_Read, source.x(), source.y(), source.width(),
                       source.height(), first, target.width(), target.height(), GDT_Byte, 4, stride, &extra)
        != CE_None)
        return false;
    for (int row = target.top(); row <= target.bottom(); ++row) {
        auto *pixel = reinterpret_cast<QRgb *>(image.scanLine(row));
        for (int x = target.left(); x <= target.right(); ++x)
            pixel[x] = table[*reinterpret_cast<const uchar *>(pixel + x)];
    }
    return true;
}

// Splits [start, start + count) of a level's pixels into those whose 2^level full-size pixels
// all lie within fullLength and the last one, which may be cut: each part keeps its own
// reduction ratio, and the whole level and any window of it agree.
QList<std::pair<int, int>> levelSpans(int start, int count, int fullLength, int level)
{
    const int inside = qBound(0, (fullLength >> level) - start, count);
    QList<std::pair<int, int>> spans;
    if (inside > 0)
        spans.append({start, inside});
    if (count > inside)
        spans.append({start + inside, count - inside});
    return spans;
}

} // namespace

namespace {

struct OpenedGdal {
    GDALDatasetH dataset;
    int width;
    int height;
    bool colour;
};

// Opens the file with its own format's driver only and checks its pixel type and size against
// the file's size in bytes; the caller closes the dataset.
OpenedGdal openGdal(const QString &fileName, const QByteArray &path, qint64 fileBytes, const QString &kind,
                    bool windowed, const std::function<QString()> &detail)
{
    registerDrivers();
    const char *const drivers[] = {driverFor(kind), nullptr};
    GDALDatasetH dataset = GDALOpenEx(path.constData(), GDAL_OF_RASTER | GDAL_OF_READONLY, drivers, nullptr, nullptr);
    if (!dataset)
        failPicture(fileName, QStringLiteral("dosya bir %1 resmi değil ya da bozuk%2").arg(formatName(kind), detail()));
    DatasetCloser closer{dataset};

    const int width = GDALGetRasterXSize(dataset);
    const int height = GDALGetRasterYSize(dataset);
    const int bandCount = GDALGetRasterCount(dataset);
    if (bandCount < 1)
        failPicture(fileName, QStringLiteral("dosyada resim yok"));
    const bool colour = bandCount >= 3 && !GDALGetRasterColorTable(GDALGetRasterBand(dataset, 1));
    for (int i = 1; i <= (colour ? 3 : 1); ++i) {
        const GDALDataType type = GDALGetRasterDataType(GDALGetRasterBand(dataset, i));
        if (type != GDT_Byte)
            failPicture(fileName, QStringLiteral("desteklenmeyen piksel türü: %1").arg(GDALGetDataTypeName(type)));
    }
    if (kind == u"png") {
        checkPictureClaim(fileName, fileBytes, width, height, PngPixelsPerByte, windowed);
    } else if (kind != u"jp2" && !GDALGetMetadataItem(dataset, "COMPRESSION", "IMAGE_STRUCTURE")) {
        // Uncompressed: every pixel is in the file.
        const int bitsPerPixel = bitsOf(GDALGetRasterBand(dataset, 1)) * (colour ? 3 : 1);
        checkPictureClaim(fileName, fileBytes, width, height, 8.0 / bitsPerPixel, windowed);
    } else {
        checkPictureSize(fileName, width, height, windowed);
    }
    closer.dataset = nullptr;
    return {dataset, width, height, colour};
}

} // namespace

QImage decodeGdal(const PictureFile &file, const QString &kind, QString *warning)
{
    GdalErrors errors;
    const MemoryFile memory(file, kind);
    const OpenedGdal opened = openGdal(file.name, memory.name, file.data.size(), kind, false,
                                       [&] { return detail(errors, memory.name, file.name); });
    const DatasetCloser closer{opened.dataset};
    GDALDatasetH dataset = opened.dataset;
    const int width = opened.width;
    const int height = opened.height;
    const bool colour = opened.colour;
    GDALRasterBandH band = GDALGetRasterBand(dataset, 1);

    QRgb table[256];
    if (!colour)
        colourTable(band, table);
    QImage image = allocatePicture(file, width, height, QImage::Format_RGB32);
    whitenRows(image, 0, height);
    int blockWidth = 0;
    int blockHeight = 0;
    GDALGetBlockSize(band, &blockWidth, &blockHeight);
    const int step = qBound(MinRowsPerCall, blockHeight, MaxRowsPerCall);
    for (int y = 0; y < height; y += step) {
        const int rows = qMin(step, height - y);
        if (readRows(dataset, image, QRect(0, y, width, rows), QRect(0, y, width, rows), colour, table))
            continue;
        if (y == 0)
            failPicture(file.name,
                        QStringLiteral("dosya bozuk ya da eksik%1").arg(detail(errors, memory.name, file.name)));
        whitenRows(image, y, height - y);
        reportDamage(file, warning);
        break;
    }
    return image;
}

namespace {

// A sheet file opened in place, to be read a window at a time.
OpenedGdal openGdalFile(const QString &fileName, const QString &kind, GdalErrors &errors)
{
    const QByteArray path = QFile::encodeName(fileName);
    if (!QFileInfo::exists(fileName))
        failPicture(fileName, QStringLiteral("dosya bulunamadı"));
    return openGdal(fileName, path, QFileInfo(fileName).size(), kind, true,
                    [&] { return detail(errors, path, fileName); });
}

} // namespace

QSize gdalFileSize(const QString &fileName, const QString &kind)
{
    GdalErrors errors;
    const OpenedGdal opened = openGdalFile(fileName, kind, errors);
    GDALClose(opened.dataset);
    return QSize(opened.width, opened.height);
}

QImage readGdalWindow(const QString &fileName, const QString &kind, int level, const QRect &window,
                      QString *warning)
{
    GdalErrors errors;
    const OpenedGdal opened = openGdalFile(fileName, kind, errors);
    const DatasetCloser closer{opened.dataset};
    QRgb table[256];
    if (!opened.colour)
        colourTable(GDALGetRasterBand(opened.dataset, 1), table);
    QImage image(window.size(), QImage::Format_RGB32);
    if (image.isNull())
        failPicture(fileName, QStringLiteral("resim için bellek yetersiz"));
    image.fill(Qt::white);
    // The level's pixels under the window, and the full-size pixels they come from.
    const QSize full(opened.width, opened.height);
    const QSize levelSize((full.width() + (1 << level) - 1) >> level, (full.height() + (1 << level) - 1) >> level);
    const QRect part = window & QRect(QPoint(0, 0), levelSize);
    if (part.isEmpty())
        return image;
    QImage partial = part == window ? QImage() : QImage(part.size(), QImage::Format_RGB32);
    QImage &rows = part == window ? image : partial;
    bool read = true;
    for (const auto &[x, columns] : levelSpans(part.x(), part.width(), full.width(), level))
        for (const auto &[y, lines] : levelSpans(part.y(), part.height(), full.height(), level)) {
            const QRect source =
                QRect(x << level, y << level, columns << level, lines << level) & QRect(QPoint(0, 0), full);
            read = read
                && readRows(opened.dataset, rows, QRect(x - part.x(), y - part.y(), columns, lines), source,
                            opened.colour, table);
        }
    if (!read) {
        rows.fill(Qt::white);
        reportDamage(PictureFile{fileName, {}}, warning);
    }
    if (part != window)
        QPainter(&image).drawImage(part.topLeft() - window.topLeft(), rows);
    return image;
}
