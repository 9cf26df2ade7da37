// Sheets read in windows and levels, the tile cache, the sheet layer and sheet neighbours.
#include "framework/picture_decoders.h"
#include "map/sheetlayer.h"
#include "map/sheetneighbours.h"
#include "map/sheetsource.h"
#include "map/tilecache.h"
#include "picturefiles.h"

#include <QPainter>
#include <QSignalSpy>
#include <QtTest>

#include <gdal.h>

namespace {

// Smooth shading with sharp lines: scaled decodes stay comparable, misplaced pixels show.
QImage drawSheet(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = qRgb(x * 255 / size.width(), y * 255 / size.height(), (x + y) % 256 < 128 ? 60 : 200);
    }
    QPainter painter(&image);
    painter.setPen(QPen(Qt::black, 3));
    for (int x = 0; x < size.width(); x += 97)
        painter.drawLine(x, 0, x, size.height());
    return image;
}

QString writeJpeg(const QTemporaryDir &dir, const QString &name, const QImage &image)
{
    const QString path = dir.filePath(name);
    QImageWriter writer(path, "jpg");
    writer.setQuality(95);
    writer.write(image);
    return path;
}

// A tiled RGB TIFF through GDAL, as large scans are stored.
QString writeTiledTiff(const QTemporaryDir &dir, const QString &name, const QImage &image)
{
    GDALAllRegister();
    const QString path = dir.filePath(name);
    const char *options[] = {"TILED=YES", "BLOCKXSIZE=256", "BLOCKYSIZE=256", "COMPRESS=DEFLATE", nullptr};
    GDALDatasetH dataset = GDALCreate(GDALGetDriverByName("GTiff"), QFile::encodeName(path).constData(),
                                      image.width(), image.height(), 3, GDT_Byte, const_cast<char **>(options));
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    int bands[3] = {1, 2, 3};
    const CPLErr written = GDALDatasetRasterIO(dataset, GF_Write, 0, 0, rgb.width(), rgb.height(), const_cast<uchar *>(rgb.constBits()),
                        rgb.width(), rgb.height(), GDT_Byte, 3, bands, 3, int(rgb.bytesPerLine()), 1);
    GDALClose(dataset);
    if (written != CE_None)
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// Largest channel difference, and mean over the pixels.
std::pair<int, double> difference(const QImage &a, const QImage &b)
{
    int most = 0;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            const int d = qMax(qMax(qAbs(qRed(p) - qRed(q)), qAbs(qGreen(p) - qGreen(q))), qAbs(qBlue(p) - qBlue(q)));
            most = qMax(most, d);
            sum += d;
        }
    return {most, sum / (double(a.width()) * a.height())};
}

// The mean of each 2^level square of pixels (cut at the picture's edge).
QImage boxReduced(const QImage &image, int level)
{
    const int step = 1 << level;
    QImage reduced((image.width() + step - 1) / step, (image.height() + step - 1) / step, QImage::Format_RGB32);
    for (int y = 0; y < reduced.height(); ++y)
        for (int x = 0; x < reduced.width(); ++x) {
            int r = 0, g = 0, b = 0, n = 0;
            for (int v = y * step; v < qMin((y + 1) * step, image.height()); ++v)
                for (int u = x * step; u < qMin((x + 1) * step, image.width()); ++u, ++n) {
                    const QRgb p = image.pixel(u, v);
                    r += qRed(p);
                    g += qGreen(p);
                    b += qBlue(p);
                }
            reduced.setPixel(x, y, qRgb(r / n, g / n, b / n));
        }
    return reduced;
}

QByteArray truncated(const QString &path, double keep)
{
    const QByteArray data = readAll(path);
    return data.left(qsizetype(data.size() * keep));
}

} // namespace

class TestSheetPixels : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void windows_data();
    void windows();
    void refused_data();
    void refused();
    void cacheStaysWithinBudget();
    void neighbours_data();
    void neighbours();
    void layerShowsTilesAndCoarserLevels();
    void tilesLeaveWithTheirSheet();
    void damage();

private:
    QTemporaryDir m_dir;
    QImage m_image;
    QString m_jpeg;
    QString m_tiff;
};

void TestSheetPixels::initTestCase()
{
    m_image = drawSheet(QSize(1500, 1100));
    m_jpeg = writeJpeg(m_dir, QStringLiteral("pafta.jpg"), m_image);
    m_tiff = writeTiledTiff(m_dir, QStringLiteral("pafta.tif"), m_image);
}

void TestSheetPixels::windows_data()
{
    QTest::addColumn<bool>("jpeg");
    QTest::addColumn<int>("level");
    QTest::addColumn<QRect>("window");
    // Windows at odd places, across block edges and past the picture's edge (white there).
    const QRect windows[] = {QRect(0, 0, 512, 512), QRect(333, 517, 700, 290), QRect(1200, 900, 512, 512)};
    for (bool jpeg : {true, false})
        for (int level = 0; level <= 3; ++level)
            for (const QRect &full : windows) {
                const QRect window(full.topLeft() / (1 << level), full.size());
                QTest::addRow("%s level %d at %d,%d", jpeg ? "jpeg" : "tiff", level, window.x(), window.y())
                    << jpeg << level << window;
            }
}

// A window equals the same part of the whole level; level 0 equals the whole decode, and a
// reduced level the whole decode reduced (within the filters' differences).
void TestSheetPixels::windows()
{
    QFETCH(bool, jpeg);
    QFETCH(int, level);
    QFETCH(QRect, window);
    const auto source = SheetSource::open(jpeg ? m_jpeg : m_tiff);
    QVERIFY(!source->windowed()); // small: shown whole, but it reads windows all the same
    QString warning;
    const QSize levelSize((1500 + (1 << level) - 1) >> level, (1100 + (1 << level) - 1) >> level);
    const QImage level0 = source->read(level, QRect(QPoint(0, 0), levelSize), &warning);
    QCOMPARE(level0.size(), levelSize);
    const QImage part = source->read(level, window, &warning);
    QCOMPARE(warning, QString());
    QCOMPARE(part.size(), window.size());
    QImage expected(window.size(), QImage::Format_RGB32);
    expected.fill(Qt::white);
    QPainter(&expected).drawImage(QPoint(0, 0), level0, window);
    QCOMPARE(difference(part, expected).first, 0);

    const QImage whole = loadPicture(jpeg ? m_jpeg : m_tiff);
    const auto [most, mean] = difference(level0, boxReduced(whole, level));
    if (level == 0) {
        QCOMPARE(most, 0);
    } else {
        // JPEG reduces in its DCT, colour at its own sampling; GDAL averages, rounding.
        QVERIFY2(mean < 2, qPrintable(QStringLiteral("mean %1").arg(mean)));
        QVERIFY2(most <= (jpeg ? 48 : 1), qPrintable(QStringLiteral("most %1").arg(most)));
    }
}

void TestSheetPixels::refused_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("reason");
    QTest::newRow("past libjpeg's side") << 65535 << 1000 << QStringLiteral("resim çok büyük: 65535 × 1000 piksel");
    QTest::newRow("past the pixel cap") << 65500 << 40000 << QStringLiteral("resim çok büyük: 65500 × 40000 piksel");
    QTest::newRow("more than the file holds")
        << 40000 << 30000 << QStringLiteral("dosya, 40000 × 30000 piksellik bir resim için çok küçük");
}

// A header claiming a huge picture in a small file is refused before anything is decoded.
void TestSheetPixels::refused()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QString, reason);
    QByteArray data = readAll(m_jpeg);
    const qsizetype sof = data.indexOf(QByteArray("\xff\xc0", 2));
    QVERIFY(sof > 0);
    qToBigEndian<quint16>(quint16(height), data.data() + sof + 5);
    qToBigEndian<quint16>(quint16(width), data.data() + sof + 7);
    const QString path = writeFile(m_dir, QStringLiteral("iddia.jpg"), data);
    const QString error = errorOf([&] { jpegFileSize(path); });
    QVERIFY2(error.contains(reason), qPrintable(error));
    SheetLayer layer(QStringLiteral("Image1"), nullptr);
    QVERIFY(errorOf([&] { layer.setSheet(path, nullptr); }).startsWith(QStringLiteral("Resim dosyası okunamadı")));
}

void TestSheetPixels::cacheStaysWithinBudget()
{
    TileCache &cache = TileCache::instance();
    const qint64 before = cache.budget();
    cache.setBudget(4 * 1024 * 1024);
    QImage tile(512, 512, QImage::Format_RGB32); // 1 MB
    for (int i = 0; i < 10; ++i) {
        cache.insert(TileCache::Key{999999, 0, i, 0}, tile.copy());
        QVERIFY(!cache.find(TileCache::Key{999999, 0, 0, 0}).isNull()); // used again and again: kept
        QVERIFY(cache.bytes() <= cache.budget());
    }
    QVERIFY(cache.find(TileCache::Key{999999, 0, 1, 0}).isNull());
    QVERIFY(!cache.find(TileCache::Key{999999, 0, 9, 0}).isNull());
    cache.setBudget(before);
}

void TestSheetPixels::neighbours_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QList<int>>("expected");
    // A 3 × 2 grid of 100 × 80 sheets, and one apart.
    QTest::newRow("corner") << 0 << QList<int>{1, 3, 4};
    QTest::newRow("middle of the top row") << 1 << QList<int>{0, 2, 3, 4, 5};
    QTest::newRow("bottom right") << 5 << QList<int>{1, 2, 4};
    QTest::newRow("apart") << 6 << QList<int>{};
    QTest::newRow("no such sheet") << 7 << QList<int>{};
}

void TestSheetPixels::neighbours()
{
    QFETCH(int, index);
    QFETCH(QList<int>, expected);
    std::vector<paftarec> sheets;
    for (int i = 0; i < 6; ++i)
        sheets.push_back(paftarec{QString::number(i), QString(), 100, 80, i % 3 * 100, i / 3 * 80});
    sheets.push_back(paftarec{QStringLiteral("6"), QString(), 100, 80, 301, 161});
    QCOMPARE(sheetNeighbours(sheets, index), expected);
}

// A sheet past the whole-decode size is painted from tiles, a coarser level standing in
// first, and at 100 % shows exactly the whole decode.
void TestSheetPixels::layerShowsTilesAndCoarserLevels()
{
    const QImage big = drawSheet(QSize(4200, 4000));
    const QString path = writeJpeg(m_dir, QStringLiteral("buyuk.jpg"), big);
    QWidget view;
    view.resize(900, 700);
    SheetLayer layer(QStringLiteral("Image1"), &view);
    layer.move(-1800, -1700);
    layer.prefetch({path});
    TileCache::instance().waitForIdle();
    QString warning;
    layer.setSheet(path, &warning);
    QCOMPARE(warning, QString());
    QCOMPARE(layer.pictureSize(), QSize(4200, 4000));
    layer.resize(layer.pictureSize());
    const QImage whole = loadPicture(path);
    const QRect seen(1800, 1700, 900, 700);
    QImage first(seen.size(), QImage::Format_RGB32);
    layer.render(&first, QPoint(), QRegion(seen));
    QVERIFY(difference(first, whole.copy(seen)).second < 6); // the prefetched view, or level 3 scaled up
    TileCache::instance().waitForIdle();
    QImage shown(seen.size(), QImage::Format_RGB32);
    layer.render(&shown, QPoint(), QRegion(seen));
    QCOMPARE(difference(shown, whole.copy(seen)).first, 0);
    QCOMPARE(layer.picture(), whole);

    layer.setZoom(0.125);
    TileCache::instance().waitForIdle();
    QImage reduced(525, 500, QImage::Format_RGB32);
    layer.render(&reduced, QPoint(), QRegion(0, 0, 525, 500));
    QVERIFY(difference(reduced, whole.scaled(525, 500, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)).second < 4);
}

// Switching on keeps the tiles of the sheets shown and prefetched, and of no other.
void TestSheetPixels::tilesLeaveWithTheirSheet()
{
    QImage plain(4200, 4000, QImage::Format_RGB32);
    plain.fill(Qt::white);
    const QString a = writeJpeg(m_dir, QStringLiteral("a.jpg"), plain);
    const QString b = writeJpeg(m_dir, QStringLiteral("b.jpg"), plain);
    const QString c = writeJpeg(m_dir, QStringLiteral("c.jpg"), plain);
    QWidget view;
    view.resize(600, 400);
    TileCache &cache = TileCache::instance();
    const qint64 others = cache.bytes();
    // b shown, c prefetched; with a looked at first or not.
    const auto bytesAfter = [&](const QStringList &sheets) {
        SheetLayer layer(QStringLiteral("Image1"), &view);
        for (qsizetype i = 0; i + 1 < sheets.size(); ++i) {
            layer.prefetch({sheets[i]});
            cache.waitForIdle();
            QString warning;
            layer.setSheet(sheets[i], &warning);
            layer.resize(layer.pictureSize());
            QImage screen(view.size(), QImage::Format_RGB32);
            layer.render(&screen, QPoint(), QRegion(view.rect()));
            cache.waitForIdle();
        }
        layer.prefetch({sheets.last()});
        cache.waitForIdle();
        const qint64 bytes = cache.bytes() - others;
        layer.clear();
        return bytes;
    };
    const qint64 expected = bytesAfter({b, c});
    QVERIFY(expected > 0);
    QCOMPARE(cache.bytes(), others);
    QCOMPARE(bytesAfter({a, b, c}), expected);
    QCOMPARE(cache.bytes(), others);
}

// A damaged small sheet says so at once; a damaged large one when its tiles arrive, once.
void TestSheetPixels::damage()
{
    const QString small = writeFile(m_dir, QStringLiteral("kirik.jpg"), truncated(m_jpeg, 0.6));
    SheetLayer layer(QStringLiteral("Image1"), nullptr);
    QString warning;
    layer.setSheet(small, &warning);
    QVERIFY(warning.startsWith(QStringLiteral("Resim dosyası bozuk")));

    const QString bigFile = writeJpeg(m_dir, QStringLiteral("buyuk2.jpg"), drawSheet(QSize(4200, 4000)));
    const QString big = writeFile(m_dir, QStringLiteral("kirik2.jpg"), truncated(bigFile, 0.5));
    QSignalSpy damaged(&layer, &SheetLayer::damaged);
    layer.setSheet(big, &warning);
    QCOMPARE(warning, QString());
    layer.resize(layer.pictureSize());
    for (int y : {0, 3000}) {
        QImage part(400, 400, QImage::Format_RGB32);
        layer.render(&part, QPoint(), QRegion(0, y, 400, 400));
        TileCache::instance().waitForIdle();
        QCoreApplication::processEvents();
    }
    QCOMPARE(damaged.count(), 1);
    QVERIFY(damaged.first().first().toString().startsWith(QStringLiteral("Resim dosyası bozuk")));
}

QTEST_MAIN(TestSheetPixels)
#include "test_sheetpixels.moc"
