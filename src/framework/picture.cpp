#include "framework/picture.h"

#include "framework/errors.h"
#include "framework/picture_decoders.h"

#include <QFile>

#include <atomic>
#include <cstring>

#include <sys/mman.h>

namespace {

// Larger than any picture within the limits needs, even an uncompressed 32-bit bitmap.
constexpr qint64 MaxPictureFileBytes = 2LL * 1024 * 1024 * 1024;

// The text after the last dot of the file name; stored names may use backslashes.
QString extensionOf(const QString &fileName)
{
    const qsizetype slash = qMax(fileName.lastIndexOf(u'/'), fileName.lastIndexOf(u'\\'));
    const QString name = fileName.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1);
}

QByteArray readPictureFile(const QString &fileName)
{
    QFile file(fileName);
    if (!file.exists())
        failPicture(fileName, QStringLiteral("dosya bulunamadı"));
    if (!file.open(QIODevice::ReadOnly))
        failPicture(fileName, QStringLiteral("dosya açılamadı"));
    if (file.size() > MaxPictureFileBytes)
        failPicture(fileName, QStringLiteral("dosya çok büyük"));
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        failPicture(fileName, QStringLiteral("dosya okunurken hata oluştu"));
    return data;
}

// However small its file, a picture of up to this many pixels (4 MB) is decoded: a small picture
// cut short is still shown in part.
constexpr qint64 PixelsAlwaysAllowed = 1024 * 1024;

// Pictures this large get memory of their own, and the last one released is kept for the next:
// a sheet switch replaces a sheet by one of the same size, and fresh memory (the kernel
// clearing it page by page as it is first written) costs a third of decoding a sheet.
constexpr size_t OwnMemoryFrom = 32 * 1024 * 1024;

struct PictureMemory {
    void *address;
    size_t size;
};

std::atomic<PictureMemory *> sparePictureMemory{nullptr};

void unmapPictureMemory(PictureMemory *memory)
{
    if (!memory)
        return;
    munmap(memory->address, memory->size);
    delete memory;
}

void releasePictureMemory(void *memory)
{
    unmapPictureMemory(sparePictureMemory.exchange(static_cast<PictureMemory *>(memory)));
}

PictureMemory *takePictureMemory(size_t size)
{
    PictureMemory *spare = sparePictureMemory.exchange(nullptr);
    if (spare && spare->size == size)
        return spare;
    unmapPictureMemory(spare);
    // Populated in one call: a fault for each of its pages would cost more than the clearing.
    void *address = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (address == MAP_FAILED)
        return nullptr;
    return new PictureMemory{address, size};
}

} // namespace

void failPicture(const QString &fileName, const QString &reason)
{
    throw Error(QStringLiteral("Resim dosyası okunamadı: %1 (%2)").arg(fileName, reason));
}

void failCorruptPicture(const PictureFile &file)
{
    failPicture(file.name, QStringLiteral("dosya bozuk ya da eksik"));
}

void checkPictureSize(const QString &fileName, qint64 width, qint64 height, bool windowed)
{
    if (width <= 0 || height <= 0)
        failPicture(fileName, QStringLiteral("resim boyutu geçersiz: %1 × %2 piksel").arg(width).arg(height));
    const qint64 side = windowed ? MaxWindowedSide : MaxPictureSide;
    const qint64 pixels = windowed ? MaxWindowedPixels : MaxPicturePixels;
    if (width > side || height > side || width * height > pixels)
        failPicture(fileName, QStringLiteral("resim çok büyük: %1 × %2 piksel").arg(width).arg(height));
}

void checkPictureSize(const PictureFile &file, qint64 width, qint64 height)
{
    checkPictureSize(file.name, width, height);
}

void checkPictureClaim(const QString &fileName, qint64 fileBytes, qint64 width, qint64 height,
                       double pixelsPerByte, bool windowed)
{
    checkPictureSize(fileName, width, height, windowed);
    const qint64 pixels = width * height;
    if (pixels > PixelsAlwaysAllowed && double(pixels) > double(fileBytes) * pixelsPerByte)
        failPicture(fileName,
                    QStringLiteral("dosya, %1 × %2 piksellik bir resim için çok küçük").arg(width).arg(height));
}

void checkPictureClaim(const PictureFile &file, qint64 width, qint64 height, double pixelsPerByte)
{
    checkPictureClaim(file.name, file.data.size(), width, height, pixelsPerByte);
}

QImage allocatePicture(const PictureFile &file, int width, int height, QImage::Format format)
{
    const qsizetype bytesPerLine = (qsizetype(width) * QImage::toPixelFormat(format).bitsPerPixel() + 31) / 32 * 4;
    const size_t size = size_t(bytesPerLine) * size_t(height);
    if (size < OwnMemoryFrom) {
        QImage image(width, height, format);
        if (image.isNull())
            failPicture(file.name, QStringLiteral("resim için bellek yetersiz"));
        return image;
    }
    PictureMemory *memory = takePictureMemory(size);
    if (!memory)
        failPicture(file.name, QStringLiteral("resim için bellek yetersiz"));
    return QImage(static_cast<uchar *>(memory->address), width, height, bytesPerLine, format, releasePictureMemory,
                  memory);
}

void reportDamage(const PictureFile &file, QString *warning)
{
    if (!warning)
        failCorruptPicture(file);
    *warning = QStringLiteral("Resim dosyası bozuk, resmin bir bölümü eksik ya da hatalı olabilir: %1")
                   .arg(file.name);
}

void whitenRows(QImage &image, int first, int count)
{
    for (int y = qMax(first, 0); y < qMin(first + count, image.height()); ++y)
        std::memset(image.scanLine(y), 0xff, size_t(image.bytesPerLine()));
}

QImage loadPicture(const QString &fileName, QString *warning)
{
    if (warning)
        warning->clear();
    const QString extension = extensionOf(fileName);
    const QString kind = extension.toLower();
    static const QStringList known = {QStringLiteral("bmp"), QStringLiteral("ico"), QStringLiteral("gif"),
                                      QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("wmf"),
                                      QStringLiteral("emf"), QStringLiteral("pcx"), QStringLiteral("tif"),
                                      QStringLiteral("tiff"), QStringLiteral("png"), QStringLiteral("jp2")};
    if (!known.contains(kind))
        throw Error(QStringLiteral("Unknown picture file extension (.%1)").arg(extension));

    const PictureFile file{fileName, readPictureFile(fileName)};
    if (kind == u"jpg" || kind == u"jpeg")
        return decodeJpeg(file, warning);
    if (kind == u"pcx")
        return decodePcx(file, warning);
    if (kind == u"bmp")
        return decodeBmp(file, warning);
    if (kind == u"ico")
        return decodeIcon(file, warning);
    if (kind == u"wmf")
        return decodeWmf(file);
    if (kind == u"emf")
        return decodeEmf(file);
    if (kind == u"tif" || kind == u"tiff" || kind == u"png" || kind == u"jp2")
        return decodeGdal(file, kind, warning);
    return decodeGif(file, warning);
}
