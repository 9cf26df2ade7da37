// zemira-export on the demo region of 1,000,000 places, georeferenced in UTM 36N: GDAL's own
// ogr2ogr copying table harita into a GeoPackage (the baseline) against our GeoPackage and CSV
// exports, in the same run. Prints medians, ratios and the peak memory (VmHWM) of one export
// in a process that does nothing else, which must not grow with the number of places.
#include "benchsupport.h"
#include "demo_region.h"
#include "exporter.h"
#include "framework/errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int kPlaces = 1000000;
constexpr int kRounds = 1;

int makeRegion(const QString &dir)
{
    int argc = 1;
    char name[] = "bench_export";
    char *argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    DemoOptions o;
    o.places = kPlaces;
    o.drawPlaces = false;
    o.mixedFormats = false;
    try {
        const DemoRegion region = makeDemoRegion(dir, o);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
        db.setDatabaseName(region.dir + region.databaseFile);
        QSqlQuery q(db.open() ? db : QSqlDatabase());
        if (!q.exec(QStringLiteral("create table georef (crs text, x0 real not null, y0 real not null, "
                                   "dx real not null, dy real not null)"))
            || !q.exec(QStringLiteral("insert into georef values ('EPSG:32636', 480000, 4420000, 2, -2)")))
            throw Error(QStringLiteral("georef could not be added"));
    } catch (const Error &e) {
        std::fprintf(stderr, "bench_export: %s\n", qPrintable(e.text()));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir temp(QDir::tempPath() + QStringLiteral("/bench_export-XXXXXX"));
    const QString dir = temp.filePath(QStringLiteral("region"));
    std::printf("making the region...\n");
    std::fflush(stdout);
    if (!inChildProcess([&] { return makeRegion(dir); }))
        return 1;

    QCoreApplication app(argc, argv);
    const long startKb = statusKb("VmHWM:");
    try {
        const auto run = [&](const QString &name, ExportFormat format) {
            exportPlaces({dir, temp.filePath(name), format, true});
        };
        run(QStringLiteral("first.gpkg"), ExportFormat::GeoPackage);
        const long peakKb = statusKb("VmHWM:");
        const double baseline = medianMs(kRounds, [&] {
            runBaseline("ogr2ogr", {"-overwrite", "-f", "GPKG", temp.filePath("ogr2ogr.gpkg"),
                                    dir + "/harita.sqlite", "harita"});
        });
        const double gpkg = medianMs(kRounds, [&] { run(QStringLiteral("yerler.gpkg"), ExportFormat::GeoPackage); });
        const double csv = medianMs(kRounds, [&] { run(QStringLiteral("yerler.csv"), ExportFormat::Csv); });
        std::printf("bench_export: %d places\n", kPlaces);
        std::printf("  ogr2ogr harita to GeoPackage %10.0f ms (baseline)\n", baseline);
        std::printf("  zemira-export GeoPackage     %10.0f ms   ratio %.2f\n", gpkg, gpkg / baseline);
        std::printf("  zemira-export CSV            %10.0f ms   ratio %.2f\n", csv, csv / baseline);
        std::printf("  peak memory (VmHWM) of one export %ld MB, %ld MB before it\n", peakKb / 1024, startKb / 1024);
    } catch (const Error &e) {
        std::printf("bench_export: %s\n", qPrintable(e.text()));
        return 1;
    }
    return 0;
}
