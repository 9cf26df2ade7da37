#include "framework/picture_decoders.h"

#include <QFileInfo>
#include <QSysInfo>

#include <atomic>
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
    ~DatasetCloser() { GDALClose(dataset); }
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
QString detail(const GdalErrors &errors, const MemoryFile &memory, const PictureFile &file)
{
    if (errors.first.isEmpty())
        return QString();
    QString text = errors.first;
    text.replace(QString::fromUtf8(memory.name), QFileInfo(file.name).fileName());
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

// Reads rows [y, y + rows) into the image: colour bands straight into RGB32's bytes, a single
// band's samples into each pixel's first byte and then through its colour table.
bool readRows(GDALDatasetH dataset, QImage &image, int y, int rows, bool colour, const QRgb (&table)[256])
{
    const int width = image.width();
    uchar *first = image.scanLine(y);
    const int stride = int(image.bytesPerLine());
    if (colour) {
        // RGB32 is 0xAARRGGBB in this machine's byte order; alpha is already 0xff.
        const bool little = QSysInfo::ByteOrder == QSysInfo::LittleEndian;
        int bands[3] = {3, 2, 1};
        if (!little)
            std::swap(bands[0], bands[2]);
        return GDALDatasetRasterIO(dataset, GF_Read, 0, y, width, rows, first + (little ? 0 : 1), width, rows,
                                   GDT_Byte, 3, bands, 4, stride, 1)
            == CE_None;
    }
    if (GDALRasterIO(GDALGetRasterBand(dataset, 1), GF_Read, 0, y, width, rows, first, width, rows, GDT_Byte, 4,
                     stride)
        != CE_None)
        return false;
    for (int row = y; row < y + rows; ++row) {
        auto *pixel = reinterpret_cast<QRgb *>(image.scanLine(row));
        for (int x = 0; x < width; ++x)
            pixel[x] = table[*reinterpret_cast<const uchar *>(pixel + x)];
    }
    return true;
}

} // namespace

QImage decodeGdal(const PictureFile &file, const QString &kind, QString *warning)
{
    registerDrivers();
    GdalErrors errors;
    const MemoryFile memory(file, kind);
    const char *const drivers[] = {driverFor(kind), nullptr};
    GDALDatasetH dataset = GDALOpenEx(memory.name.constData(), GDAL_OF_RASTER | GDAL_OF_READONLY, drivers,
                                      nullptr, nullptr);
    if (!dataset)
        failPicture(file.name, QStringLiteral("dosya bir %1 resmi değil ya da bozuk%2")
                                   .arg(formatName(kind), detail(errors, memory, file)));
    const DatasetCloser closer{dataset};

    const int width = GDALGetRasterXSize(dataset);
    const int height = GDALGetRasterYSize(dataset);
    const int bandCount = GDALGetRasterCount(dataset);
    if (bandCount < 1)
        failPicture(file.name, QStringLiteral("dosyada resim yok"));
    const bool colour = bandCount >= 3 && !GDALGetRasterColorTable(GDALGetRasterBand(dataset, 1));
    for (int i = 1; i <= (colour ? 3 : 1); ++i) {
        const GDALDataType type = GDALGetRasterDataType(GDALGetRasterBand(dataset, i));
        if (type != GDT_Byte)
            failPicture(file.name, QStringLiteral("desteklenmeyen piksel türü: %1").arg(GDALGetDataTypeName(type)));
    }
    GDALRasterBandH band = GDALGetRasterBand(dataset, 1);
    if (kind == u"png") {
        checkPictureClaim(file, width, height, PngPixelsPerByte);
    } else if (kind != u"jp2" && !GDALGetMetadataItem(dataset, "COMPRESSION", "IMAGE_STRUCTURE")) {
        // Uncompressed: every pixel is in the file.
        const int bitsPerPixel = bitsOf(band) * (colour ? 3 : 1);
        checkPictureClaim(file, width, height, 8.0 / bitsPerPixel);
    } else {
        checkPictureSize(file, width, height);
    }

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
        if (readRows(dataset, image, y, rows, colour, table))
            continue;
        if (y == 0)
            failPicture(file.name,
                        QStringLiteral("dosya bozuk ya da eksik%1").arg(detail(errors, memory, file)));
        whitenRows(image, y, height - y);
        reportDamage(file, warning);
        break;
    }
    return image;
}
