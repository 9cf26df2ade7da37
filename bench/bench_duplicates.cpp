// zemira-check on the demo region of 1,000,000 places (12 sheets, as zemira-demo --places
// 1000000 makes it): the sqlite3 shell reading the rows the duplicate search reads (the
// baseline) against the whole check and its two halves, in the same run. Prints medians,
// ratios, the pairs found and the peak memory (VmHWM) of one check in a process that does
// nothing else: the region is made in a child process first.
#include "benchsupport.h"
#include "check_report.h"
#include "demo_region.h"
#include "duplicates.h"
#include "framework/errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int kPlaces = 1000000;
constexpr int kRounds = 3;

int makeRegion(const QString &dir)
{
    int argc = 1;
    char name[] = "bench_duplicates";
    char *argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    DemoOptions o;
    o.places = kPlaces;
    o.drawPlaces = false;
    o.mixedFormats = false;
    try {
        makeDemoRegion(dir, o);
    } catch (const Error &e) {
        std::fprintf(stderr, "bench_duplicates: %s\n", qPrintable(e.text()));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir temp(QDir::tempPath() + QStringLiteral("/bench_duplicates-XXXXXX"));
    const QString dir = temp.filePath(QStringLiteral("region"));
    std::printf("making the region...\n");
    std::fflush(stdout);
    if (!inChildProcess([&] { return makeRegion(dir); }))
        return 1;

    QCoreApplication app(argc, argv);
    const long startKb = statusKb("VmHWM:");
    try {
        const QString database = checkTargetOf(dir);
        const DuplicateOptions options;
        // One check alone first: repeated runs leave the heap fragmented, which is not its peak.
        dataSetCheck(database, options);
        const long peakKb = statusKb("VmHWM:");
        const double shell = medianMs(kRounds, [&] {
            runBaseline("sqlite3", {database, "select id, isim, pafta, px, py from harita"});
        });
        QString report;
        const double whole = medianMs(kRounds, [&] { report = dataSetCheck(database, options); });
        Duplicates found;
        CheckDatabase check(database);
        const double duplicates = medianMs(kRounds, [&] { found = findDuplicates(check.db, options); });
        const double figures = medianMs(kRounds, [&] { placeCheckReport(check.db); });
        std::printf("bench_duplicates: %d places, %lld pairs within %d px\n", kPlaces, qlonglong(found.count),
                    options.distance);
        std::printf("  sqlite3 shell reading the rows %10.0f ms (baseline)\n", shell);
        std::printf("  zemira-check, whole            %10.0f ms   ratio %.2f\n", whole, whole / shell);
        std::printf("    duplicate search             %10.0f ms   ratio %.2f\n", duplicates, duplicates / shell);
        std::printf("    import's figures             %10.0f ms   ratio %.2f\n", figures, figures / shell);
        std::printf("  peak memory (VmHWM) of one check %ld MB, %ld MB before it; %.0f bytes a place\n", peakKb / 1024,
                    startKb / 1024, double(peakKb - startKb) * 1024 / kPlaces);
    } catch (const Error &e) {
        std::printf("bench_duplicates: %s\n", qPrintable(e.text()));
        return 1;
    }
    return 0;
}
