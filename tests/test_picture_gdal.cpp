#include "picturefiles.h"
#include "testsupport.h"

#include <QTest>

#include <gdal.h>

// TIFF, PNG and JPEG 2000 files are made here with GDAL from a four-coloured picture whose
// width and height are not multiples of any strip or tile size.

namespace {

// Bits: one-bit samples, 0 black; WhiteBits: the same samples in a file that says 0 is white.
enum class Kind { Rgb, Grey, Palette, Bits, WhiteBits };

constexpr int Width = 301;
constexpr int Height = 203;

// The picture's four quarters, and the colour each holds in each kind of file.
const QRgb Quarters[4] = {qRgb(200, 30, 30), qRgb(30, 160, 60), qRgb(40, 60, 200), qRgb(240, 240, 220)};

int quarterAt(int x, int y)
{
    return (x >= Width / 2 ? 1 : 0) + (y >= Height / 2 ? 2 : 0);
}

QRgb expected(Kind kind, int quarter)
{
    const QRgb c = Quarters[quarter];
    switch (kind) {
    case Kind::Rgb:
    case Kind::Palette:
        return c;
    case Kind::Grey:
        return qRgb(qGray(c), qGray(c), qGray(c));
    case Kind::Bits:
        return quarter == 3 ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
    case Kind::WhiteBits:
        return quarter == 3 ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
    }
    return 0;
}

// Writes the picture in kind's bands with driver and its creation options, as GDAL itself would.
void writePicture(const QString &path, const char *driver, Kind kind, const QStringList &options)
{
    const int bands = kind == Kind::Rgb ? 3 : 1;
    GDALDatasetH memory = GDALCreate(GDALGetDriverByName("MEM"), "", Width, Height, bands, GDT_Byte, nullptr);
    QByteArray samples(Width * Height, 0);
    for (int band = 0; band < bands; ++band) {
        for (int y = 0; y < Height; ++y) {
            for (int x = 0; x < Width; ++x) {
                const int q = quarterAt(x, y);
                const QRgb c = Quarters[q];
                uchar value = 0;
                if (kind == Kind::Rgb)
                    value = uchar(band == 0 ? qRed(c) : band == 1 ? qGreen(c) : qBlue(c));
                else if (kind == Kind::Grey)
                    value = uchar(qGray(c));
                else
                    value = uchar(kind == Kind::Palette ? q : q == 3);
                samples[y * Width + x] = char(value);
            }
        }
        QCOMPARE(GDALRasterIO(GDALGetRasterBand(memory, band + 1), GF_Write, 0, 0, Width, Height, samples.data(),
                              Width, Height, GDT_Byte, 0, 0),
                 CE_None);
    }
    if (kind == Kind::Palette) {
        GDALColorTableH palette = GDALCreateColorTable(GPI_RGB);
        for (int i = 0; i < 4; ++i) {
            const GDALColorEntry entry{short(qRed(Quarters[i])), short(qGreen(Quarters[i])), short(qBlue(Quarters[i])),
                                       255};
            GDALSetColorEntry(palette, i, &entry);
        }
        GDALSetRasterColorTable(GDALGetRasterBand(memory, 1), palette);
        GDALDestroyColorTable(palette);
    }
    QList<QByteArray> texts;
    for (const QString &option : options)
        texts.append(option.toUtf8());
    QList<char *> list;
    for (QByteArray &text : texts)
        list.append(text.data());
    list.append(nullptr);
    GDALDatasetH file = GDALCreateCopy(GDALGetDriverByName(driver), path.toUtf8().constData(), memory, FALSE,
                                       list.data(), nullptr, nullptr);
    QVERIFY2(file, qPrintable(path));
    GDALClose(file);
    GDALClose(memory);
}

// A little-endian TIFF header and first IFD claiming width × height grey pixels of bits each,
// with compression, and a strip of 16 bytes at its end.
QByteArray tiffClaiming(quint32 width, quint32 height, int compression, quint32 bits = 8)
{
    const QList<std::pair<int, quint32>> tags = {{256, width}, {257, height}, {258, bits}, {259, quint32(compression)},
                                                 {262, 1},     {273, 0},      {277, 1}, {278, height},
                                                 {279, 16}};
    const int ifdSize = 2 + 12 * int(tags.size()) + 4;
    QByteArray data(8 + ifdSize + 16, 0);
    data[0] = 'I';
    data[1] = 'I';
    le16(data, 2, 42);
    le32(data, 4, 8);
    le16(data, 8, int(tags.size()));
    int at = 10;
    for (const auto &[tag, value] : tags) {
        const bool isShort = tag == 258 || tag == 259 || tag == 262 || tag == 277;
        le16(data, at, tag);
        le16(data, at + 2, isShort ? 3 : 4);
        le32(data, at + 4, 1);
        le32(data, at + 8, tag == 273 ? 8 + ifdSize : value);
        at += 12;
    }
    return data;
}

QString cannotRead(const QString &path, const QString &reason)
{
    return QStringLiteral("Resim dosyası okunamadı: %1 (%2").arg(path, reason);
}

} // namespace

Q_DECLARE_METATYPE(Kind)

class TestPictureGdal : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { GDALAllRegister(); }

    void formats_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<int>("tolerance");
        const QString gtiff = QStringLiteral("GTiff");
        QTest::newRow("tiff strips, uncompressed, rgb")
            << "strips.tif" << gtiff << QStringList{"BLOCKYSIZE=7"} << Kind::Rgb << 0;
        QTest::newRow("tiff pixel-interleaved tiles, lzw, rgb, upper-case name")
            << "TILES.TIF" << gtiff << QStringList{"TILED=YES", "BLOCKXSIZE=64", "BLOCKYSIZE=32", "COMPRESS=LZW"}
            << Kind::Rgb << 0;
        QTest::newRow("tiff band-separate tiles, deflate, rgb")
            << "planes.tiff" << gtiff << QStringList{"TILED=YES", "INTERLEAVE=BAND", "COMPRESS=DEFLATE"} << Kind::Rgb
            << 0;
        QTest::newRow("bigtiff, deflate, grey")
            << "big.tiff" << gtiff << QStringList{"BIGTIFF=YES", "COMPRESS=DEFLATE"} << Kind::Grey << 0;
        QTest::newRow("tiff packbits, palette") << "palette.tif" << gtiff << QStringList{"COMPRESS=PACKBITS"}
                                                << Kind::Palette << 0;
        QTest::newRow("tiff jpeg, ycbcr") << "jpeg.tif" << gtiff << QStringList{"COMPRESS=JPEG", "PHOTOMETRIC=YCBCR"}
                                          << Kind::Rgb << 12;
        QTest::newRow("tiff jpeg tiles, grey")
            << "jpeggrey.tif" << gtiff << QStringList{"COMPRESS=JPEG", "TILED=YES"} << Kind::Grey << 8;
        QTest::newRow("tiff 1-bit, uncompressed") << "bits.tif" << gtiff << QStringList{"NBITS=1"} << Kind::Bits << 0;
        QTest::newRow("tiff 1-bit, fax group 4")
            << "fax.tif" << gtiff << QStringList{"NBITS=1", "COMPRESS=CCITTFAX4"} << Kind::Bits << 0;
        QTest::newRow("tiff 1-bit, min-is-white")
            << "white.tif" << gtiff << QStringList{"NBITS=1", "PHOTOMETRIC=MINISWHITE"} << Kind::WhiteBits << 0;
        QTest::newRow("png rgb") << "rgb.png" << "PNG" << QStringList{} << Kind::Rgb << 0;
        QTest::newRow("png grey") << "grey.Png" << "PNG" << QStringList{} << Kind::Grey << 0;
        QTest::newRow("png palette") << "palette.png" << "PNG" << QStringList{} << Kind::Palette << 0;
        QTest::newRow("png 1-bit") << "bits.png" << "PNG" << QStringList{"NBITS=1"} << Kind::Bits << 0;
        QTest::newRow("jpeg 2000 rgb, lossless")
            << "rgb.jp2" << "JP2OpenJPEG" << QStringList{"REVERSIBLE=YES", "QUALITY=100"} << Kind::Rgb << 0;
        QTest::newRow("jpeg 2000 grey, tiles")
            << "grey.JP2" << "JP2OpenJPEG" << QStringList{"BLOCKXSIZE=128", "BLOCKYSIZE=64"} << Kind::Grey << 6;
    }
    void formats()
    {
        QFETCH(QString, file);
        QFETCH(QString, driver);
        QFETCH(QStringList, options);
        QFETCH(Kind, kind);
        QFETCH(int, tolerance);
        QTemporaryDir dir;
        const QString path = dir.filePath(file);
        writePicture(path, driver.toLatin1().constData(), kind, options);
        QString warning;
        QImage image;
        QCOMPARE(errorOf([&] { image = loadPicture(path, &warning); }), QStringLiteral("<no error>"));
        QCOMPARE(warning, QString());
        QCOMPARE(image.size(), QSize(Width, Height));
        QCOMPARE(image.format(), QImage::Format_RGB32);
        // Each quarter's middle and its corners, the last pixel of the last partial strip or tile included.
        const QList<QPoint> points = {{Width / 4, Height / 4}, {3 * Width / 4, Height / 4}, {Width / 4, 3 * Height / 4},
                                      {3 * Width / 4, 3 * Height / 4}, {0, 0}, {Width - 1, 0}, {0, Height - 1},
                                      {Width - 1, Height - 1}};
        for (const QPoint &p : points) {
            const QRgb want = expected(kind, quarterAt(p.x(), p.y()));
            QVERIFY2(near(image.pixel(p), want, tolerance),
                     qPrintable(QStringLiteral("at %1,%2: %3, not %4")
                                    .arg(p.x()).arg(p.y()).arg(describe(image.pixel(p)), describe(want))));
        }
    }

    void refused_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("reason"); // the message after "Resim dosyası okunamadı: <path> ("
        QImage picture(64, 64, QImage::Format_RGB32);
        picture.fill(qRgb(10, 20, 30));
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "JPEG");
        QTest::newRow("a jpeg named .tif") << "jpeg.tif" << jpeg << "dosya bir TIFF resmi değil ya da bozuk)";
        QTest::newRow("junk named .tiff") << "junk.tiff" << QByteArray(5000, 'x')
                                          << "dosya bir TIFF resmi değil ya da bozuk)";
        QTest::newRow("a tiff named .png") << "tiff.png" << tiffClaiming(4, 4, 1)
                                           << "dosya bir PNG resmi değil ya da bozuk)";
        QTest::newRow("empty .jp2") << "empty.jp2" << QByteArray() << "dosya bir JPEG 2000 resmi değil ya da bozuk";
        QTest::newRow("huge claim, uncompressed")
            << "claim.tif" << tiffClaiming(40000, 10000, 1) << "dosya, 40000 × 10000 piksellik bir resim için çok küçük)";
        QTest::newRow("over the side limit, deflate")
            << "side.tif" << tiffClaiming(40001, 100, 8) << "resim çok büyük: 40001 × 100 piksel)";
        QTest::newRow("over the pixel limit, lzw")
            << "pixels.tif" << tiffClaiming(30000, 30000, 5) << "resim çok büyük: 30000 × 30000 piksel)";
        // libpng reads a small file's whole compressed data at once.
        QTemporaryDir dir;
        const QString png = dir.filePath(QStringLiteral("whole.png"));
        writePicture(png, "PNG", Kind::Rgb, {});
        QTest::newRow("small png cut short") << "cut.png" << readAll(png).chopped(100)
                                             << "dosya bozuk ya da eksik; GDAL: libpng: Read Error)";
        QTest::newRow("16-bit grey") << "deep.tif" << tiffClaiming(4, 2, 1, 16) << "desteklenmeyen piksel türü: UInt16)";
        QTest::newRow("no pixels") << "zero.tif" << tiffClaiming(0, 10, 1) << "dosya bir TIFF resmi değil ya da bozuk";
    }
    void refused()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, data);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = writeFile(dir, file, data);
        const QString error = loadError(path);
        QVERIFY2(error.startsWith(cannotRead(path, reason)), qPrintable(error));
    }

    // A file cut short is shown as far as it goes, the rest white; without a warning to give, it is refused.
    void truncated_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("options");
        QTest::newRow("strips, uncompressed") << "cut.tif" << QStringList{"BLOCKYSIZE=8"};
        QTest::newRow("tiles, deflate") << "cut.tif" << QStringList{"TILED=YES", "BLOCKXSIZE=64", "BLOCKYSIZE=32",
                                                                    "COMPRESS=DEFLATE"};
    }
    void truncated()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, options);
        QTemporaryDir dir;
        const QString whole = dir.filePath(QStringLiteral("whole.tif"));
        writePicture(whole, "GTiff", Kind::Rgb, options);
        QByteArray data = readAll(whole);
        data.chop(data.size() / 3);
        const QString path = writeFile(dir, file, data);
        QString warning;
        QImage image;
        QCOMPARE(errorOf([&] { image = loadPicture(path, &warning); }), QStringLiteral("<no error>"));
        QCOMPARE(warning, QStringLiteral("Resim dosyası bozuk, resmin bir bölümü eksik ya da hatalı olabilir: ") + path);
        QCOMPARE(image.size(), QSize(Width, Height));
        QVERIFY(near(image.pixel(0, 0), Quarters[0], 0));
        QCOMPARE(image.pixel(Width - 1, Height - 1), qRgb(255, 255, 255));
        QCOMPARE(loadError(path), QStringLiteral("Resim dosyası okunamadı: %1 (dosya bozuk ya da eksik)").arg(path));
    }
};

QTEST_MAIN(TestPictureGdal)
#include "test_picture_gdal.moc"
