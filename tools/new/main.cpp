#include "framework/errors.h"
#include "new_region.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QTextStream>

#include <unistd.h>

int main(int argc, char *argv[])
{
    // Reads and paints images only: it must run without a display too.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "TARAMALAR klasöründeki pafta resimlerinden (tif, tiff, png, jp2, jpg, jpeg, bmp, gif, pcx,\n"
        "ico, wmf, emf) HEDEF'te eksiksiz bir Zemira veri klasörü kurar: paftalar, HARITA.TXT,\n"
        "harita.sqlite (pafta, tipler, harita tabloları; yer yok) ve küçük harita kucuk.bmp.\n"
        "\n"
        "Paftaların yeri şu sırayla bulunur:\n"
        "  1. Konum bilgisi: her paftada varsa (GeoTIFF, .tfw/.jgw/.pgw/.j2w/.wld dünya dosyası,\n"
        "     .aux.xml). Hepsi aynı koordinat sisteminde (.prj'siz dünya dosyaları tek bir\n"
        "     bilinmeyen sistem sayılır), aynı çözünürlükte ve döndürülmemiş olmalı; uymayanlar\n"
        "     adlarıyla bildirilir. Konum bilgisi veri klasörüne de yazılır (georef tablosu).\n"
        "  2. Pafta adları: her dosya ulusal pafta adıyla bitiyorsa (1:100.000 \"I29\", 1:50.000\n"
        "     \"I29-b\", 1:25.000 \"I29-b1\"; önünde boşluk, _, - ya da . ile ayrılmış bir ek\n"
        "     olabilir: \"Ankara_I29-b1.tif\"). Hepsi aynı ölçekte olmalı; komşu adlar komşu\n"
        "     paftalar olur. Pafta numarası bu addır.\n"
        "  3. --grid ile verilen ızgara: dosyalar ad sırasıyla (sayılar değerce) soldan sağa,\n"
        "     yukarıdan aşağı dizilir.\n"
        "1 ve 3'te pafta numarası uzantısız dosya adıdır. Veri klasörü HEDEF'in yanındaki geçici\n"
        "bir klasörde kurulur ve ancak bittiğinde HEDEF adını alır: hata olursa geride bir şey\n"
        "kalmaz. İlerleme stderr'e yazılır."));
    // Our own help and version options: Qt's would describe themselves in English.
    const QCommandLineOption help(QStringList{"h", "help"}, QStringLiteral("Bu yardımı gösterir."));
    const QCommandLineOption version(QStringList{"v", "version"}, QStringLiteral("Sürümü gösterir."));
    parser.addOptions({help, version});
    const QCommandLineOption width(QStringLiteral("width"),
                                   QStringLiteral("Küçük haritanın genişliği (piksel, 16-4000; verilmezse 320)."),
                                   QStringLiteral("piksel"), QStringLiteral("320"));
    const QCommandLineOption types(QStringLiteral("types"),
                                   QStringLiteral("Yer türleri bu dosyadan alınır (UTF-8, satır başına bir tür); "
                                                  "verilmezse köy, mahalle, dağ, göl gibi hazır bir liste."),
                                   QStringLiteral("dosya"));
    const QCommandLineOption grid(QStringLiteral("grid"),
                                  QStringLiteral("Konum bilgisi ve pafta adı yoksa paftaları SÜTUNxSATIR ızgaraya "
                                                 "dizer (ör. 4x3)."),
                                  QStringLiteral("SÜTUNxSATIR"));
    const QCommandLineOption force(QStringLiteral("force"),
                                   QStringLiteral("HEDEF varsa onu yenisiyle değiştirir (yenisi bitince)."));
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Paftaları kopyalamak yerine sabit bağ (hard link) kurar; "
                                                 "TARAMALAR ile HEDEF aynı dosya sisteminde olmalı."));
    parser.addOptions({width, types, grid, force, link});
    parser.addPositionalArgument(QStringLiteral("TARAMALAR"), QStringLiteral("pafta resimlerinin klasörü"));
    parser.addPositionalArgument(QStringLiteral("HEDEF"), QStringLiteral("kurulacak veri klasörü"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QString helpText = parser.helpText()
                                 .replace(QStringLiteral("Usage: "), QStringLiteral("Kullanım: "))
                                 .replace(QStringLiteral("[options]"), QStringLiteral("[seçenekler]"))
                                 .replace(QStringLiteral("Options:"), QStringLiteral("Seçenekler:"))
                                 .replace(QStringLiteral("Arguments:"), QStringLiteral("Argümanlar:"));
    if (!parser.parse(app.arguments())) {
        err << "zemira-new: seçenekler anlaşılamadı (" << parser.errorText() << ").\n\n" << helpText;
        return 2;
    }
    if (parser.isSet(help)) {
        out << helpText;
        return 0;
    }
    if (parser.isSet(version)) {
        out << "zemira-new " << ZEMIRA_VERSION << '\n';
        return 0;
    }
    if (parser.positionalArguments().size() != 2) {
        err << "zemira-new: TARAMALAR ve HEDEF gerekli.\n\n" << helpText;
        return 2;
    }
    NewRegionOptions o;
    o.scans = parser.positionalArguments().at(0);
    o.target = parser.positionalArguments().at(1);
    bool ok = false;
    o.overviewWidth = parser.value(width).toInt(&ok);
    if (!ok) {
        err << "zemira-new: --width bir tam sayı olmalı, \"" << parser.value(width) << "\" değil.\n";
        return 2;
    }
    if (parser.isSet(grid)) {
        static const QRegularExpression pattern(QStringLiteral("^(\\d{1,5})[xX×](\\d{1,5})$"));
        const QRegularExpressionMatch m = pattern.match(parser.value(grid));
        if (!m.hasMatch()) {
            err << "zemira-new: --grid SÜTUNxSATIR biçiminde olmalı (ör. 4x3), \"" << parser.value(grid)
                << "\" değil.\n";
            return 2;
        }
        o.grid = QSize(m.captured(1).toInt(), m.captured(2).toInt());
    }
    o.typesFile = parser.value(types);
    o.force = parser.isSet(force);
    o.link = parser.isSet(link);

    // Progress overwrites one line on a terminal and writes one line a step into a log.
    const bool terminal = isatty(STDERR_FILENO);
    QString lastStep;
    const NewRegionProgress progress = [&](const QString &step, int done, int total) {
        if (terminal)
            err << '\r' << step << ": " << done << " / " << total << Qt::flush;
        else if (done == total)
            err << step << ": " << done << " / " << total << '\n' << Qt::flush;
        if (terminal && done == total && step != lastStep)
            err << '\n';
        lastStep = step;
    };
    try {
        const NewRegion region = makeNewRegion(o, progress);
        if (o.grid && region.method != QStringLiteral("ızgara"))
            err << "zemira-new: --grid kullanılmadı; paftalar " << region.method << " ile yerleştirildi.\n";
        out << region.dir << '\n'
            << region.sheets << " pafta, " << region.method << " ile yerleştirildi"
            << (region.georeferenced ? "; konum bilgisi georef tablosunda.\n" : ".\n")
            << Qt::flush;
    } catch (const Error &e) {
        if (terminal)
            err << '\n';
        err << "zemira-new: " << e.text() << '\n';
        return 1;
    }
    return 0;
}
