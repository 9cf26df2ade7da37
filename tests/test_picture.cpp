#include "framework/errors.h"
#include "framework/picture.h"
#include "testsupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include <jpeglib.h>

namespace {

struct Sample {
    QPoint at;
    QRgb colour;
};
using Samples = QList<Sample>;

enum class Outcome { Image, Partial, Failure };

QString goodFile(const QString &name)
{
    return fixturePath(QStringLiteral("images/good/") + name);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &data)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(data);
    return path;
}

// The Error text of loading path, or a null string when it loads.
QString errorOf(const QString &path, QString *warning = nullptr)
{
    try {
        loadPicture(path, warning);
    } catch (const Error &e) {
        return e.text();
    }
    return QString();
}

bool near(QRgb actual, QRgb expected, int tolerance)
{
    return qAbs(qRed(actual) - qRed(expected)) <= tolerance && qAbs(qGreen(actual) - qGreen(expected)) <= tolerance
        && qAbs(qBlue(actual) - qBlue(expected)) <= tolerance && qAlpha(actual) == qAlpha(expected);
}

QString describe(QRgb c)
{
    return QStringLiteral("rgba(%1,%2,%3,%4)").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c)).arg(qAlpha(c));
}

void le16(QByteArray &data, int at, int value)
{
    qToLittleEndian<quint16>(quint16(value), data.data() + at);
}

void le32(QByteArray &data, int at, qint64 value)
{
    qToLittleEndian<quint32>(quint32(value), data.data() + at);
}

// A 24-bit bitmap header claiming width x height, followed by a little pixel data.
QByteArray bmpHeader(qint64 width, qint64 height)
{
    QByteArray data(54 + 64, '\x40');
    data[0] = 'B';
    data[1] = 'M';
    le32(data, 2, data.size());
    le32(data, 6, 0);
    le32(data, 10, 54);
    le32(data, 14, 40);
    le32(data, 18, width);
    le32(data, 22, height);
    le16(data, 26, 1);
    le16(data, 28, 24);
    le32(data, 30, 0);
    for (int i = 34; i < 54; i += 4)
        le32(data, i, 0);
    return data;
}

QByteArray pcxHeader(int width, int height, int bits, int planes, int bytesPerLine, int encoding = 1)
{
    QByteArray data(128, '\0');
    data[0] = 10;
    data[1] = 5;
    data[2] = char(encoding);
    data[3] = char(bits);
    le16(data, 8, width - 1);
    le16(data, 10, height - 1);
    data[65] = char(planes);
    le16(data, 66, bytesPerLine);
    return data;
}

QByteArray gifHeader(int width, int height)
{
    QByteArray data("GIF89a");
    data.resize(13);
    le16(data, 6, width);
    le16(data, 8, height);
    data[10] = 0;
    data[11] = 0;
    data[12] = 0;
    data += QByteArray::fromHex("2c00000000010001000002024401003b"); // one pixel, then the trailer
    return data;
}

// A real JPEG whose frame header is then made to claim width x height.
QByteArray jpegClaiming(int width, int height)
{
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "jpg");
    const qsizetype frame = data.indexOf(QByteArray::fromHex("ffc0"));
    qToBigEndian<quint16>(quint16(height), data.data() + frame + 5);
    qToBigEndian<quint16>(quint16(width), data.data() + frame + 7);
    return data;
}

// An icon whose directory entry defers to its bitmap header, which claims width x height.
QByteArray iconClaiming(qint64 width, qint64 height)
{
    QByteArray data(6 + 16 + 40 + 64, '\0');
    le16(data, 2, 1);
    le16(data, 4, 1);
    le16(data, 6 + 4, 1);
    le16(data, 6 + 6, 32);
    le32(data, 6 + 8, 40 + 64);
    le32(data, 6 + 12, 22);
    le32(data, 22, 40);
    le32(data, 22 + 4, width);
    le32(data, 22 + 8, height * 2);
    le16(data, 22 + 12, 1);
    le16(data, 22 + 14, 32);
    return data;
}

// A 16 x 16 CMYK JPEG, left half red, right half blue; with the Adobe marker the values are
// stored inverted, as Photoshop writes them.
QByteArray makeCmykJpeg(bool adobe)
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
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    info.write_Adobe_marker = adobe;
    jpeg_start_compress(&info, TRUE);
    unsigned char row[16 * 4];
    for (int x = 0; x < 16; ++x) {
        const unsigned char cmyk[4] = {0, 255, 255, 0}; // red
        const unsigned char cmykBlue[4] = {255, 255, 0, 0};
        for (int i = 0; i < 4; ++i) {
            const unsigned char v = x < 8 ? cmyk[i] : cmykBlue[i];
            row[x * 4 + i] = adobe ? 255 - v : v;
        }
    }
    JSAMPROW rows[1] = {row};
    while (info.next_scanline < info.image_height)
        jpeg_write_scanlines(&info, rows, 1);
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray data(reinterpret_cast<const char *>(buffer), qsizetype(size));
    std::free(buffer);
    return data;
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

Q_DECLARE_METATYPE(Samples)
Q_DECLARE_METATYPE(Outcome)

class TestPicture : public QObject {
    Q_OBJECT
private slots:
    void goodFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("tolerance");
        QTest::addColumn<Samples>("samples");
        const QRgb white = qRgb(255, 255, 255);
        const QRgb black = qRgb(0, 0, 0);
        const QRgb clear = qRgba(0, 0, 0, 0);
        const QSize bmp(127, 64);
        const QPoint a(5, 5), b(40, 5), c(70, 60), d(110, 30);
        const Samples pal8{{a, qRgb(255, 43, 51)}, {b, qRgb(51, 213, 51)}, {c, qRgb(51, 43, 0)}, {d, qRgb(153, 128, 153)}};
        const Samples rgb{{a, qRgb(235, 41, 41)}, {b, qRgb(66, 235, 66)}, {c, qRgb(49, 49, 12)}, {d, qRgb(129, 129, 143)}};
        QTest::newRow("1-bit bmp") << "pal1.bmp" << bmp << 0 << Samples{{a, black}, {b, white}, {c, black}, {d, white}};
        QTest::newRow("4-bit rle bmp") << "pal4rle.bmp" << bmp << 0
                                       << Samples{{a, qRgb(255, 0, 0)}, {b, qRgb(0, 255, 0)}, {c, black}, {d, qRgb(255, 128, 255)}};
        QTest::newRow("8-bit bmp") << "pal8.bmp" << bmp << 0 << pal8;
        QTest::newRow("os/2 bmp") << "pal8os2.bmp" << bmp << 0 << pal8;
        QTest::newRow("top-down bmp") << "pal8topdown.bmp" << bmp << 0 << pal8;
        QTest::newRow("16-bit bmp") << "rgb16-565.bmp" << bmp << 8 << rgb;
        QTest::newRow("24-bit bmp") << "rgb24.bmp" << bmp << 0 << rgb;
        QTest::newRow("32-bit bitfields bmp") << "rgb32bf.bmp" << bmp << 0 << rgb;
        QTest::newRow("pcx") << "pil184.pcx" << QSize(447, 144) << 0
                             << Samples{{{0, 0}, white}, {{88, 1}, black}, {{400, 140}, white}};
        QTest::newRow("pcx 4 planes") << "p_4_planes.pcx" << QSize(1, 1) << 0 << Samples{{{0, 0}, qRgb(255, 0, 0)}};
        QTest::newRow("gif") << "hopper.gif" << QSize(128, 128) << 0
                             << Samples{{{5, 2}, qRgb(25, 23, 56)}, {{64, 64}, qRgb(171, 79, 50)}, {{100, 20}, qRgb(74, 113, 182)}};
        QTest::newRow("transparent gif") << "transparent.gif" << QSize(200, 150) << 0
                                         << Samples{{{0, 0}, clear}, {{100, 75}, qRgb(134, 60, 60)}, {{150, 30}, qRgb(46, 123, 46)}};
        QTest::newRow("icon") << "hopper.ico" << QSize(16, 16) << 0
                              << Samples{{{0, 0}, qRgb(1, 1, 9)}, {{8, 8}, qRgb(196, 67, 35)}};
        QTest::newRow("256 icon") << "hopper_256x256.ico" << QSize(256, 256) << 0
                                  << Samples{{{0, 0}, qRgb(17, 19, 58)}, {{128, 128}, qRgb(197, 94, 35)}};
        QTest::newRow("jpeg") << "hopper.jpg" << QSize(128, 128) << 12
                              << Samples{{{5, 2}, qRgb(21, 24, 59)}, {{64, 64}, qRgb(173, 70, 55)}, {{100, 20}, qRgb(74, 113, 182)}};
        QTest::newRow("grey jpeg") << "hopper_gray.jpg" << QSize(128, 128) << 0
                                   << Samples{{{5, 2}, qRgb(27, 27, 27)}, {{64, 64}, qRgb(99, 99, 99)}, {{50, 90}, white}};
        QTest::newRow("cmyk jpeg") << "pil_sample_cmyk.jpg" << QSize(100, 100) << 40
                                   << Samples{{{5, 2}, qRgb(255, 13, 25)}, {{50, 90}, black}};
        QTest::newRow("wmf") << "drawing.wmf" << QSize(109, 109) << 0 << Samples{};
        QTest::newRow("wmf with text") << "Eg.wmf" << QSize(600, 299) << 0 << Samples{};
        QTest::newRow("wmf 2") << "ant.wmf" << QSize(211, 137) << 0 << Samples{};
        QTest::newRow("emf") << "drawing.emf" << QSize(109, 109) << 0 << Samples{};
        QTest::newRow("emf with text") << "test-001.emf" << QSize(623, 467) << 0 << Samples{};
        QTest::newRow("emf 2") << "test-010.emf" << QSize(54, 54) << 0 << Samples{};
    }
    void goodFiles()
    {
        QFETCH(QString, file);
        QFETCH(QSize, size);
        QFETCH(int, tolerance);
        QFETCH(Samples, samples);
        QString warning;
        const QImage image = loadPicture(goodFile(file), &warning);
        QCOMPARE(warning, QString());
        QCOMPARE(image.size(), size);
        QVERIFY(image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32_Premultiplied);
        for (const Sample &s : samples) {
            const QRgb actual = image.pixel(s.at);
            QVERIFY2(near(actual, s.colour, tolerance),
                     qPrintable(QStringLiteral("at %1,%2: %3, expected %4")
                                    .arg(s.at.x()).arg(s.at.y()).arg(describe(actual), describe(s.colour))));
        }
        if (samples.isEmpty()) { // a metafile: something opaque was drawn on the transparent ground
            int drawn = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    drawn += qAlpha(image.pixel(x, y)) > 0;
            QVERIFY2(drawn > image.width() * image.height() / 100, qPrintable(QString::number(drawn)));
        }
    }

    void badFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<Outcome>("outcome");
        QTest::newRow("emf the library refuses") << "bad_corrupted_2014-12-02-215338.emf" << Outcome::Failure;
        QTest::newRow("emf the library still converts") << "bad_corrupted_2016-02-02-210039.emf" << Outcome::Image;
        QTest::newRow("bmp bit count") << "badbitcount.bmp" << Outcome::Failure;
        QTest::newRow("bmp rle") << "badrle.bmp" << Outcome::Image;
        QTest::newRow("bmp width") << "badwidth.bmp" << Outcome::Failure;
        QTest::newRow("bmp enormous") << "reallybig.bmp" << Outcome::Failure;
        QTest::newRow("bmp cut off") << "shortfile.bmp" << Outcome::Partial;
        QTest::newRow("jpeg junk in header") << "junk_jpeg_header.jpg" << Outcome::Partial;
        QTest::newRow("jpeg cut off") << "truncated_jpeg.jpg" << Outcome::Partial;
        QTest::newRow("pcx fuzzed") << "ossfuzz-4836216264589312.pcx" << Outcome::Failure;
        QTest::newRow("gif zero width") << "zero_width.gif" << Outcome::Failure;
    }
    void badFiles()
    {
        QFETCH(QString, file);
        QFETCH(Outcome, outcome);
        const QString path = fixturePath(QStringLiteral("images/bad/") + file);
        QString warning;
        const QString error = errorOf(path, &warning);
        switch (outcome) {
        case Outcome::Failure:
            QVERIFY2(error.startsWith(QStringLiteral("Resim dosyası okunamadı: ") + path + QStringLiteral(" (")),
                     qPrintable(error));
            break;
        case Outcome::Partial:
            QCOMPARE(error, QString());
            QCOMPARE(warning, QStringLiteral("Resim dosyası bozuk, resmin bir bölümü eksik ya da hatalı olabilir: ") + path);
            QCOMPARE(errorOf(path), QStringLiteral("Resim dosyası okunamadı: %1 (dosya bozuk ya da eksik)").arg(path));
            break;
        case Outcome::Image:
            QCOMPARE(error, QString());
            QCOMPARE(warning, QString());
            break;
        }
    }

    void unknownExtension_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("error");
        QTest::newRow("tif") << "harita.tif" << "Unknown picture file extension (.tif)";
        QTest::newRow("case kept") << "harita.Tiff" << "Unknown picture file extension (.Tiff)";
        QTest::newRow("png") << "harita.png" << "Unknown picture file extension (.png)";
        QTest::newRow("last dot") << "harita.jpg.bak" << "Unknown picture file extension (.bak)";
        QTest::newRow("none") << "harita" << "Unknown picture file extension (.)";
        QTest::newRow("dot in folder only") << "veri.d/harita" << "Unknown picture file extension (.)";
        QTest::newRow("backslash folder") << "veri.jpg\\harita" << "Unknown picture file extension (.)";
        QTest::newRow("data folder itself") << "veri/" << "Unknown picture file extension (.)";
    }
    void unknownExtension()
    {
        QFETCH(QString, file);
        QFETCH(QString, error);
        QTemporaryDir dir;
        // The extension decides before the file is looked at: these files do not exist.
        QCOMPARE(errorOf(dir.filePath(file)), error);
    }

    void upperCaseExtension_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("copy");
        QTest::newRow("JPG") << "hopper.jpg" << "HOPPER.JPG";
        QTest::newRow("Jpeg") << "hopper.jpg" << "hopper.Jpeg";
        QTest::newRow("BMP") << "rgb24.bmp" << "RGB24.BMP";
        QTest::newRow("GIF") << "hopper.gif" << "H.GIF";
        QTest::newRow("ICO") << "hopper.ico" << "H.ICO";
        QTest::newRow("PCX") << "pil184.pcx" << "P.PCX";
        QTest::newRow("WMF") << "ant.wmf" << "A.WMF";
        QTest::newRow("EMF") << "test-010.emf" << "T.EmF";
    }
    void upperCaseExtension()
    {
        QFETCH(QString, source);
        QFETCH(QString, copy);
        QTemporaryDir dir;
        const QString path = writeFile(dir, copy, readAll(goodFile(source)));
        QCOMPARE(loadPicture(path).size(), loadPicture(goodFile(source)).size());
    }

    void unreadableFiles()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("yok.jpg"));
        QCOMPARE(errorOf(missing), QStringLiteral("Resim dosyası okunamadı: %1 (dosya bulunamadı)").arg(missing));
        const QString folder = dir.filePath(QStringLiteral("klasor.bmp"));
        QDir().mkdir(folder);
        QCOMPARE(errorOf(folder), QStringLiteral("Resim dosyası okunamadı: %1 (dosya açılamadı)").arg(folder));
        const QString empty = writeFile(dir, QStringLiteral("bos.jpg"), QByteArray());
        QCOMPARE(errorOf(empty), QStringLiteral("Resim dosyası okunamadı: %1 (dosya bozuk ya da eksik)").arg(empty));
    }

    // Each header claims far more than the file holds; the claim alone must be refused, before
    // any decoder allocates for it (under AddressSanitizer such an allocation aborts the test).
    void absurdDimensions_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("claim");
        QTest::newRow("bmp side") << "a.bmp" << bmpHeader(100000, 100000) << "100000 × 100000";
        QTest::newRow("bmp top-down side") << "a.bmp" << bmpHeader(100, -100000) << "100 × 100000";
        QTest::newRow("bmp pixels") << "a.bmp" << bmpHeader(30000, 30000) << "30000 × 30000";
        QTest::newRow("pcx side") << "a.pcx" << pcxHeader(65535, 65535, 8, 1, 65535) + QByteArray(64, '\1') << "65535 × 65535";
        QTest::newRow("pcx pixels") << "a.pcx" << pcxHeader(30000, 30000, 8, 1, 30000) + QByteArray(64, '\1') << "30000 × 30000";
        QTest::newRow("gif side") << "a.gif" << gifHeader(65535, 65535) << "65535 × 65535";
        QTest::newRow("gif pixels") << "a.gif" << gifHeader(30000, 30000) << "30000 × 30000";
        QTest::newRow("jpeg side") << "a.jpg" << jpegClaiming(65000, 65000) << "65000 × 65000";
        QTest::newRow("jpeg pixels") << "a.jpg" << jpegClaiming(30000, 30000) << "30000 × 30000";
        QTest::newRow("icon side") << "a.ico" << iconClaiming(100000, 100000) << "100000 × 100000";
    }
    void absurdDimensions()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, data);
        QFETCH(QString, claim);
        QTemporaryDir dir;
        const QString path = writeFile(dir, file, data);
        QCOMPARE(errorOf(path), QStringLiteral("Resim dosyası okunamadı: %1 (resim çok büyük: %2 piksel)").arg(path, claim));
    }

    // A file cut off part-way: formats that decode row by row give the rows they got, the rest
    // white, with a warning; the others refuse the file.
    void truncatedFiles_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QPoint>("white"); // a pixel not white in the whole picture
        QTest::newRow("jpeg") << "hopper.jpg" << Outcome::Partial << QPoint(-1, -1);
        QTest::newRow("bmp bottom-up") << "pal8.bmp" << Outcome::Partial << QPoint(70, 2);
        QTest::newRow("bmp top-down") << "pal8topdown.bmp" << Outcome::Partial << QPoint(70, 60);
        QTest::newRow("bmp 24-bit") << "rgb24.bmp" << Outcome::Partial << QPoint(40, 5);
        QTest::newRow("pcx") << "pil184.pcx" << Outcome::Partial << QPoint(2, 125);
        QTest::newRow("gif") << "hopper.gif" << Outcome::Partial << QPoint(-1, -1);
        QTest::newRow("icon") << "hopper_256x256.ico" << Outcome::Failure << QPoint(-1, -1);
        QTest::newRow("wmf") << "ant.wmf" << Outcome::Failure << QPoint(-1, -1);
        QTest::newRow("emf") << "test-001.emf" << Outcome::Failure << QPoint(-1, -1);
    }
    void truncatedFiles()
    {
        QFETCH(QString, source);
        QFETCH(Outcome, outcome);
        QFETCH(QPoint, white);
        const QByteArray whole = readAll(goodFile(source));
        QTemporaryDir dir;
        const QString path = writeFile(dir, source, whole.left(whole.size() * 6 / 10));
        QString warning;
        QImage image;
        try {
            image = loadPicture(path, &warning);
        } catch (const Error &e) {
            QCOMPARE(outcome, Outcome::Failure);
            QVERIFY2(e.text().startsWith(QStringLiteral("Resim dosyası okunamadı: ") + path), qPrintable(e.text()));
            return;
        }
        QCOMPARE(outcome, Outcome::Partial);
        QVERIFY(!warning.isEmpty());
        QCOMPARE(image.size(), loadPicture(goodFile(source)).size());
        if (white.x() >= 0) {
            QVERIFY(loadPicture(goodFile(source)).pixel(white) != qRgb(255, 255, 255));
            QCOMPARE(image.pixel(white), qRgb(255, 255, 255));
        }
        QVERIFY(!errorOf(path).isEmpty());
    }

    void cmykJpeg_data()
    {
        QTest::addColumn<bool>("adobe");
        QTest::newRow("adobe, inverted") << true;
        QTest::newRow("plain") << false;
    }
    void cmykJpeg()
    {
        QFETCH(bool, adobe);
        QTemporaryDir dir;
        const QImage image = loadPicture(writeFile(dir, QStringLiteral("c.jpg"), makeCmykJpeg(adobe)));
        QVERIFY2(near(image.pixel(2, 8), qRgb(255, 0, 0), 16), qPrintable(describe(image.pixel(2, 8))));
        QVERIFY2(near(image.pixel(13, 8), qRgb(0, 0, 255), 16), qPrintable(describe(image.pixel(13, 8))));
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
        QCOMPARE(errorOf(path), QStringLiteral("Resim dosyası okunamadı: %1 (%2)").arg(path, reason));
    }

    // A full-size sheet: 10000 x 8000, far over Qt's default allocation limit of 128 MB.
    void largeJpegSheet()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("pafta.jpg"));
        {
            QImage sheet(10000, 8000, QImage::Format_RGB32);
            for (int y = 0; y < sheet.height(); ++y) {
                auto *line = reinterpret_cast<QRgb *>(sheet.scanLine(y));
                for (int x = 0; x < sheet.width(); ++x)
                    line[x] = qRgb(x * 255 / 9999, y * 255 / 7999, 128);
            }
            QImageWriter writer(path, "jpg");
            writer.setQuality(85);
            QVERIFY(writer.write(sheet));
        }
        QString warning;
        const QImage image = loadPicture(path, &warning);
        QCOMPARE(warning, QString());
        QCOMPARE(image.size(), QSize(10000, 8000));
        for (const QPoint p : {QPoint(0, 0), QPoint(9999, 0), QPoint(5000, 4000), QPoint(9999, 7999)})
            QVERIFY2(near(image.pixel(p), qRgb(p.x() * 255 / 9999, p.y() * 255 / 7999, 128), 6),
                     qPrintable(describe(image.pixel(p))));
    }
};

QTEST_MAIN(TestPicture)
#include "test_picture.moc"
