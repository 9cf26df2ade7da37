#include "picturefiles.h"

#include <QTest>

#include <array>
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

} // namespace

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
