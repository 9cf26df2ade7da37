#include "exporter.h"
#include "framework/errors.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include <clocale>
#include <csignal>

namespace {

volatile std::sig_atomic_t interrupted = 0;

const char kHelp[] =
    "Kullanım: zemira-export [seçenekler] VERİ ÇIKTI\n"
    "Bir veri kümesinin yerlerini (harita tablosu) CBS programlarının açtığı bir dosyaya yazar.\n"
    "VERİ bir veri klasörü (HARITA.TXT'nin 2. satırındaki veritabanı), bir SQLite dosyası ya da\n"
    "bir PostgreSQL adresidir. Veritabanına yazılmaz.\n"
    "\n"
    "Biçim ÇIKTI'nın uzantısından anlaşılır: .gpkg (GeoPackage), .geojson ya da .json (GeoJSON),\n"
    ".csv, .kml. Alanlar: isim, tip, pafta, dosya (paftanın resim dosyası), px, py, kod, cx, cy.\n"
    "Bölge coğrafi olarak konumlandırılmışsa (georef tablosu) her yerin bir noktası da yazılır:\n"
    "GeoPackage'da paftaların koordinat sisteminde, CSV'de X ve Y sütunlarında, GeoJSON ve KML'de\n"
    "WGS 84 enlem/boylamıyla (bunlar için paftaların koordinat sistemi bilinmelidir). Noktası\n"
    "piksel ortasıdır. Paftası bulunamayan yer noktasız yazılır.\n"
    "\n"
    "Seçenekler:\n"
    "  --format BİÇİM  gpkg, geojson, csv ya da kml; uzantı yerine bu kullanılır\n"
    "  --force         var olan ÇIKTI'nın üzerine yazar (yoksa dokunulmaz)\n"
    "  --help          bu yardımı gösterir\n"
    "  --version       sürümü gösterir\n"
    "\n"
    "Dosya önce yanında geçici bir adla yazılır ve ancak tamamlanınca ÇIKTI olur: bir hata ya da\n"
    "Ctrl+C yarım dosya bırakmaz.\n";

void onSignal(int)
{
    interrupted = 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // GDAL folds option and keyword names with the C library, which a Turkish locale makes
    // fold "I" to a dotless "ı": GDAL runs in the C locale, keeping UTF-8.
    std::setlocale(LC_ALL, "C.UTF-8");
    QTextStream out(stdout);
    QTextStream err(stderr);
    QCommandLineParser parser;
    const QCommandLineOption format(QStringLiteral("format"), QString(), QStringLiteral("BİÇİM"));
    const QCommandLineOption force(QStringLiteral("force"));
    const QCommandLineOption help(QStringLiteral("help"));
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOptions({format, force, help, version});
    if (!parser.parse(app.arguments())) {
        err << "zemira-export: " << parser.errorText() << "\n\n" << kHelp;
        return 2;
    }
    if (parser.isSet(help)) {
        out << kHelp;
        return 0;
    }
    if (parser.isSet(version)) {
        out << "zemira-export " << ZEMIRA_VERSION << '\n';
        return 0;
    }
    const QStringList args = parser.positionalArguments();
    if (args.size() != 2) {
        err << "zemira-export: VERİ ve ÇIKTI gerekli.\n\n" << kHelp;
        return 2;
    }
    ExportOptions options{args.at(0), args.at(1)};
    options.force = parser.isSet(force);
    const QString formatName = parser.isSet(format) ? parser.value(format) : QFileInfo(options.output).suffix();
    const auto chosen = exportFormatNamed(formatName);
    if (!chosen) {
        err << "zemira-export: bilinmeyen biçim \"" << formatName
            << "\": .gpkg, .geojson, .json, .csv ya da .kml uzantısı ya da --format verin.\n";
        return 2;
    }
    options.format = *chosen;

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    try {
        const ExportSummary summary = exportPlaces(options, [&](qint64 places) {
            if (interrupted)
                throw Error(QStringLiteral("Kesildi; dosya yazılmadı."));
            if (places % 1000000 == 0)
                err << places << " yer yazıldı…\n" << Qt::flush;
        });
        if (!summary.note.isEmpty())
            err << "zemira-export: " << summary.note << '\n';
        out << summary.places << " yer yazıldı (" << summary.withGeometry << " tanesi noktalı): " << options.output
            << '\n';
    } catch (const Error &e) {
        err << "zemira-export: " << e.text() << '\n';
        return 1;
    }
    return 0;
}
