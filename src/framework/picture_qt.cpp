#include "framework/picture_decoders.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

#include <climits>

// Qt's readers decode GIF files and the PNG images inside icons. Around them: dimensions
// checked before Qt allocates, and the damage Qt passes over in silence (a cut-off GIF) found
// and reported.

namespace {

// Most pixels a byte can give: LZW codes are at most 12 bits long and stand for at most 4096
// pixels; deflate expands a byte into at most 1032, each of 8 one-bit pixels.
constexpr double GifPixelsPerByte = 4096.0 * 8 / 12;
constexpr double PngPixelsPerByte = 1032.0 * 8;

const uchar *bytesOf(const QByteArray &data)
{
    return reinterpret_cast<const uchar *>(data.constData());
}

// The canvas Qt's GIF reader allocates, and whether the file holds the whole first image:
// Qt shows a cut-off GIF without complaint.
struct GifLayout {
    QSize size;
    bool complete = false;
};

GifLayout gifLayout(const QByteArray &data)
{
    GifLayout layout;
    const uchar *p = bytesOf(data);
    const qsizetype size = data.size();
    qsizetype pos = 13;
    if (size < pos)
        return layout;
    const auto skipColourTable = [&](uchar flags) {
        if (flags & 0x80)
            pos += qsizetype(3) << ((flags & 7) + 1);
    };
    const auto skipSubBlocks = [&] {
        while (pos < size) {
            const uchar length = p[pos++];
            if (length == 0)
                return true;
            pos += length;
        }
        return false;
    };
    skipColourTable(p[10]);
    while (pos < size) {
        const uchar block = p[pos++];
        if (block == 0x21) { // extension: a label, then sub-blocks
            ++pos;
            if (!skipSubBlocks())
                return layout;
        } else if (block == 0x2c) { // image descriptor, colour table, code size, data sub-blocks
            if (pos + 9 > size)
                return layout;
            const int left = qFromLittleEndian<quint16>(p + pos);
            const int top = qFromLittleEndian<quint16>(p + pos + 2);
            const int width = qFromLittleEndian<quint16>(p + pos + 4);
            const int height = qFromLittleEndian<quint16>(p + pos + 6);
            // As Qt does: a missing screen size, or one ten times larger than any frame could
            // want, gives way to the first frame's extent.
            int screenWidth = qFromLittleEndian<quint16>(p + 6);
            int screenHeight = qFromLittleEndian<quint16>(p + 8);
            if (screenWidth / 10 > qMax(width, 16384) || screenWidth == 0)
                screenWidth = left + width;
            if (screenHeight / 10 > qMax(height, 16384) || screenHeight == 0)
                screenHeight = top + height;
            layout.size = QSize(screenWidth, screenHeight);
            pos += 9;
            skipColourTable(p[pos - 1]);
            ++pos;
            layout.complete = skipSubBlocks();
            return layout;
        } else {
            return layout;
        }
    }
    return layout;
}

// Reads the image of the given size from data with Qt's reader, its allocation limit lifted
// to what that size needs.
QImage readWithQt(const PictureFile &file, const QByteArray &data, const char *format, QSize size)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    const qint64 megabytes = qint64(size.width()) * size.height() * 4 / (1024 * 1024) + 1;
    reader.setAllocationLimit(int(qMin<qint64>(megabytes, INT_MAX)));
    QImage image;
    if (!reader.read(&image))
        failCorruptPicture(file);
    image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (image.isNull())
        failPicture(file.name, QStringLiteral("resim için bellek yetersiz"));
    return image;
}

} // namespace

QImage decodeGif(const PictureFile &file, QString *warning)
{
    const GifLayout gif = gifLayout(file.data);
    if (gif.size == QSize())
        failCorruptPicture(file);
    checkPictureClaim(file, gif.size.width(), gif.size.height(), GifPixelsPerByte);
    QImage image = readWithQt(file, file.data, "gif", gif.size);
    if (!gif.complete)
        reportDamage(file, warning);
    return image;
}

QImage decodePngPart(const PictureFile &file, qsizetype offset)
{
    const QByteArray png = file.data.mid(offset);
    if (png.size() < 24)
        failCorruptPicture(file);
    const auto *header = reinterpret_cast<const uchar *>(png.constData());
    const qint64 width = qFromBigEndian<quint32>(header + 16);
    const qint64 height = qFromBigEndian<quint32>(header + 20);
    checkPictureClaim(file, width, height, PngPixelsPerByte);
    QImage image = readWithQt(file, png, "png", QSize(int(width), int(height)));
    image.convertTo(QImage::Format_ARGB32_Premultiplied);
    return image;
}
