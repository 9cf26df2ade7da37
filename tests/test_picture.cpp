#include "picturefiles.h"
#include "testsupport.h"

#include <QDir>
#include <QImageWriter>
#include <QTest>

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
        QTest::newRow("52-byte header bmp") << "rgb32h52.bmp" << bmp << 0 << rgb;
        QTest::newRow("os/2 2.x 16-byte header bmp") << "pal8os2v2-16.bmp" << bmp << 0 << pal8;
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
        QTest::newRow("wmf, box at negative coordinates") << "formula3.wmf" << QSize(656, 58) << 0 << Samples{};
        QTest::newRow("wmf without placeable header") << "p0000001.wmf" << QSize(768, 238) << 0 << Samples{};
        QTest::newRow("emf") << "drawing.emf" << QSize(1625, 1625) << 0 << Samples{};
        QTest::newRow("emf with text") << "test-001.emf" << QSize(563, 422) << 0 << Samples{};
        QTest::newRow("emf 2") << "test-010.emf" << QSize(53, 52) << 0 << Samples{};
    }
    void goodFiles()
    {
        QFETCH(QString, file);
        QFETCH(QSize, size);
        QFETCH(int, tolerance);
        QFETCH(Samples, samples);
        QString warning;
        QImage image;
        QCOMPARE(errorOf([&] { image = loadPicture(goodFile(file), &warning); }), QStringLiteral("<no error>"));
        QCOMPARE(warning, QString());
        QCOMPARE(image.size(), size);
        QVERIFY(image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32_Premultiplied);
        bool blank = image.width() * image.height() > 1;
        for (int y = 0; y < image.height() && blank; ++y)
            for (int x = 0; x < image.width() && blank; ++x)
                blank = image.pixel(x, y) == image.pixel(0, 0);
        QVERIFY2(!blank, "one colour throughout");
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

    // The same picture stored in other layouts decodes to exactly the same pixels.
    void bitmapLayoutsAlike_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("twin");
        QTest::newRow("os/2 1.x") << "pal8os2.bmp" << "pal8.bmp";
        QTest::newRow("os/2 2.x 16-byte header") << "pal8os2v2-16.bmp" << "pal8.bmp";
        QTest::newRow("top-down") << "pal8topdown.bmp" << "pal8.bmp";
        QTest::newRow("32-bit bit fields") << "rgb32bf.bmp" << "rgb24.bmp";
        QTest::newRow("52-byte header") << "rgb32h52.bmp" << "rgb24.bmp";
    }
    void bitmapLayoutsAlike()
    {
        QFETCH(QString, file);
        QFETCH(QString, twin);
        QCOMPARE(loadPicture(goodFile(file)), loadPicture(goodFile(twin)));
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
        const QString error = loadError(path, &warning);
        switch (outcome) {
        case Outcome::Failure:
            QVERIFY2(error.startsWith(QStringLiteral("Resim dosyası okunamadı: ") + path + QStringLiteral(" (")),
                     qPrintable(error));
            break;
        case Outcome::Partial:
            QCOMPARE(error, QStringLiteral("<no error>"));
            QCOMPARE(warning, QStringLiteral("Resim dosyası bozuk, resmin bir bölümü eksik ya da hatalı olabilir: ") + path);
            QCOMPARE(loadError(path), QStringLiteral("Resim dosyası okunamadı: %1 (dosya bozuk ya da eksik)").arg(path));
            break;
        case Outcome::Image:
            QCOMPARE(error, QStringLiteral("<no error>"));
            QCOMPARE(warning, QString());
            break;
        }
    }

    void unknownExtension_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("error");
        QTest::newRow("webp") << "harita.webp" << "Unknown picture file extension (.webp)";
        QTest::newRow("case kept") << "harita.Tga" << "Unknown picture file extension (.Tga)";
        QTest::newRow("j2k") << "harita.j2k" << "Unknown picture file extension (.j2k)";
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
        QCOMPARE(loadError(dir.filePath(file)), error);
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
        QCOMPARE(loadError(missing), QStringLiteral("Resim dosyası okunamadı: %1 (dosya bulunamadı)").arg(missing));
        const QString folder = dir.filePath(QStringLiteral("klasor.bmp"));
        QDir().mkdir(folder);
        QCOMPARE(loadError(folder), QStringLiteral("Resim dosyası okunamadı: %1 (dosya açılamadı)").arg(folder));
        const QString empty = writeFile(dir, QStringLiteral("bos.jpg"), QByteArray());
        QCOMPARE(loadError(empty), QStringLiteral("Resim dosyası okunamadı: %1 (dosya bozuk ya da eksik)").arg(empty));
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
        QByteArray wmf = readAll(goodFile(QStringLiteral("drawing.wmf")));
        le16(wmf, 14, 1); // one unit to the inch: 1369 units become 1369 inches
        QTest::newRow("wmf") << "a.wmf" << wmf << "131424 × 131424";
        QByteArray emf = readAll(goodFile(QStringLiteral("test-010.emf")));
        le32(emf, 8, 0); // bounds of 377952 pixels a side
        le32(emf, 12, 0);
        le32(emf, 16, 377952);
        le32(emf, 20, 377952);
        QTest::newRow("emf") << "a.emf" << emf << "377952 × 377952";
    }
    void absurdDimensions()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, data);
        QFETCH(QString, claim);
        QTemporaryDir dir;
        const QString path = writeFile(dir, file, data);
        QCOMPARE(loadError(path), QStringLiteral("Resim dosyası okunamadı: %1 (resim çok büyük: %2 piksel)").arg(path, claim));
    }

    // A small file whose header claims a picture within the limits but far more than the file
    // could hold at its format's best compression: refused before anything is decoded.
    void claimsBeyondFile_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("claim");
        QTest::newRow("progressive jpeg") << "a.jpg" << jpegClaiming(20000, 20000, true) << "20000 × 20000";
        QTest::newRow("baseline jpeg") << "a.jpg" << jpegClaiming(20000, 19000) << "20000 × 19000";
        QTest::newRow("pcx") << "a.pcx" << pcxHeader(40000, 10000, 1, 1, 5000) + QByteArray(1300, '\xff') << "40000 × 10000";
        QByteArray rle = bmpHeader(20000, 20000);
        le16(rle, 28, 8);
        le32(rle, 30, 1);
        QTest::newRow("bmp rle") << "a.bmp" << rle << "20000 × 20000";
        QTest::newRow("bmp") << "a.bmp" << bmpHeader(2000, 1000) << "2000 × 1000";
        QTest::newRow("gif") << "a.gif" << gifHeader(16000, 16000) << "16000 × 16000";
        QTest::newRow("icon") << "a.ico" << iconClaiming(10000, 10000) << "10000 × 10000";
        QTest::newRow("png icon") << "a.ico" << pngIconClaiming(15000, 15000) << "15000 × 15000";
    }
    void claimsBeyondFile()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, data);
        QFETCH(QString, claim);
        QTemporaryDir dir;
        const QString path = writeFile(dir, file, data);
        QCOMPARE(loadError(path),
                 QStringLiteral("Resim dosyası okunamadı: %1 (dosya, %2 piksellik bir resim için çok küçük)").arg(path, claim));
    }

    // A file cut off part-way: formats that decode row by row give the rows they got, the rest
    // white, with a warning; the others refuse the file.
    void truncatedFiles_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QPoint>("white"); // in the part cut off, and not white in the whole picture
        QTest::newRow("jpeg") << "hopper.jpg" << Outcome::Partial << QPoint(-1, -1);
        QTest::newRow("bmp bottom-up") << "pal8.bmp" << Outcome::Partial << QPoint(70, 2);
        QTest::newRow("bmp top-down") << "pal8topdown.bmp" << Outcome::Partial << QPoint(70, 60);
        QTest::newRow("bmp 24-bit") << "rgb24.bmp" << Outcome::Partial << QPoint(40, 5);
        QTest::newRow("bmp rle4") << "pal4rle.bmp" << Outcome::Partial << QPoint(40, 5);
        QTest::newRow("pcx") << "pil184.pcx" << Outcome::Partial << QPoint(2, 125);
        QTest::newRow("gif") << "hopper.gif" << Outcome::Partial << QPoint(-1, -1);
        QTest::newRow("icon") << "hopper_256x256.ico" << Outcome::Partial << QPoint(128, 2);
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
        QCOMPARE(loadError(path), QStringLiteral("Resim dosyası okunamadı: %1 (dosya bozuk ya da eksik)").arg(path));
    }

    // Qt's readers refuse by default anything over 128 MB, as this bitmap's 135 MB in RGB32.
    void largeBitmap()
    {
        const int side = 5800;
        QByteArray data = bmpHeader(side, side).left(54) + QByteArray(qsizetype(side) * side * 3, '\x80');
        le32(data, 2, data.size());
        QTemporaryDir dir;
        QString warning;
        const QImage image = loadPicture(writeFile(dir, QStringLiteral("genel.bmp"), data), &warning);
        QCOMPARE(warning, QString());
        QCOMPARE(image.size(), QSize(side, side));
        QCOMPARE(image.pixel(side - 1, side - 1), qRgb(128, 128, 128));
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

    // The memory of a released sheet is used again for the next one of its size: what a damaged
    // sheet leaves undecoded must come out white, not as the previous sheet.
    void damagedSheetAfterAnother()
    {
        const int width = 8000;
        const int height = 6000;
        const auto pcxSheet = [&](QRgb colour) { // 24-bit, one colour, in runs of 63
            QByteArray row;
            for (const int value : {qRed(colour), qGreen(colour), qBlue(colour)})
                for (int left = width; left > 0; left -= 63) {
                    row += char(0xc0 | qMin(left, 63));
                    row += char(value);
                }
            return pcxHeader(width, height, 8, 3, width) + row.repeated(height);
        };
        QTemporaryDir dir;
        const QString green = writeFile(dir, QStringLiteral("a.pcx"), pcxSheet(qRgb(20, 90, 40)));
        const QString cut = writeFile(dir, QStringLiteral("b.pcx"), pcxSheet(qRgb(200, 30, 30)).left(3000000));
        QCOMPARE(loadPicture(green).pixel(width - 1, height - 1), qRgb(20, 90, 40));
        QString warning;
        const QImage damaged = loadPicture(cut, &warning);
        QVERIFY(!warning.isEmpty());
        QCOMPARE(damaged.pixel(0, 0), qRgb(200, 30, 30));
        QCOMPARE(damaged.pixel(width - 1, height - 1), qRgb(255, 255, 255));
    }
};

QTEST_MAIN(TestPicture)
#include "test_picture.moc"