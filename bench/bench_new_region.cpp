// Times zemira-new making a data directory from a folder of N sheets (default 100 sheets of
// 8000 x 6000, one map-like JPEG hard-linked N times, each with its world file on a square-ish
// grid) against gdalbuildvrt + gdal_translate -outsize making the same overview mosaic, and
// prints both times, their ratio and each side's peak memory (VmHWM of the child processes).
// Arguments: [sheets [width height]] for a smaller run on a slow machine. Peak memory is the
// child's ru_maxrss, which starts from this process's own (small) peak.

#include "demo_region.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

struct ChildRun {
    double seconds = 0;
    long peakKb = 0; // the child's VmHWM
};

ChildRun runChild(const QString &program, const QStringList &args)
{
    std::vector<QByteArray> bytes{QFile::encodeName(program)};
    for (const QString &a : args)
        bytes.push_back(a.toUtf8());
    std::vector<char *> argv;
    for (QByteArray &b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        std::exit(1);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", argv[0]);
        std::exit(1);
    }
    return {timer.nsecsElapsed() / 1e9, usage.ru_maxrss};
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int sheets = args.size() > 1 ? args[1].toInt() : 100;
    DemoOptions o;
    o.columns = o.rows = 1;
    o.sheetWidth = args.size() > 3 ? args[2].toInt() : 8000;
    o.sheetHeight = args.size() > 3 ? args[3].toInt() : 6000;
    o.places = 2000;
    const int columns = int(std::ceil(std::sqrt(double(sheets))));

    QTemporaryDir temp;
    const QString scans = temp.path() + "/taramalar/";
    QDir().mkpath(scans);
    // The sheet is drawn by zemira-demo in a process of its own: a child inherits its parent's
    // peak memory as its own starting VmHWM, so this process stays small.
    const QString tools = QCoreApplication::applicationDirPath() + "/../tools/";
    runChild(tools + "zemira-demo", {temp.path() + "/demo", "--columns", "1", "--rows", "1", "--sheet-width",
                                     QString::number(o.sheetWidth), "--sheet-height", QString::number(o.sheetHeight),
                                     "--places", QString::number(o.places), "--jpeg-only"});
    const QString drawn = QDir(temp.path() + "/demo").entryInfoList({"*.jpg"}).value(0).absoluteFilePath();
    const QString first = scans + "pafta000.jpg";
    if (!QFile::rename(drawn, first))
        return 1;
    QStringList files;
    for (int i = 0; i < sheets; ++i) {
        const QString stem = scans + QStringLiteral("pafta%1").arg(i, 3, 10, QChar('0'));
        if (i > 0 && ::link(QFile::encodeName(first), QFile::encodeName(stem + ".jpg")) != 0)
            return 1;
        QFile world(stem + ".jgw");
        world.open(QIODevice::WriteOnly);
        world.write(QStringLiteral("2.5\n0\n0\n-2.5\n%1\n%2\n")
                        .arg(400000 + (i % columns) * o.sheetWidth * 2.5 + 1.25, 0, 'f', 2)
                        .arg(4400000 - (i / columns) * o.sheetHeight * 2.5 - 1.25, 0, 'f', 2)
                        .toUtf8());
        files << stem + ".jpg";
    }

    const QString tool = tools + "zemira-new";
    const ChildRun linked = runChild(tool, {"--link", scans, temp.path() + "/bolge1"});
    const ChildRun copied = runChild(tool, {scans, temp.path() + "/bolge2"});
    const ChildRun vrt = runChild("gdalbuildvrt", QStringList{temp.path() + "/mosaic.vrt"} + files);
    const ChildRun translate = runChild("gdal_translate", {"-q", "-r", "average", "-of", "BMP", "-outsize", "400", "0",
                                                           temp.path() + "/mosaic.vrt", temp.path() + "/mosaic.bmp"});
    const double gdalSeconds = vrt.seconds + translate.seconds;
    const long gdalPeak = std::max(vrt.peakKb, translate.peakKb);

    std::printf("%d sheets of %d x %d (JPEG %.1f MB each, world files), overview 400 px wide\n", sheets, o.sheetWidth,
                o.sheetHeight, QFileInfo(first).size() / 1e6);
    std::printf("zemira-new --link:                    %7.2f s, peak %6ld MB\n", linked.seconds, linked.peakKb / 1024);
    std::printf("zemira-new (copying the sheets):      %7.2f s, peak %6ld MB\n", copied.seconds, copied.peakKb / 1024);
    std::printf("gdalbuildvrt + gdal_translate:        %7.2f s, peak %6ld MB\n", gdalSeconds, gdalPeak / 1024);
    std::printf("ratio zemira-new --link / GDAL: time %.2f, peak memory %.2f\n", linked.seconds / gdalSeconds,
                double(linked.peakKb) / gdalPeak);
    return 0;
}
