#include "framework/picture_decoders.h"

#include <QtEndian>

#include <array>
#include <cstring>
#include <vector>

// Our own decoder: no maintained Debian library reads PCX, and Qt has no reader for it.

namespace {

constexpr int HeaderSize = 128;
constexpr int VgaPaletteSize = 1 + 256 * 3; // the marker byte 12, then 256 RGB triples
constexpr uchar VgaPaletteMarker = 12;

// Most pixels a byte can give: a run of 63 bytes in two, each byte 8 one-bit pixels.
constexpr double PcxPixelsPerByte = 63.0 * 8 / 2;

// Expands the run-length stream a scanline at a time; a run may go on into the next scanline.
class RunLengthReader {
public:
    RunLengthReader(const uchar *begin, const uchar *end, bool compressed)
        : m_next(begin), m_end(end), m_compressed(compressed) {}

    // Fills row with size bytes; false when the data ends first.
    bool read(uchar *row, qsizetype size)
    {
        qsizetype filled = 0;
        while (filled < size) {
            if (m_runLeft > 0) {
                const qsizetype n = qMin<qsizetype>(m_runLeft, size - filled);
                std::memset(row + filled, m_runValue, size_t(n));
                filled += n;
                m_runLeft -= int(n);
                continue;
            }
            if (m_next == m_end)
                return false;
            const uchar byte = *m_next++;
            if (m_compressed && byte >= 0xc0) {
                if (m_next == m_end)
                    return false;
                m_runLeft = byte & 0x3f;
                m_runValue = *m_next++;
            } else {
                row[filled++] = byte;
            }
        }
        return true;
    }

private:
    const uchar *m_next;
    const uchar *m_end;
    bool m_compressed;
    int m_runLeft = 0;
    uchar m_runValue = 0;
};

// The value of pixel x in a plane of bits-per-pixel-wide fields, most significant first.
int fieldAt(const uchar *plane, int x, int bits)
{
    const int bit = x * bits;
    return (plane[bit / 8] >> (8 - bits - bit % 8)) & ((1 << bits) - 1);
}

} // namespace

QImage decodePcx(const PictureFile &file, QString *warning)
{
    const auto *data = reinterpret_cast<const uchar *>(file.data.constData());
    const qsizetype size = file.data.size();
    if (size < HeaderSize || data[0] != 10)
        failCorruptPicture(file);
    const int encoding = data[2];
    const int bits = data[3];
    const int planes = data[65];
    const int width = qFromLittleEndian<quint16>(data + 8) - qFromLittleEndian<quint16>(data + 4) + 1;
    const int height = qFromLittleEndian<quint16>(data + 10) - qFromLittleEndian<quint16>(data + 6) + 1;
    const int bytesPerLine = qFromLittleEndian<quint16>(data + 66);
    checkPictureClaim(file, width, height, PcxPixelsPerByte);

    const bool rgb = bits == 8 && planes == 3;
    const bool indexed = (planes == 1 && (bits == 1 || bits == 2 || bits == 4 || bits == 8))
        || (bits == 1 && planes >= 2 && planes <= 4);
    if (encoding > 1 || !(rgb || indexed))
        failPicture(file.name, QStringLiteral("bu PCX türü desteklenmiyor"));
    if (qint64(bytesPerLine) * 8 < qint64(width) * bits)
        failCorruptPicture(file);

    const uchar *dataEnd = data + size;
    std::array<QRgb, 256> palette{};
    if (bits * planes == 1) {
        palette[0] = qRgb(0, 0, 0);
        palette[1] = qRgb(255, 255, 255);
    } else if (bits * planes <= 4) {
        for (int i = 0; i < 16; ++i)
            palette[i] = qRgb(data[16 + 3 * i], data[17 + 3 * i], data[18 + 3 * i]);
    } else if (indexed) {
        const bool hasPalette = size >= HeaderSize + VgaPaletteSize && dataEnd[-VgaPaletteSize] == VgaPaletteMarker;
        const uchar *vga = dataEnd - VgaPaletteSize + 1;
        for (int i = 0; i < 256; ++i)
            palette[i] = hasPalette ? qRgb(vga[3 * i], vga[3 * i + 1], vga[3 * i + 2]) : qRgb(i, i, i);
        if (hasPalette)
            dataEnd -= VgaPaletteSize;
    }

    QImage image = allocatePicture(file, width, height, QImage::Format_RGB32);
    RunLengthReader reader(data + HeaderSize, dataEnd, encoding == 1);
    std::vector<uchar> row(size_t(bytesPerLine) * size_t(planes));
    int y = 0;
    for (; y < height && reader.read(row.data(), qsizetype(row.size())); ++y) {
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            if (rgb) {
                out[x] = qRgb(row[x], row[bytesPerLine + x], row[2 * bytesPerLine + x]);
            } else {
                int index = 0;
                for (int plane = 0; plane < planes; ++plane)
                    index |= fieldAt(row.data() + plane * bytesPerLine, x, bits) << (plane * bits);
                out[x] = palette[index];
            }
        }
    }
    if (y == 0)
        failCorruptPicture(file);
    if (y < height) {
        whitenRows(image, y, height - y);
        reportDamage(file, warning);
    }
    return image;
}
