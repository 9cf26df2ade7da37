// Sheets decoded as they are seen: each figure in a fresh process of this program (so that it
// starts cold, as a sheet opened for the first time), against djpeg on the same file in the same
// run. Sheets are written into a temporary folder: JPEGs streamed row by row through libjpeg,
// the tiled TIFF by gdal_translate from the largest JPEG.
//
//   bench_sheet_pixels                 all figures
//   bench_sheet_pixels MEASURE FILE... one figure, printed as "<value>" (the parent's child)

#include "benchsupport.h"
#include "framework/errors.h"
#include "framework/picture.h"
#include "map/sheetlayer.h"
#include "map/sheetsource.h"
#include "map/tilecache.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace {

// The main window's view in the layout.
const QSize View(743, 640);

// A map-like sheet, streamed: shaded ground, contour-like rings, a grid and scanner noise, so
// that it compresses as a scan does.
void writeSheet(const QString &path, int width, int height)
{
    FILE *file = std::fopen(QFile::encodeName(path).constData(), "wb");
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 85, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(size_t(width) * 3);
    quint32 noise = 12345;
    while (info.next_scanline < info.image_height) {
        const int y = int(info.next_scanline);
        for (int x = 0; x < width; ++x) {
            noise = noise * 1664525 + 1013904223;
            const int n = int(noise >> 28) - 8;
            const int ring = ((x / 7 + y / 5) ^ (x * y / 4096)) % 97 == 0 ? -90 : 0;
            const int grid = (x % 500 < 2 || y % 500 < 2) ? -120 : 0;
            unsigned char *p = &row[size_t(x) * 3];
            p[0] = uchar(qBound(0, 225 + ring + grid / 2 + n - (x + y) % 61, 255));
            p[1] = uchar(qBound(0, 215 + ring / 2 + n + (y % 113) / 4, 255));
            p[2] = uchar(qBound(0, 180 + grid + n, 255));
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
}

// Paints the layer's part in the view, waits for the tiles it asked for, paints again.
void showView(SheetLayer &layer)
{
    QImage screen(View, QImage::Format_RGB32);
    const QRegion seen(QRect(-layer.pos(), View));
    layer.render(&screen, QPoint(), seen);
    TileCache::instance().waitForIdle();
    QCoreApplication::processEvents();
    layer.render(&screen, QPoint(), seen);
}

void showSheet(SheetLayer &layer, const QString &file, QPoint offset)
{
    QString warning;
    layer.setSheet(file, &warning);
    layer.resize(layer.pictureSize());
    layer.move(offset);
    showView(layer);
}

double wholeSheetZoom(QSize sheet)
{
    return qMin(double(View.width()) / sheet.width(), double(View.height()) / sheet.height());
}

// One measure in this process; returns milliseconds, or kB for memory.
double measure(const QString &what, const QStringList &files)
{
    QWidget view;
    view.resize(View);
    SheetLayer layer(QStringLiteral("Image1"), &view);
    QElapsedTimer timer;
    timer.start();
    if (what == u"topleft") {
        showSheet(layer, files[0], QPoint(0, 0));
        return timer.nsecsElapsed() / 1e6;
    }
    if (what == u"centre") {
        const QSize size = SheetSource::open(files[0])->size();
        showSheet(layer, files[0], QPoint(View.width() / 2 - size.width() / 2, View.height() / 2 - size.height() / 2));
        return timer.nsecsElapsed() / 1e6;
    }
    if (what == u"whole") {
        const QImage all = loadPicture(files[0]);
        return all.isNull() ? -1 : timer.nsecsElapsed() / 1e6;
    }
    if (what == u"zoom" || what == u"zoomagain") {
        QString warning;
        layer.setSheet(files[0], &warning);
        layer.resize(layer.pictureSize());
        timer.restart();
        layer.setZoom(wholeSheetZoom(layer.pictureSize()));
        showView(layer);
        if (what == u"zoom")
            return timer.nsecsElapsed() / 1e6;
        layer.setZoom(1);
        showView(layer);
        timer.restart();
        layer.setZoom(wholeSheetZoom(layer.pictureSize()));
        showView(layer);
        return timer.nsecsElapsed() / 1e6;
    }
    if (what == u"neighbour") {
        showSheet(layer, files[0], QPoint(-1000, -1000));
        layer.prefetch({files[1]});
        TileCache::instance().waitForIdle();
        timer.restart();
        QString warning;
        layer.setSheet(files[1], &warning);
        layer.resize(layer.pictureSize());
        QImage screen(View, QImage::Format_RGB32);
        layer.render(&screen, QPoint(), QRegion(QRect(-layer.pos(), View)));
        return timer.nsecsElapsed() / 1e6;
    }
    if (what == u"memory") {
        // Open, look at the top-left, the middle and the bottom-right, then the whole sheet.
        const QSize size = SheetSource::open(files[0])->size();
        showSheet(layer, files[0], QPoint(0, 0));
        layer.move(View.width() / 2 - size.width() / 2, View.height() / 2 - size.height() / 2);
        showView(layer);
        layer.move(View.width() - size.width(), View.height() - size.height());
        showView(layer);
        layer.setZoom(wholeSheetZoom(size));
        layer.move(0, 0);
        showView(layer);
        return double(statusKb("VmHWM:"));
    }
    if (what == u"switches") {
        // Through the sheets in turn as a user goes, each with its neighbours prefetched, here
        // and there; the memory after 5 and after 200, and (on stderr) after each.
        double after5 = 0;
        double after20 = 0;
        for (int i = 0; i < 200; ++i) {
            showSheet(layer, files[i % files.size()], QPoint(-(i * 337) % 7000, -(i * 211) % 5000));
            layer.prefetch({files[(i + 1) % files.size()], files[(i + 2) % files.size()]});
            TileCache::instance().waitForIdle();
            if (i == 4)
                after5 = double(statusKb("VmRSS:"));
            if (i == 19)
                after20 = double(statusKb("VmRSS:"));
            std::fprintf(stderr, "%d %.0f MB (cache %.0f MB)\n", i + 1, statusKb("VmRSS:") / 1024.0,
                         TileCache::instance().bytes() / 1048576.0);
        }
        std::fprintf(stderr, "after 200 / after 20: %.2f\n", statusKb("VmRSS:") / after20);
        return double(statusKb("VmRSS:")) / after5;
    }
    if (what == u"sheet") {
        writeSheet(files[0], files[1].toInt(), files[2].toInt());
        return 1;
    }
    return -1;
}

// The child's figure; its last line on stderr in *note.
double child(const QString &what, const QStringList &files, QString *note = nullptr)
{
    QProcess process;
    process.start(QCoreApplication::applicationFilePath(), QStringList{what} + files);
    process.waitForFinished(-1);
    const double value = process.readAllStandardOutput().trimmed().toDouble();
    const QString log = QString::fromUtf8(process.readAllStandardError()).trimmed();
    if (process.exitCode() != 0 || value <= 0)
        throw Error(QStringLiteral("%1 failed: %2").arg(what, log));
    if (note)
        *note = log.section(u'\n', -1);
    return value;
}

double medianChild(int runs, const QString &what, const QStringList &files)
{
    std::vector<double> values;
    for (int i = 0; i < runs; ++i)
        values.push_back(child(what, files));
    return median(values);
}

double djpegMs(const QString &file, bool eighth)
{
    QStringList args{QStringLiteral("-outfile"), QStringLiteral("/dev/null")};
    if (eighth)
        args << QStringLiteral("-scale") << QStringLiteral("1/8");
    return medianMs(3, [&] { runBaseline(QStringLiteral("djpeg"), args + QStringList{file}); });
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc > 2) {
        const QStringList args = app.arguments();
        std::printf("%.3f\n", measure(args[1], args.mid(2)));
        return 0;
    }
    QTemporaryDir dir;
    const auto path = [&](const char *name) { return dir.filePath(QString::fromLatin1(name)); };
    writeSheet(path("small.jpg"), 1500, 1000);
    writeSheet(path("a.jpg"), 8000, 6000);
    QFile::copy(path("a.jpg"), path("b.jpg"));
    writeSheet(path("c.jpg"), 8000, 6000);
    writeSheet(path("big.jpg"), 20000, 20000);
    writeSheet(path("huge.jpg"), 40000, 30000);
    runBaseline(QStringLiteral("gdal_translate"),
                {QStringLiteral("-q"), QStringLiteral("-co"), QStringLiteral("TILED=YES"), QStringLiteral("-co"),
                 QStringLiteral("COMPRESS=JPEG"), QStringLiteral("-co"), QStringLiteral("PHOTOMETRIC=YCBCR"),
                 QStringLiteral("-co"), QStringLiteral("BIGTIFF=YES"), path("huge.jpg"), path("huge.tif")});

    const QString a = path("a.jpg");
    const double full = djpegMs(a, false);
    const double eighth = djpegMs(a, true);
    std::printf("8000 x 6000 JPEG (%.1f MB): djpeg %.0f ms, djpeg -scale 1/8 %.0f ms; view %d x %d\n",
                QFileInfo(a).size() / 1e6, full, eighth, View.width(), View.height());
    const auto ratio = [](const char *name, double value, double base, const char *goal) {
        std::printf("%-44s %8.1f ms  %5.2fx  (goal %s)\n", name, value, value / base, goal);
    };
    ratio("first screenful, top-left", medianChild(3, QStringLiteral("topleft"), {a}), full, "<= 0.3x djpeg");
    ratio("first screenful, centred", medianChild(3, QStringLiteral("centre"), {a}), full, "<= 0.7x djpeg");
    ratio("whole sheet decoded (picture())", medianChild(3, QStringLiteral("whole"), {a}), full, "<= 1.1x djpeg");
    ratio("whole-sheet zoom, first time", medianChild(3, QStringLiteral("zoom"), {a}), eighth,
          "<= 1.0x djpeg 1/8");
    std::printf("%-44s %8.1f ms  (goal <= 50 ms)\n", "whole-sheet zoom again",
                medianChild(3, QStringLiteral("zoomagain"), {a}));
    std::printf("%-44s %8.1f ms  (goal <= 50 ms)\n", "prefetched neighbour, to first paint",
                medianChild(3, QStringLiteral("neighbour"), {a, path("c.jpg")}));

    const double small = child(QStringLiteral("memory"), {path("small.jpg")});
    std::printf("peak memory, 1500 x 1000 sheet: %.0f MB\n", small / 1024);
    const std::pair<const char *, const char *> bigSheets[] = {
        {"big.jpg", "20000 x 20000 JPEG"}, {"huge.jpg", "40000 x 30000 JPEG"}, {"huge.tif", "40000 x 30000 tiled TIFF"}};
    for (const auto &[name, label] : bigSheets) {
        QElapsedTimer timer;
        timer.start();
        const double peak = child(QStringLiteral("memory"), {path(name)});
        std::printf("peak memory, %-31s %8.0f MB above (goal <= 300 MB; %.1f s to open, scroll, zoom out)\n", label,
                    (peak - small) / 1024, timer.nsecsElapsed() / 1e9);
    }
    QStringList sheets;
    for (int i = 0; i < 8; ++i) {
        const QString copy = dir.filePath(QStringLiteral("s%1.jpg").arg(i));
        QFile::copy(i % 2 ? path("c.jpg") : a, copy);
        sheets << copy;
    }
    QString plateau;
    const double switches = child(QStringLiteral("switches"), sheets, &plateau);
    std::printf("%-44s %8.2f    (goal <= 1.1; %s)\n", "200 switches: memory after / after 5", switches,
                qPrintable(plateau));
    std::printf("djpeg on the 40000 x 30000 JPEG: %.0f ms\n", djpegMs(path("huge.jpg"), false));
    return 0;
}
