#include "framework/picture_decoders.h"

#include <QtEndian>

#include <array>
#include <bit>
#include <cstring>
#include <vector>

// Our own bitmap decoder: Qt's reader refuses 2-bit pixels, alpha bit fields, the 52- and
// 56-byte info headers and OS/2 2.x headers shorter than 64 bytes, and trusts an icon's
// directory over its image; this one reads bitmap files and the bitmaps inside icons.

namespace {

constexpr int FileHeaderSize = 14;
constexpr int CoreHeaderSize = 12; // OS/2 1.x: 16-bit sizes, 3-byte colours

enum Compression : quint32 { Rgb = 0, Rle8 = 1, Rle4 = 2, BitFields = 3, AlphaBitFields = 6 };

// Most pixels a byte of the file can give: 8 one-bit pixels uncompressed, or a run of 255
// pixels in two bytes of run-length data.
constexpr double UncompressedPixelsPerByte = 8;
constexpr double RunLengthPixelsPerByte = 127.5;

// One colour channel of a 16- or 32-bit pixel: a mask of any width and position, scaled to 0..255.
struct Channel {
    quint32 mask = 0;
    int shift = 0;
    quint32 max = 0;

    Channel() = default;
    explicit Channel(quint32 bits) : mask(bits), shift(bits ? std::countr_zero(bits) : 0), max(bits >> shift) {}
    int operator()(quint32 pixel) const
    {
        return max ? int((quint64((pixel & mask) >> shift) * 255 + max / 2) / max) : 0;
    }
};

struct Dib {
    qint64 width = 0;
    qint64 height = 0;
    bool topDown = false;
    int bits = 0;
    quint32 compression = Rgb;
    std::array<Channel, 4> channels; // red, green, blue, alpha
    std::vector<QRgb> palette;
    qsizetype colourEnd = 0; // just after the header, masks and colours

    qint64 stride() const { return (width * bits + 31) / 32 * 4; }
    QRgb colour(int index) const { return size_t(index) < palette.size() ? palette[size_t(index)] : qRgb(0, 0, 0); }
};

[[noreturn]] void failUnsupported(const PictureFile &file)
{
    failPicture(file.name, QStringLiteral("bu BMP türü desteklenmiyor"));
}

Dib readHeader(const PictureFile &file, qsizetype at, qsizetype pixels)
{
    const auto *p = reinterpret_cast<const uchar *>(file.data.constData());
    const qsizetype size = file.data.size();
    if (at + 16 > size)
        failCorruptPicture(file);
    const qsizetype headerSize = qFromLittleEndian<quint32>(p + at);
    const bool core = headerSize == CoreHeaderSize;
    // OS/2 2.x headers are 16 to 64 bytes, cut anywhere after the bit count; 40, 52 and 56 are
    // Windows headers, the last two with colour masks; 108 and 124 add colour spaces.
    const bool windows = headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108
        || headerSize == 124;
    const bool os2 = !windows && headerSize >= 16 && headerSize <= 64;
    if (!core && !windows && !os2)
        failUnsupported(file);
    if (at + headerSize > size)
        failCorruptPicture(file);
    const uchar *h = p + at;
    const auto field = [&](int offset) { return offset + 4 <= headerSize ? qFromLittleEndian<quint32>(h + offset) : 0u; };

    Dib dib;
    dib.width = core ? qFromLittleEndian<quint16>(h + 4) : qFromLittleEndian<qint32>(h + 4);
    qint64 height = core ? qFromLittleEndian<quint16>(h + 6) : qFromLittleEndian<qint32>(h + 8);
    const int planes = qFromLittleEndian<quint16>(h + (core ? 8 : 12));
    dib.bits = qFromLittleEndian<quint16>(h + (core ? 10 : 14));
    dib.compression = core ? Rgb : field(16);
    dib.topDown = height < 0;
    dib.height = qAbs(height);

    // Not read: JPEG or PNG inside (4, 5), CMYK (11 to 13), OS/2's Huffman 1D (3) and RLE24 (4).
    const bool known = dib.compression <= BitFields || dib.compression == AlphaBitFields;
    if (!known || (os2 && dib.compression == BitFields))
        failUnsupported(file);
    const bool masked = dib.compression == BitFields || dib.compression == AlphaBitFields;
    const bool bitsFit = (dib.compression == Rgb && (dib.bits == 1 || dib.bits == 2 || dib.bits == 4 || dib.bits == 8
                                                     || dib.bits == 16 || dib.bits == 24 || dib.bits == 32))
        || (dib.compression == Rle8 && dib.bits == 8) || (dib.compression == Rle4 && dib.bits == 4)
        || (masked && (dib.bits == 16 || dib.bits == 32));
    if (planes != 1 || !bitsFit)
        failCorruptPicture(file);

    qsizetype next = at + headerSize;
    if (masked) {
        const uchar *masks = h + 40;
        qsizetype room = headerSize - 40;
        if (headerSize == 40) { // the masks follow the header
            masks = p + next;
            room = dib.compression == AlphaBitFields ? 16 : 12;
            next += room;
            if (next > size)
                failCorruptPicture(file);
        }
        for (int i = 0; i < 4 && 4 * i + 4 <= room; ++i)
            dib.channels[size_t(i)] = Channel(qFromLittleEndian<quint32>(masks + 4 * i));
    } else if (dib.bits == 16) {
        dib.channels = {Channel(0x7c00), Channel(0x03e0), Channel(0x001f), Channel()};
    } else if (dib.bits == 32) {
        dib.channels = {Channel(0xff0000), Channel(0xff00), Channel(0xff), Channel()};
    }

    if (dib.bits <= 8) {
        const int entrySize = core ? 3 : 4;
        const quint32 used = field(32);
        qsizetype count = used > 0 && used < (1u << dib.bits) ? qsizetype(used) : qsizetype(1) << dib.bits;
        const qsizetype room = qMin(pixels > next ? pixels : size, size) - next; // files may give fewer colours
        count = qMax<qsizetype>(0, qMin<qsizetype>(qMin(count, room / entrySize), 256));
        for (qsizetype i = 0; i < count; ++i) {
            const uchar *c = p + next + i * entrySize;
            dib.palette.push_back(qRgb(c[2], c[1], c[0]));
        }
        next += count * entrySize;
    }
    dib.colourEnd = next;
    return dib;
}

int fieldAt(const uchar *row, qint64 x, int bits)
{
    const qint64 bit = x * bits;
    return (row[bit / 8] >> (8 - bits - bit % 8)) & ((1 << bits) - 1);
}

void decodeRow(const Dib &dib, const uchar *in, QRgb *out)
{
    const qint64 width = dib.width;
    const auto &[red, green, blue, alpha] = dib.channels;
    switch (dib.bits) {
    case 24:
        for (qint64 x = 0; x < width; ++x, in += 3)
            out[x] = qRgb(in[2], in[1], in[0]);
        break;
    case 16:
        for (qint64 x = 0; x < width; ++x, in += 2) {
            const quint32 v = qFromLittleEndian<quint16>(in);
            out[x] = qRgba(red(v), green(v), blue(v), alpha.mask ? alpha(v) : 255);
        }
        break;
    case 32:
        for (qint64 x = 0; x < width; ++x, in += 4) {
            const quint32 v = qFromLittleEndian<quint32>(in);
            out[x] = qRgba(red(v), green(v), blue(v), alpha.mask ? alpha(v) : 255);
        }
        break;
    case 8:
        for (qint64 x = 0; x < width; ++x)
            out[x] = dib.colour(in[x]);
        break;
    default:
        for (qint64 x = 0; x < width; ++x)
            out[x] = dib.colour(fieldAt(in, x, dib.bits));
    }
}

// The display row of the file's row r.
int displayRow(const Dib &dib, qint64 r)
{
    return int(dib.topDown ? r : dib.height - 1 - r);
}

// Paints the file's rows from first on white.
void whitenFileRows(const Dib &dib, QImage &image, qint64 first)
{
    const qint64 count = dib.height - first;
    whitenRows(image, dib.topDown ? int(first) : 0, int(count));
}

// Decodes RLE8 or RLE4 data into image, ground and skipped pixels being colour 0; pixels
// beyond the picture's edges are dropped. False when the data ends before its end marker.
bool decodeRunLength(const Dib &dib, const uchar *in, const uchar *end, QImage &image, qint64 *lastRow)
{
    image.fill(dib.colour(0));
    const bool four = dib.compression == Rle4;
    qint64 x = 0;
    qint64 row = 0;
    const auto put = [&](int index) {
        if (x < dib.width && row < dib.height)
            reinterpret_cast<QRgb *>(image.scanLine(displayRow(dib, row)))[x] = dib.colour(index);
        ++x;
    };
    while (row < dib.height) {
        *lastRow = row;
        if (end - in < 2)
            return false;
        const int count = in[0];
        const int value = in[1];
        in += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i)
                put(four ? (i % 2 ? value & 15 : value >> 4) : value);
        } else if (value == 0) {
            x = 0;
            ++row;
        } else if (value == 1) {
            return true;
        } else if (value == 2) {
            if (end - in < 2)
                return false;
            x += in[0];
            row += in[1];
            in += 2;
        } else { // value pixels as they are, padded to a whole number of 16-bit words
            const qsizetype bytes = four ? (value + 1) / 2 : value;
            if (end - in < bytes)
                return false;
            for (int i = 0; i < value; ++i)
                put(four ? (i % 2 ? in[i / 2] & 15 : in[i / 2] >> 4) : in[i]);
            in += qMin<qsizetype>((bytes + 1) / 2 * 2, end - in);
        }
    }
    return true;
}

bool anyAlpha(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(line[x]) != 0)
                return true;
    }
    return false;
}

// An icon's transparency: a 32-bit image's own alpha where it has any, else the mask of 1-bit
// rows after the pixels, 1 meaning transparent.
void applyIconMask(const Dib &dib, const uchar *mask, const uchar *end, QImage &image)
{
    if (dib.bits == 32 && anyAlpha(image))
        return;
    const qint64 stride = (dib.width + 31) / 32 * 4;
    for (qint64 r = 0; r < dib.height; ++r) {
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(displayRow(dib, r)));
        const bool present = end - mask >= (r + 1) * stride; // a mask cut off leaves the rest opaque
        for (qint64 x = 0; x < dib.width; ++x)
            out[x] = present && fieldAt(mask + r * stride, x, 1) ? 0u : out[x] | 0xff000000u;
    }
}

} // namespace

QImage decodeDib(const PictureFile &file, qsizetype at, qsizetype pixels, bool icon, QString *warning)
{
    Dib dib = readHeader(file, at, pixels);
    if (icon) {
        dib.height /= 2;
        if (dib.bits == 32 && !dib.channels[3].mask)
            dib.channels[3] = Channel(0xff000000);
    }
    const bool runLength = dib.compression == Rle8 || dib.compression == Rle4;
    checkPictureClaim(file, dib.width, dib.height, runLength ? RunLengthPixelsPerByte : UncompressedPixelsPerByte);
    if (pixels <= 0)
        pixels = dib.colourEnd;
    if (pixels >= file.data.size())
        failCorruptPicture(file);
    const auto *begin = reinterpret_cast<const uchar *>(file.data.constData());
    const uchar *in = begin + pixels;
    const uchar *end = begin + file.data.size();

    const bool ownAlpha = dib.channels[3].mask != 0;
    QImage image = allocatePicture(file, int(dib.width), int(dib.height),
                                   icon || ownAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    bool damaged = false;
    if (runLength) {
        qint64 lastRow = 0;
        if (!decodeRunLength(dib, in, end, image, &lastRow)) {
            if (lastRow == 0)
                failCorruptPicture(file);
            whitenFileRows(dib, image, lastRow + 1);
            damaged = true;
        }
    } else {
        const qint64 stride = dib.stride();
        const qint64 rows = qMin(dib.height, (end - in) / stride);
        if (rows == 0)
            failCorruptPicture(file);
        for (qint64 r = 0; r < rows; ++r)
            decodeRow(dib, in + r * stride, reinterpret_cast<QRgb *>(image.scanLine(displayRow(dib, r))));
        if (rows < dib.height) {
            whitenFileRows(dib, image, rows);
            damaged = true;
        } else if (icon) {
            applyIconMask(dib, in + rows * stride, end, image);
        }
    }
    if (damaged)
        reportDamage(file, warning);

    if (ownAlpha && !anyAlpha(image)) { // alpha zero throughout: the bitmap has none
        for (int y = 0; y < image.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                line[x] |= 0xff000000u;
        }
    }
    if (icon || ownAlpha)
        image.convertTo(QImage::Format_ARGB32_Premultiplied);
    return image;
}

QImage decodeBmp(const PictureFile &file, QString *warning)
{
    const auto *p = reinterpret_cast<const uchar *>(file.data.constData());
    if (file.data.size() < FileHeaderSize || p[0] != 'B' || p[1] != 'M')
        failCorruptPicture(file);
    return decodeDib(file, FileHeaderSize, qFromLittleEndian<quint32>(p + 10), false, warning);
}
