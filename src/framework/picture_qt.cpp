#include "framework/picture_decoders.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

#include <climits>
#include <cstring>

// Qt's readers decode bmp, ico and gif. Around them: dimensions checked before Qt allocates,
// and the damage Qt passes over in silence (a cut-off bitmap or GIF) found and reported.

namespace {

const uchar *bytesOf(const QByteArray &data)
{
    return reinterpret_cast<const uchar *>(data.constData());
}

// Qt's icon reader allocates what the first icon's bitmap header claims without asking the
// allocation limit, so the size is taken as it does: the directory entry, 0 meaning "see the
// image's own header".
QSize iconSize(const QByteArray &data)
{
    const uchar *p = bytesOf(data);
    if (data.size() < 22)
        return {};
    const qint64 offset = qFromLittleEndian<quint32>(p + 18);
    if (offset + 24 > data.size())
        return {};
    const uchar *image = p + offset;
    static const uchar pngMagic[] = {137, 80, 78, 71, 13, 10, 26, 10};
    if (std::memcmp(image, pngMagic, sizeof pngMagic) == 0)
        return QSize(int(qFromBigEndian<qint32>(image + 16)), int(qFromBigEndian<qint32>(image + 20)));
    const int width = p[6] ? p[6] : qFromLittleEndian<qint32>(image + 4);
    const int height = p[7] ? p[7] : qFromLittleEndian<qint32>(image + 8) / 2;
    return QSize(width, height);
}

// The bitmap's header, read here for its dimensions (Qt refuses an absurd size only as a corrupt
// file) and because Qt's reader leaves uninitialised the pixels it finds no data for (rows
// missing from a cut-off file, pixels a run-length file skips) and still reports success.
struct BitmapHeader {
    QSize size;
    bool runLength = false;
    int firstMissingRow = 0; // in the image's top-down order
    int missingRows = 0;
};

BitmapHeader bitmapHeader(const QByteArray &data)
{
    BitmapHeader header;
    const uchar *p = bytesOf(data);
    const bool coreHeader = data.size() >= 26 && qFromLittleEndian<quint32>(p + 14) == 12;
    if (!coreHeader && data.size() < 34)
        return header;
    const qint64 dataOffset = qFromLittleEndian<quint32>(p + 10);
    const qint64 width = coreHeader ? qFromLittleEndian<quint16>(p + 18) : qFromLittleEndian<qint32>(p + 18);
    const qint64 height = coreHeader ? qFromLittleEndian<quint16>(p + 20) : qFromLittleEndian<qint32>(p + 22);
    const int bits = qFromLittleEndian<quint16>(p + (coreHeader ? 24 : 28));
    const quint32 compression = coreHeader ? 0 : qFromLittleEndian<quint32>(p + 30);
    header.size = QSize(int(width), int(qAbs(height)));
    enum { Rgb = 0, Rle8 = 1, Rle4 = 2, BitFields = 3 };
    header.runLength = compression == Rle8 || compression == Rle4;
    if (compression != Rgb && compression != BitFields)
        return header;
    const qint64 rows = header.size.height();
    const qint64 stride = (width * bits + 31) / 32 * 4;
    const qint64 rowsInFile = stride > 0 ? qMax<qint64>(0, data.size() - dataOffset) / stride : rows;
    if (rowsInFile < rows) {
        header.missingRows = int(rows - rowsInFile);
        header.firstMissingRow = height < 0 ? int(rowsInFile) : 0;
    }
    return header;
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

} // namespace

QImage decodeWithQt(const PictureFile &file, const char *format, QString *warning)
{
    const bool bitmap = qstrcmp(format, "bmp") == 0;
    const bool gifImage = qstrcmp(format, "gif") == 0;
    QBuffer buffer;
    buffer.setData(file.data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);

    const BitmapHeader header = bitmap ? bitmapHeader(file.data) : BitmapHeader();
    const GifLayout gif = gifImage ? gifLayout(file.data) : GifLayout();
    const QSize size = bitmap ? header.size : gifImage ? gif.size : iconSize(file.data);
    if (size == QSize())
        failCorruptPicture(file);
    checkPictureSize(file, size.width(), size.height());
    if (header.missingRows == size.height())
        failCorruptPicture(file);
    const qint64 megabytes = qint64(size.width()) * size.height() * 4 / (1024 * 1024) + 1;
    reader.setAllocationLimit(int(qMin<qint64>(megabytes, INT_MAX)));

    QImage image;
    if (header.runLength) { // Qt decodes into the image given when its size and format fit
        image = allocatePicture(file, size.width(), size.height(), QImage::Format_Indexed8);
        image.fill(0);
    }
    if (!reader.read(&image))
        failCorruptPicture(file);
    image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (image.isNull())
        failPicture(file.name, QStringLiteral("resim için bellek yetersiz"));

    bool damaged = false;
    if (header.missingRows > 0) {
        whitenRows(image, header.firstMissingRow, header.missingRows);
        damaged = true;
    }
    if (gifImage && !gif.complete)
        damaged = true;
    if (damaged)
        reportDamage(file, warning);
    return image;
}
