#include "app/uGenel.h"
#include "demo_sheet.h"
#include "demo_world.h"
#include "framework/picture.h"
#include "new_region.h"
#include "map/maplayer.h"
#include "overview/uKucukHarita.h"
#include "sheet_names.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include <cpl_conv.h>
#include <gdal.h>
#include <ogr_srs_api.h>

namespace {

constexpr int Columns = 3, Rows = 2;
constexpr double Metres = 2.5; // ground size of a pixel

struct Expected {
    QString num;
    QPoint corner; // px0, py0
};

DemoOptions sheetPictures()
{
    DemoOptions o;
    o.columns = Columns;
    o.rows = Rows;
    o.sheetWidth = 240;
    o.sheetHeight = 180;
    o.places = 0;
    o.drawPlaces = false;
    return o;
}

QString wktOf(int epsg)
{
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(srs, epsg);
    char *text = nullptr;
    OSRExportToWkt(srs, &text);
    const QString wkt = QString::fromUtf8(text);
    CPLFree(text);
    OSRDestroySpatialReference(srs);
    return wkt;
}

// Writes the picture through GDAL, with a geotransform and system when given.
void writeSheet(const QImage &picture, const QString &path, const char *driver, QStringList options = {},
                const std::array<double, 6> *transform = nullptr, int epsg = 0)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    GDALDatasetH mem = GDALCreate(GDALGetDriverByName("MEM"), "", image.width(), image.height(), 3, GDT_Byte, nullptr);
    int bands[3] = {3, 2, 1}; // RGB32 on a little-endian machine
    QCOMPARE(GDALDatasetRasterIO(mem, GF_Write, 0, 0, image.width(), image.height(), const_cast<uchar *>(image.constBits()),
                                 image.width(), image.height(), GDT_Byte, 3, bands, 4, image.bytesPerLine(), 1),
             CE_None);
    if (transform)
        GDALSetGeoTransform(mem, const_cast<double *>(transform->data()));
    if (epsg)
        GDALSetProjection(mem, wktOf(epsg).toUtf8().constData());
    QList<QByteArray> bytes;
    std::vector<char *> list;
    for (const QString &o : options)
        bytes << o.toUtf8();
    for (QByteArray &b : bytes)
        list.push_back(b.data());
    list.push_back(nullptr);
    GDALDatasetH out = GDALCreateCopy(GDALGetDriverByName(driver), path.toUtf8().constData(), mem, FALSE, list.data(),
                                      nullptr, nullptr);
    QVERIFY2(out, qPrintable(path));
    GDALClose(out);
    GDALClose(mem);
}

void writeText(const QString &path, const QByteArray &text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

std::array<double, 6> transformOf(int column, int row, double size = Metres)
{
    return {500000.0 + column * 240 * Metres, size, 0, 4400000.0 - row * 180 * Metres, 0, -size};
}

// The demo's sheets written as one kind of scans folder; returns where each must land.
std::vector<Expected> writeScans(const QString &kind, const QString &dir)
{
    const DemoWorld world = buildWorld(sheetPictures());
    const QStringList compressions{"COMPRESS=LZW", "COMPRESS=DEFLATE", "COMPRESS=JPEG", "COMPRESS=PACKBITS"};
    // Across a 1:100,000 column (I29 | I30) and a 1:50,000 row (b, a | c, d), with prefixes
    // and the Turkish dotted capital.
    const QStringList national{"Ankara_I29-b3", "ankara i30a4", "x.I30-a3", "İ29-c2", "I30-d1", "I30-d2"};
    const QStringList nationalNums{"I29-b3", "I30-a4", "I30-a3", "I29-c2", "I30-d1", "I30-d2"};
    std::vector<Expected> expected;
    for (int i = 0; i < int(world.sheets.size()); ++i) {
        const DemoSheet &s = world.sheets[i];
        const QImage picture = drawSheet(world, i);
        const QString stem = QStringLiteral("pafta_%1_%2").arg(s.row).arg(s.column);
        const auto t = transformOf(s.column, s.row);
        const QPoint corner(s.column * 240, s.row * 180);
        if (kind == "geotiff") {
            writeSheet(picture, dir + stem + ".tif", "GTiff", {compressions[i % compressions.size()]}, &t, 32636);
            expected.push_back({stem, corner});
        } else if (kind == "png+aux") {
            // PNG keeps its georeferencing in a side file, which Zemira itself never reads.
            CPLSetThreadLocalConfigOption("GDAL_PAM_ENABLED", "YES");
            writeSheet(picture, dir + stem + ".png", "PNG", {}, &t, 32636);
            CPLSetThreadLocalConfigOption("GDAL_PAM_ENABLED", nullptr);
            if (!QFile::exists(dir + stem + ".png.aux.xml"))
                QTest::qFail("no .aux.xml written", __FILE__, __LINE__);
            expected.push_back({stem, corner});
        } else if (kind == "jpeg+world") {
            writeSheet(picture, dir + stem + ".jpg", "JPEG", {"QUALITY=90"});
            writeText(dir + stem + ".jgw", QStringLiteral("%1\n0\n0\n%2\n%3\n%4\n")
                                               .arg(t[1]).arg(t[5]).arg(t[0] + t[1] / 2, 0, 'f', 3)
                                               .arg(t[3] + t[5] / 2, 0, 'f', 3).toUtf8());
            expected.push_back({stem, corner});
        } else if (kind == "names") {
            const int k = s.row * Columns + s.column;
            writeSheet(picture, dir + national[k] + ".tif", "GTiff");
            expected.push_back({nationalNums[k], corner});
        } else {
            // Name order compares numbers by value: "tarama10" is the last.
            const int k = s.row * Columns + s.column;
            writeSheet(picture, dir + QStringLiteral("tarama%1.png").arg(k < 5 ? k + 1 : 10), "PNG");
            expected.push_back({QStringLiteral("tarama%1").arg(k < 5 ? k + 1 : 10), corner});
        }
    }
    return expected;
}

// Mean red, green and blue.
std::array<double, 3> meanColour(const QImage &image)
{
    qint64 sum[3] = {};
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            sum[0] += qRed(p);
            sum[1] += qGreen(p);
            sum[2] += qBlue(p);
        }
    const qint64 n = qint64(image.width()) * image.height();
    return {double(sum[0]) / n, double(sum[1]) / n, double(sum[2]) / n};
}

NewRegion makeRegion(const QString &scans, const QString &target, std::optional<QSize> grid = {})
{
    NewRegionOptions o;
    o.scans = scans;
    o.target = target;
    o.grid = grid;
    return makeNewRegion(o, [](const QString &, int, int) {});
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

} // namespace

class TestNew : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { GDALAllRegister(); }

    void nationalNames_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QPoint>("cell"); // column, row at the name's own scale
        QTest::newRow("1:100,000") << "I29" << "I29" << QPoint(29, 8);
        QTest::newRow("dotted capital") << "İ29" << "I29" << QPoint(29, 8);
        QTest::newRow("1:50,000 clockwise") << "I29-d" << "I29-d" << QPoint(58, 17);
        QTest::newRow("1:25,000 north-west") << "I29-a1" << "I29-a1" << QPoint(116, 32);
        QTest::newRow("1:25,000 south-east") << "I29-c3" << "I29-c3" << QPoint(119, 35);
        QTest::newRow("1:25,000 south-west") << "i29d4" << "I29-d4" << QPoint(116, 35);
        // Ayaş springs' sheet west of the one Ayaş is on (H28-c4 at column 114, row 31).
        QTest::newRow("published H28-d3") << "Bolu H28-d3" << "H28-d3" << QPoint(113, 31);
        QTest::newRow("row after P is R") << "R40" << "R40" << QPoint(40, 16);
        QTest::newRow("prefix needs a separator") << "ankaraI29" << "" << QPoint();
        QTest::newRow("one-digit column") << "a1" << "" << QPoint();
        QTest::newRow("no quarter e") << "I29-e" << "" << QPoint();
    }
    void nationalNames()
    {
        QFETCH(QString, file);
        QFETCH(QString, name);
        QFETCH(QPoint, cell);
        const auto s = nationalSheet(file);
        QCOMPARE(s ? s->name : QString(), name);
        if (s)
            QCOMPARE(QPoint(s->column, s->row), cell);
    }

    // Each kind of scans folder becomes a region that Zemira opens, and a click on the middle
    // of a sheet in the overview brings up that sheet.
    void foldersBecomeRegions_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("crs"); // "-": no georef table; "": one of unknown system
        QTest::newRow("GeoTIFF") << "geotiff" << "32636";
        QTest::newRow("JPEG with world files") << "jpeg+world" << "";
        QTest::newRow("PNG with .aux.xml, after Zemira ran") << "png+aux" << "32636";
        QTest::newRow("1:25,000 sheet names") << "names" << "-";
        QTest::newRow("PNG in a grid") << "grid" << "-";
    }
    void foldersBecomeRegions()
    {
        QFETCH(QString, kind);
        QFETCH(QString, crs);
        QTemporaryDir temp;
        const QString scans = temp.path() + "/taramalar/";
        QDir().mkpath(scans);
        const std::vector<Expected> expected = writeScans(kind, scans);
        const NewRegion region = makeRegion(scans, temp.path() + "/bolge",
                                            kind == "grid" ? std::optional(QSize(Columns, Rows)) : std::nullopt);
        QCOMPARE(region.sheets, Columns * Rows);
        QCOMPARE(entries(temp.path()), QStringList({"bolge", "taramalar"}));

        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "check");
            db.setDatabaseName(region.dir + "harita.sqlite");
            QVERIFY(db.open());
            QSqlQuery q(db);
            for (const Expected &e : expected) {
                QVERIFY(q.exec(QStringLiteral("select px0, py0, px, py from pafta where num = '%1'").arg(e.num)));
                QVERIFY2(q.next(), qPrintable(e.num));
                QCOMPARE(QPoint(q.value(0).toInt(), q.value(1).toInt()), e.corner);
                QCOMPARE(QSize(q.value(2).toInt(), q.value(3).toInt()), QSize(240, 180));
            }
            QVERIFY(q.exec("select count(*) from tipler"));
            QVERIFY(q.next() && q.value(0).toInt() >= 10);
            QVERIFY(q.exec("select count(*) from harita"));
            QVERIFY(q.next() && q.value(0).toInt() == 0);
            const bool hasGeoref = q.exec("select crs, x0, y0, dx, dy from georef") && q.next();
            QCOMPARE(hasGeoref, crs != "-");
            if (hasGeoref) {
                QCOMPARE(q.value(0).isNull(), crs.isEmpty());
                QVERIFY(q.value(0).toString().contains(crs));
                QCOMPARE(q.value(1).toDouble(), 500000.0);
                QCOMPARE(q.value(2).toDouble(), 4400000.0);
                QCOMPARE(q.value(3).toDouble(), Metres);
                QCOMPARE(q.value(4).toDouble(), -Metres);
            }
        }
        QSqlDatabase::removeDatabase("check");

        DialogAnswerer answerer;
        RunningZemira z(region.dir);
        QCOMPARE(answerer.texts, QStringList());
        const QImage overview = OverviewPicture;
        QCOMPARE(overview.width(), 320);
        const double scale = 320.0 / (Columns * 240);
        const DemoWorld world = buildWorld(sheetPictures());
        for (int i = 0; i < int(expected.size()); ++i) {
            const Expected &e = expected[i];
            const QRect onOverview = QRectF(e.corner.x() * scale, e.corner.y() * scale, 240 * scale, 180 * scale).toRect();
            clickAt(fKucukHarita->Image1, onOverview.center());
            QCOMPARE(uGenel::CurrentSheet, e.num);
            // The mosaic holds this sheet there, in its own colours.
            const QImage reduced = drawSheet(world, i).scaled(onOverview.size(), Qt::IgnoreAspectRatio,
                                                              Qt::SmoothTransformation);
            const QImage painted = overview.copy(onOverview);
            // JPEG and resampling move the mean colour by a few levels, a swap of bands by more.
            const auto a = meanColour(painted), b = meanColour(reduced);
            for (int c = 0; c < 3; ++c)
                QVERIFY2(std::abs(a[c] - b[c]) < 6, qPrintable(QStringLiteral("%1: %2 / %3").arg(e.num).arg(a[c]).arg(b[c])));
        }
    }

    // A one-bit grey scan (0 black, 1 white) is drawn in black and white, not in near-black.
    void oneBitScan()
    {
        QTemporaryDir temp;
        const QString scans = temp.path() + "/taramalar/";
        QDir().mkpath(scans);
        const QImage picture = drawSheet(buildWorld(sheetPictures()), 0).convertToFormat(QImage::Format_Grayscale8);
        GDALDatasetH mem = GDALCreate(GDALGetDriverByName("MEM"), "", 240, 180, 1, GDT_Byte, nullptr);
        std::vector<GByte> bits(240 * 180);
        for (int y = 0; y < 180; ++y)
            for (int x = 0; x < 240; ++x)
                bits[y * 240 + x] = picture.constScanLine(y)[x] > 200 ? 1 : 0;
        QCOMPARE(GDALDatasetRasterIO(mem, GF_Write, 0, 0, 240, 180, bits.data(), 240, 180, GDT_Byte, 1, nullptr, 1, 240,
                                     0),
                 CE_None);
        // GDAL gives a one-bit TIFF a black and white palette; a one-bit PNG has none.
        const char *options[] = {"NBITS=1", nullptr};
        GDALClose(GDALCreateCopy(GDALGetDriverByName("PNG"), (scans + "tek.png").toUtf8().constData(), mem, FALSE,
                                 const_cast<char **>(options), nullptr, nullptr));
        GDALClose(mem);
        const NewRegion region = makeRegion(scans, temp.path() + "/bolge", QSize(1, 1));
        const QImage overview = loadPicture(region.dir + "kucuk.bmp");
        const double white = std::count(bits.begin(), bits.end(), 1) / double(bits.size());
        QVERIFY2(std::abs(meanColour(overview)[1] / 255 - white) < 0.05,
                 qPrintable(QStringLiteral("%1 / %2").arg(meanColour(overview)[1] / 255).arg(white)));
    }

    // A refused folder names the sheets at fault and leaves nothing beside the scans.
    void refusals_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("another system") << "crs" << "koordinat sistemi a.tif dosyasınınkinden başka: b.tif";
        QTest::newRow("another resolution") << "resolution" << "çözünürlüğü a.tif dosyasınınkinden (2.5 × -2.5) başka: b.tif";
        QTest::newRow("rotated") << "rotated" << "döndürülmüş ya da eğik; Zemira yalnız kuzeyi yukarıda, döndürülmemiş paftaları yan yana koyar: b.tif";
        QTest::newRow("unreadable file") << "unreadable" << "b.tif okunamadı";
        QTest::newRow("nothing to place by") << "unplaced" << "--grid SÜTUNxSATIR";
        QTest::newRow("mixed scales") << "scales" << "şunlar b.tif dosyasınınkinden başka ölçekte: I29-b1.tif";
    }
    void refusals()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        QTemporaryDir temp;
        const QString scans = temp.path() + "/taramalar/";
        QDir().mkpath(scans);
        const DemoWorld world = buildWorld(sheetPictures());
        const QImage picture = drawSheet(world, 0);
        auto t = transformOf(0, 0);
        if (fault == "scales") {
            writeSheet(picture, scans + "b.tif", "GTiff");
            QFile::rename(scans + "b.tif", scans + "I29-b.tif");
            writeSheet(picture, scans + "I29-b1.tif", "GTiff");
            message.replace("b.tif dosyasınınkinden", "I29-b.tif dosyasınınkinden");
        } else {
            writeSheet(picture, scans + "a.tif", "GTiff", {}, fault == "unplaced" ? nullptr : &t, 32636);
            t = transformOf(1, 0);
            if (fault == "resolution")
                t[1] *= 2;
            if (fault == "rotated")
                t[2] = 0.1;
            if (fault == "unreadable")
                writeText(scans + "b.tif", "II*\0 bozuk");
            else
                writeSheet(picture, scans + "b.tif", "GTiff", {}, fault == "unplaced" ? nullptr : &t,
                           fault == "crs" ? 32637 : 32636);
        }
        const QString error = errorOf([&] { makeRegion(scans, temp.path() + "/bolge"); });
        QVERIFY2(error.contains(message), qPrintable(error));
        QCOMPARE(entries(temp.path()), QStringList{"taramalar"});
    }

    // The command refuses an existing target, replaces a region only when asked, and answers in
    // Turkish.
    void commandLine()
    {
        QTemporaryDir temp;
        const QString scans = temp.path() + "/taramalar/", target = temp.path() + "/bolge";
        QDir().mkpath(scans);
        writeScans("jpeg+world", scans);
        QDir().mkpath(target);
        writeText(target + "/eski.txt", "kalmalı");
        const QStringList old{"eski.txt"};

        ToolRun run = runTool("zemira-new", {scans, target});
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains("zaten var; üzerine yazmak için --force verin"), qPrintable(run.err));
        QCOMPARE(entries(target), old);
        QCOMPARE(entries(temp.path()), QStringList({"bolge", "taramalar"}));

        // A mistyped target that is no region survives --force too.
        run = runTool("zemira-new", {"--force", scans, target});
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains("--force onu da silmez"), qPrintable(run.err));
        QCOMPARE(entries(target), old);

        writeText(target + "/HARITA.TXT", "eski bölge");
        run = runTool("zemira-new", {"--force", "--width", "200", scans, target});
        QCOMPARE(run.code, 0);
        QVERIFY2(run.err.contains("Küçük harita çiziliyor: 6 / 6"), qPrintable(run.err));
        QVERIFY(!QFile::exists(target + "/eski.txt"));
        QCOMPARE(loadPicture(target + "/kucuk.bmp").width(), 200);
        QCOMPARE(entries(temp.path()), QStringList({"bolge", "taramalar"}));

        run = runTool("zemira-new", {"--help"});
        QVERIFY2(run.out.contains("--grid <SÜTUNxSATIR>") && run.out.contains("Pafta adları"), qPrintable(run.out));
        run = runTool("zemira-new", {"--version"});
        QVERIFY2(run.out.startsWith("zemira-new " ZEMIRA_VERSION), qPrintable(run.out));
    }

    // The user's own list of place types replaces the starting one, in order, Turkish intact.
    void ownPlaceTypes()
    {
        QTemporaryDir temp;
        const QString scans = temp.path() + "/taramalar/";
        QDir().mkpath(scans);
        writeScans("names", scans);
        writeText(temp.path() + "/turler.txt", "Şelale\r\n\r\n  Ilıca  \nŞelale\n");
        NewRegionOptions o;
        o.scans = scans;
        o.target = temp.path() + "/bolge";
        o.typesFile = temp.path() + "/turler.txt";
        const NewRegion region = makeNewRegion(o, [](const QString &, int, int) {});
        QStringList types;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "types");
            db.setDatabaseName(region.dir + "harita.sqlite");
            QVERIFY(db.open());
            QSqlQuery q("select ad from tipler order by id", db);
            while (q.next())
                types << q.value(0).toString();
        }
        QSqlDatabase::removeDatabase("types");
        QCOMPARE(types, QStringList({"Şelale", "Ilıca"}));
    }
};

QTEST_MAIN(TestNew)
#include "test_new.moc"
