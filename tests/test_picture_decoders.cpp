#include "picturefiles.h"

#include <QTest>

#include <array>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace {

using Pixel = std::array<unsigned char, 4>;

// A 16 x 16 JPEG through libjpeg, left half one colour and right half another, given in the
// input colour space; scans, if any, replace the default single scan.
QByteArray writeJpeg(J_COLOR_SPACE space, int components, Pixel left, Pixel right, bool adobeMarker,
                     const std::vector<jpeg_scan_info> &scans = {})
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = 16;
    info.image_height = 16;
    info.input_components = components;
    info.in_color_space = space;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    info.write_Adobe_marker = adobeMarker;
    if (!scans.empty()) {
        info.scan_info = scans.data();
        info.num_scans = int(scans.size());
    }
    jpeg_start_compress(&info, TRUE);
    unsigned char row[16 * 4];
    for (int x = 0; x < 16; ++x)
        for (int i = 0; i < components; ++i)
            row[x * components + i] = (x < 8 ? left : right)[size_t(i)];
    JSAMPROW rows[1] = {row};
    while (info.next_scanline < info.image_height)
        jpeg_write_scanlines(&info, rows, 1);
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray data(reinterpret_cast<const char *>(buffer), qsizetype(size));
    std::free(buffer);
    return data;
}

// A valid progressive scan script of some 2,100 scans: every coefficient of every component
// sent bit by bit.
std::vector<jpeg_scan_info> everyBitAScan()
{
    constexpr int MaxAl = 10;
    std::vector<jpeg_scan_info> scans;
    for (int component = 0; component < 3; ++component)
        for (int coefficient = 0; coefficient < 64; ++coefficient)
            for (int al = MaxAl; al >= 0; --al)
                scans.push_back({1, {component, 0, 0, 0}, coefficient, coefficient, al == MaxAl ? 0 : al + 1, al});
    return scans;
}

// PCX run-length coding over the whole stream, so runs cross scanline ends as some writers do.
QByteArray pcxRunLength(const QByteArray &raw)
{
    QByteArray out;
    for (qsizetype i = 0; i < raw.size();) {
        qsizetype run = 1;
        while (i + run < raw.size() && run < 63 && raw[i + run] == raw[i])
            ++run;
        if (run > 1 || uchar(raw[i]) >= 0xc0)
            out += char(0xc0 | run);
        out += raw[i];
        i += run;
    }
    return out;
}

// A PCX of image in the given layout: palette indexes packed into bit planes, or 24-bit planes.
QByteArray makePcx(const QImage &image, const QList<QRgb> &palette, int bits, int planes, bool runLength)
{
    const int width = image.width();
    const int bytesPerLine = ((width * bits + 7) / 8 + 1) / 2 * 2;
    QByteArray data = pcxHeader(width, image.height(), bits, planes, bytesPerLine, runLength ? 1 : 0);
    for (int i = 0; i < qMin<qsizetype>(16, palette.size()); ++i) {
        data[16 + 3 * i] = char(qRed(palette[i]));
        data[17 + 3 * i] = char(qGreen(palette[i]));
        data[18 + 3 * i] = char(qBlue(palette[i]));
    }
    QByteArray raw;
    for (int y = 0; y < image.height(); ++y) {
        for (int plane = 0; plane < planes; ++plane) {
            QByteArray line(bytesPerLine, '\0');
            for (int x = 0; x < width; ++x) {
                const QRgb pixel = image.pixel(x, y);
                if (palette.isEmpty()) {
                    line[x] = char(plane == 0 ? qRed(pixel) : plane == 1 ? qGreen(pixel) : qBlue(pixel));
                    continue;
                }
                const int field = (int(palette.indexOf(pixel)) >> (plane * bits)) & ((1 << bits) - 1);
                const int bit = x * bits;
                line[bit / 8] = char(uchar(line[bit / 8]) | field << (8 - bits - bit % 8));
            }
            raw += line;
        }
    }
    data += runLength ? pcxRunLength(raw) : raw;
    if (bits == 8 && planes == 1 && palette.size() > 16) {
        data += char(12);
        for (int i = 0; i < 256; ++i) {
            const QRgb c = palette.value(i);
            data += char(qRed(c));
            data += char(qGreen(c));
            data += char(qBlue(c));
        }
    }
    return data;
}

// A 7 x 3 picture using colours[0..n), with a long run of one colour across the first two rows.
QImage pcxPicture(const QList<QRgb> &colours)
{
    QImage image(7, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x)
            image.setPixel(x, y, y < 2 && x > 2 ? colours[0] : colours[(x + 3 * y) % colours.size()]);
    return image;
}

// How a bitmap is stored: info header size, bits per pixel, compression (0 none, 1 RLE8,
// 2 RLE4, 3 bit fields, 6 bit fields with alpha) and the masks; with masks for 16 and 32 bits
// but none given, the usual 5-5-5 and 8-8-8.
struct BmpLayout {
    BmpLayout(int headerSize = 40, int bits = 24, int compression = 0, QList<quint32> masks = {}, bool topDown = false)
        : headerSize(headerSize), bits(bits), compression(compression), masks(std::move(masks)), topDown(topDown) {}
    int headerSize;
    int bits;
    int compression;
    QList<quint32> masks;
    bool topDown;
};

// Colours every layout holds exactly: each channel 0 or 255.
const QList<QRgb> bmpColours = {qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(0, 0, 255),   qRgb(255, 255, 255),
                                qRgb(0, 0, 0),     qRgb(255, 255, 0), qRgb(0, 255, 255), qRgb(255, 0, 255)};

// A 5 x 3 picture in as many of bmpColours as the layout holds, one pixel see-through where it
// has an alpha mask.
QImage bmpPicture(const BmpLayout &layout)
{
    const int colours = layout.bits <= 8 ? qMin(8, 1 << layout.bits) : 8;
    QImage image(5, 3, QImage::Format_ARGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            image.setPixel(x, y, bmpColours[(x + 2 * y) % colours]);
    if (layout.masks.size() == 4 && layout.masks[3])
        image.setPixel(1, 1, qRgba(0, 0, 0, 0));
    return image;
}

// A channel value 0..255 placed in mask.
quint32 inMask(int value, quint32 mask)
{
    if (!mask)
        return 0;
    const int shift = std::countr_zero(mask);
    const quint64 max = mask >> shift;
    return quint32((value * max + 127) / 255) << shift;
}

void appendLe(QByteArray &data, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        data += char(value >> (8 * i));
}

// The rows of picture as layout stores them, bottom row first unless top-down.
QByteArray bmpPixels(const QImage &picture, const BmpLayout &layout, const QList<quint32> &masks)
{
    QByteArray data;
    const int width = picture.width();
    for (int i = 0; i < picture.height(); ++i) {
        const int y = layout.topDown ? i : picture.height() - 1 - i;
        QList<int> indexes;
        for (int x = 0; x < width; ++x)
            indexes << int(bmpColours.indexOf(picture.pixel(x, y) | 0xff000000u));
        if (layout.compression == 1 || layout.compression == 2) { // first row absolute, the others runs
            const bool four = layout.compression == 2;
            if (i == 0) {
                data += char(0);
                data += char(width);
                QByteArray run;
                for (int x = 0; x < width; ++x) {
                    if (!four)
                        run += char(indexes[x]);
                    else if (x % 2 == 0)
                        run += char(indexes[x] << 4);
                    else
                        run[run.size() - 1] = char(run[run.size() - 1] | indexes[x]);
                }
                data += run + QByteArray(run.size() % 2, '\0');
            } else {
                for (int x = 0; x < width; ++x) {
                    data += char(1);
                    data += char(four ? indexes[x] << 4 | indexes[x] : indexes[x]);
                }
            }
            data += QByteArray::fromHex(i + 1 < picture.height() ? "0000" : "0001");
            continue;
        }
        QByteArray row;
        for (int x = 0; x < width; ++x) {
            const QRgb c = picture.pixel(x, y);
            if (layout.bits == 24) {
                row += char(qBlue(c));
                row += char(qGreen(c));
                row += char(qRed(c));
            } else if (layout.bits >= 16) {
                const quint32 alpha = masks.size() == 4 ? inMask(qAlpha(c), masks[3])
                    : layout.compression == 0       ? 0x7f000000u // unused, whatever it holds
                                                    : 0;
                appendLe(row, inMask(qRed(c), masks[0]) | inMask(qGreen(c), masks[1]) | inMask(qBlue(c), masks[2]) | alpha,
                         layout.bits / 8);
            } else {
                const int bit = x * layout.bits;
                row.resize(bit / 8 + 1);
                row[bit / 8] = char(row[bit / 8] | indexes[x] << (8 - layout.bits - bit % 8));
            }
        }
        row.resize((width * layout.bits + 31) / 32 * 4);
        data += row;
    }
    return data;
}

// A bitmap file of picture in layout; an icon's bitmap has no file header, twice the height and
// a transparency mask (with maskedPixel see-through).
QByteArray makeBmp(const QImage &picture, const BmpLayout &layout, bool icon = false, QPoint maskedPixel = {-1, -1})
{
    QList<quint32> masks = layout.masks;
    if (masks.isEmpty() && layout.bits == 16)
        masks = {0x7c00, 0x3e0, 0x1f};
    if (masks.isEmpty() && layout.bits == 32)
        masks = {0xff0000, 0xff00, 0xff};
    const int height = picture.height() * (icon ? 2 : 1);
    QByteArray header;
    appendLe(header, quint32(layout.headerSize), 4);
    if (layout.headerSize == 12) {
        appendLe(header, quint32(picture.width()), 2);
        appendLe(header, quint32(height), 2);
    } else {
        appendLe(header, quint32(picture.width()), 4);
        appendLe(header, quint32(layout.topDown ? -height : height), 4);
    }
    appendLe(header, 1, 2);
    appendLe(header, quint32(layout.bits), 2);
    const qsizetype fields = header.size();
    header.resize(layout.headerSize);
    std::fill(header.begin() + fields, header.end(), '\0');
    const int colours = layout.bits <= 8 ? 1 << layout.bits : 0;
    if (layout.headerSize >= 20)
        le32(header, 16, layout.compression);
    if (layout.headerSize >= 36)
        le32(header, 32, colours);
    const bool masked = layout.compression == 3 || layout.compression == 6;
    for (int i = 0; masked && i < layout.masks.size(); ++i) {
        if (layout.headerSize == 40)
            appendLe(header, layout.masks[i], 4);
        else if (40 + 4 * i + 4 <= layout.headerSize)
            le32(header, 40 + 4 * i, layout.masks[i]);
    }
    for (int i = 0; i < colours; ++i) {
        const QRgb c = bmpColours.value(i);
        header += char(qBlue(c));
        header += char(qGreen(c));
        header += char(qRed(c));
        if (layout.headerSize != 12)
            header += char(0);
    }
    QByteArray pixels = bmpPixels(picture, layout, masks);
    if (icon) {
        const int stride = (picture.width() + 31) / 32 * 4;
        for (int i = 0; i < picture.height(); ++i) {
            QByteArray row(stride, '\0');
            if (picture.height() - 1 - i == maskedPixel.y())
                row[maskedPixel.x() / 8] = char(0x80 >> maskedPixel.x() % 8);
            pixels += row;
        }
        return header + pixels;
    }
    QByteArray file("BM");
    appendLe(file, quint32(14 + header.size() + pixels.size()), 4);
    appendLe(file, 0, 4);
    appendLe(file, quint32(14 + header.size()), 4);
    return file + header + pixels;
}

// An icon file of one image whose directory entry says size and bits.
QByteArray makeIcon(const QByteArray &image, int size, int bits)
{
    QByteArray data(6 + 16, '\0');
    le16(data, 2, 1);
    le16(data, 4, 1);
    data[6] = char(size);
    data[7] = char(size);
    le16(data, 6 + 4, 1);
    le16(data, 6 + 6, bits);
    le32(data, 6 + 8, image.size());
    le32(data, 6 + 12, data.size());
    return data + image;
}

QString compareImages(const QImage &actual, const QImage &expected)
{
    if (actual.size() != expected.size())
        return QStringLiteral("size %1 x %2").arg(actual.width()).arg(actual.height());
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            if (!near(actual.pixel(x, y), expected.pixel(x, y), 0))
                return QStringLiteral("at %1,%2: %3, expected %4")
                    .arg(x).arg(y).arg(describe(actual.pixel(x, y)), describe(expected.pixel(x, y)));
    return {};
}

} // namespace

Q_DECLARE_METATYPE(BmpLayout)
Q_DECLARE_METATYPE(std::vector<jpeg_scan_info>)

class TestPictureDecoders : public QObject {
    Q_OBJECT
private slots:
    void cmykJpeg_data()
    {
        QTest::addColumn<bool>("adobe");
        QTest::newRow("adobe marker, stored inverted") << true;
        QTest::newRow("no marker") << false;
    }
    void cmykJpeg()
    {
        QFETCH(bool, adobe);
        const auto stored = [adobe](Pixel cmyk) {
            for (unsigned char &v : cmyk)
                v = adobe ? 255 - v : v;
            return cmyk;
        };
        const Pixel red{0, 255, 255, 0};
        const Pixel blue{255, 255, 0, 0};
        QTemporaryDir dir;
        const QImage image = loadPicture(
            writeFile(dir, QStringLiteral("c.jpg"), writeJpeg(JCS_CMYK, 4, stored(red), stored(blue), adobe)));
        QVERIFY2(near(image.pixel(2, 8), qRgb(255, 0, 0), 16), qPrintable(describe(image.pixel(2, 8))));
        QVERIFY2(near(image.pixel(13, 8), qRgb(0, 0, 255), 16), qPrintable(describe(image.pixel(13, 8))));
    }

    // Each scan of a progressive JPEG is another pass over the whole picture: a file of
    // thousands of scans would keep a full-size sheet decoding for minutes.
    void progressiveScans_data()
    {
        QTest::addColumn<std::vector<jpeg_scan_info>>("scans");
        QTest::addColumn<bool>("loads");
        QTest::newRow("one scan") << std::vector<jpeg_scan_info>{} << true;
        std::vector<jpeg_scan_info> usual;
        for (int component = 0; component < 3; ++component) {
            usual.push_back({1, {component, 0, 0, 0}, 0, 0, 0, 0});
            usual.push_back({1, {component, 0, 0, 0}, 1, 63, 0, 0});
        }
        QTest::newRow("a few scans") << usual << true;
        QTest::newRow("every bit a scan") << everyBitAScan() << false;
    }
    void progressiveScans()
    {
        QFETCH(std::vector<jpeg_scan_info>, scans);
        QFETCH(bool, loads);
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("p.jpg"),
                                       writeJpeg(JCS_RGB, 3, {250, 0, 0, 0}, {0, 0, 250, 0}, false, scans));
        if (loads)
            QVERIFY(near(loadPicture(path).pixel(2, 8), qRgb(250, 0, 0), 16));
        else
            QCOMPARE(loadError(path), QStringLiteral("Resim dosyası okunamadı: %1 (JPEG dosyasında 500'den fazla tarama var)").arg(path));
    }

    void bmpLayouts_data()
    {
        QTest::addColumn<BmpLayout>("layout");
        QTest::newRow("os/2 1.x, 1 bit") << BmpLayout{12, 1};
        QTest::newRow("2 bits") << BmpLayout{40, 2};
        QTest::newRow("4 bits") << BmpLayout{40, 4};
        QTest::newRow("os/2 2.x 16-byte header, 8 bits") << BmpLayout{16, 8};
        QTest::newRow("os/2 2.x 24-byte header, 4 bits") << BmpLayout{24, 4};
        QTest::newRow("os/2 2.x 64-byte header, 24 bits") << BmpLayout{64, 24};
        QTest::newRow("rle8") << BmpLayout{40, 8, 1};
        QTest::newRow("rle4") << BmpLayout{40, 4, 2};
        QTest::newRow("24 bits, top-down") << BmpLayout{40, 24, 0, {}, true};
        QTest::newRow("16 bits, 5-5-5") << BmpLayout{40, 16};
        QTest::newRow("16 bits, 5-6-5 masks after the header") << BmpLayout{40, 16, 3, {0xf800, 0x7e0, 0x1f}};
        QTest::newRow("16 bits, 4-4-4-4 with alpha") << BmpLayout{40, 16, 6, {0xf00, 0xf0, 0xf, 0xf000}};
        QTest::newRow("32 bits, top byte unused") << BmpLayout{40, 32};
        QTest::newRow("32 bits, 52-byte header, blue highest") << BmpLayout{52, 32, 3, {0xff, 0xff00, 0xff0000}};
        QTest::newRow("32 bits, 56-byte header with alpha") << BmpLayout{56, 32, 3, {0xff0000, 0xff00, 0xff, 0xff000000}};
        QTest::newRow("32 bits, 10-bit masks, v4 header") << BmpLayout{108, 32, 3, {0x3ff00000, 0xffc00, 0x3ff}};
        QTest::newRow("32 bits, narrow masks, v5 header, top-down")
            << BmpLayout{124, 32, 3, {0x7, 0x38, 0x1c0, 0xe00}, true};
    }
    void bmpLayouts()
    {
        QFETCH(BmpLayout, layout);
        const QImage expected = bmpPicture(layout);
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("b.bmp"), makeBmp(expected, layout));
        QString warning;
        const QImage image = loadPicture(path, &warning);
        QCOMPARE(warning, QString());
        const QString difference = compareImages(image, expected);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }

    void bmpMalformed_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("reason");
        const QByteArray pal8 = makeBmp(bmpPicture(BmpLayout{40, 8}), BmpLayout{40, 8});
        const auto patched = [](QByteArray data, int at, quint32 value, int bytes = 4) {
            if (bytes == 4)
                le32(data, at, value);
            else
                le16(data, at, int(value));
            return data;
        };
        const QString corrupt = QStringLiteral("dosya bozuk ya da eksik");
        const QString unsupported = QStringLiteral("bu BMP türü desteklenmiyor");
        QTest::newRow("pixels past the end") << "b.bmp" << patched(pal8, 10, 1u << 20) << corrupt;
        QTest::newRow("header of 200 bytes") << "b.bmp" << patched(pal8, 14, 200) << unsupported;
        QTest::newRow("header past the end") << "b.bmp" << patched(pal8, 14, 124).left(100) << corrupt;
        QTest::newRow("jpeg inside") << "b.bmp" << patched(pal8, 14 + 16, 4) << unsupported;
        QTest::newRow("os/2 huffman") << "b.bmp" << makeBmp(bmpPicture(BmpLayout{64, 1, 3}), BmpLayout{64, 1, 3}) << unsupported;
        QTest::newRow("rle8 of 24 bits") << "b.bmp" << patched(patched(pal8, 14 + 16, 1), 14 + 14, 24, 2) << corrupt;
        QTest::newRow("two planes") << "b.bmp" << patched(pal8, 14 + 12, 2, 2) << corrupt;
        QTest::newRow("not a bitmap") << "b.bmp" << QByteArray("BA") + pal8.mid(2) << corrupt;
        const QByteArray icon = makeIcon(makeBmp(bmpPicture(BmpLayout{40, 8}), BmpLayout{40, 8}, true), 16, 8);
        QTest::newRow("icon image past the end") << "i.ico" << patched(icon, 6 + 12, quint32(icon.size())) << corrupt;
        QTest::newRow("icon of another kind") << "i.ico" << patched(icon, 2, 3, 2) << corrupt;
    }
    void bmpMalformed()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, data);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = writeFile(dir, file, data);
        QCOMPARE(loadError(path), QStringLiteral("Resim dosyası okunamadı: %1 (%2)").arg(path, reason));
    }

    // The directory entry's size and bit count are not the image's: the image data decides.
    void iconEntries_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QImage>("expected");
        QImage masked = bmpPicture(BmpLayout{40, 8});
        const QByteArray dib8 = makeBmp(masked, BmpLayout{40, 8}, true, QPoint(3, 2));
        masked.setPixel(3, 2, qRgba(0, 0, 0, 0));
        QTest::newRow("8 bits, entry says 16 x 16, 4 bits") << makeIcon(dib8, 16, 4) << masked;
        const BmpLayout rgba{40, 32, 0, {0xff0000, 0xff00, 0xff, 0xff000000}};
        const QImage withAlpha = bmpPicture(rgba);
        QTest::newRow("32 bits with alpha, entry says 256 x 256, 8 bits")
            << makeIcon(makeBmp(withAlpha, rgba, true), 0, 8) << withAlpha;
        QImage picture(7, 5, QImage::Format_ARGB32);
        picture.fill(qRgba(0, 0, 0, 0));
        picture.setPixel(2, 3, qRgb(10, 200, 30));
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "png");
        QTest::newRow("png, entry says 16 x 16") << makeIcon(png, 16, 32) << picture;
    }
    void iconEntries()
    {
        QFETCH(QByteArray, data);
        QFETCH(QImage, expected);
        QTemporaryDir dir;
        const QImage image = loadPicture(writeFile(dir, QStringLiteral("i.ico"), data));
        const QString difference = compareImages(image, expected);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }

    // A progressive file keeps every coefficient in memory: a claim the file's size allows, but
    // whose coefficients would pass libjpeg's memory limit, is refused before they are allocated.
    void jpegMemoryLimit()
    {
        QByteArray data = jpegClaiming(20000, 19000, true);
        QByteArray padding = QByteArray::fromHex("ffefffff") + QByteArray(65533, '\0'); // an application segment
        data.insert(2, padding.repeated(6));
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("p.jpg"), data);
        QCOMPARE(loadError(path),
                 QStringLiteral("Resim dosyası okunamadı: %1 (resmi çözmek için gereken bellek 1024 MB sınırını aşıyor)").arg(path));
    }

    void pcxLayouts_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("planes");
        QTest::addColumn<bool>("runLength");
        QTest::addColumn<QList<QRgb>>("palette");
        QList<QRgb> ega;
        for (int i = 0; i < 16; ++i)
            ega << qRgb(i * 16, 255 - i * 13, (i * 77) % 256);
        QList<QRgb> vga;
        for (int i = 0; i < 256; ++i)
            vga << qRgb(i, (i * 7) % 256, 255 - i);
        QTest::newRow("1 bit") << 1 << 1 << true << QList<QRgb>{qRgb(0, 0, 0), qRgb(255, 255, 255)};
        QTest::newRow("2 bits") << 2 << 1 << true << ega.mid(0, 4);
        QTest::newRow("4 bits") << 4 << 1 << true << ega;
        QTest::newRow("1 bit, 2 planes") << 1 << 2 << true << ega.mid(0, 4);
        QTest::newRow("1 bit, 3 planes") << 1 << 3 << true << ega.mid(0, 8);
        QTest::newRow("1 bit, 4 planes") << 1 << 4 << true << ega;
        QTest::newRow("8 bits, palette") << 8 << 1 << true << vga;
        QTest::newRow("8 bits, uncompressed") << 8 << 1 << false << vga;
        QTest::newRow("24 bits") << 8 << 3 << true << QList<QRgb>{};
    }
    void pcxLayouts()
    {
        QFETCH(int, bits);
        QFETCH(int, planes);
        QFETCH(bool, runLength);
        QFETCH(QList<QRgb>, palette);
        const QList<QRgb> colours = palette.isEmpty()
            ? QList<QRgb>{qRgb(200, 10, 250), qRgb(0, 255, 193), qRgb(7, 7, 7), qRgb(255, 255, 0)}
            : palette.mid(palette.size() - qMin<qsizetype>(palette.size(), 5));
        const QImage expected = pcxPicture(colours);
        QTemporaryDir dir;
        const QImage image = loadPicture(writeFile(dir, QStringLiteral("p.pcx"), makePcx(expected, palette, bits, planes, runLength)));
        QCOMPARE(image, expected);
    }

    void pcxMalformed_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("reason");
        QTest::newRow("header only") << pcxHeader(8, 8, 8, 1, 8) << "dosya bozuk ya da eksik";
        QTest::newRow("short header") << pcxHeader(8, 8, 8, 1, 8).left(100) << "dosya bozuk ya da eksik";
        QTest::newRow("not pcx") << QByteArray(200, 'x') << "dosya bozuk ya da eksik";
        QTest::newRow("line shorter than width") << pcxHeader(100, 8, 8, 1, 64) + QByteArray(2000, '\1') << "dosya bozuk ya da eksik";
        QByteArray reversed = pcxHeader(8, 8, 8, 1, 8) + QByteArray(200, '\1');
        le16(reversed, 4, 10); // left edge 10, right edge 7
        QTest::newRow("right edge before left") << reversed << "resim boyutu geçersiz: -2 × 8 piksel";
        QTest::newRow("8 bits, 4 planes") << pcxHeader(8, 8, 8, 4, 8) + QByteArray(400, '\1') << "bu PCX türü desteklenmiyor";
        QTest::newRow("unknown encoding") << pcxHeader(8, 8, 8, 1, 8, 2) + QByteArray(400, '\1') << "bu PCX türü desteklenmiyor";
    }
    void pcxMalformed()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("p.pcx"), data);
        QCOMPARE(loadError(path), QStringLiteral("Resim dosyası okunamadı: %1 (%2)").arg(path, reason));
    }

};

QTEST_MAIN(TestPictureDecoders)
#include "test_picture_decoders.moc"
