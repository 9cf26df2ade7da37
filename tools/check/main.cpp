#include "duplicates.h"
#include "framework/errors.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Bir veri kümesini denetler: zemira-import'un denetimi, ardından olası çift kayıtlar, yani\n"
        "bölgede (pafta kenarlarının iki yanında da) birbirine yakın, adları aynı ya da neredeyse\n"
        "aynı yerler; en olasıdan başlayarak. Hiçbir şeyi değiştirmez."));
    parser.addHelpOption();
    const DuplicateOptions defaults;
    const QCommandLineOption distance(QStringLiteral("distance"),
                                      QStringLiteral("Bölgede en çok bu kadar piksel arayla duran yerler (varsayılan %1).")
                                          .arg(defaults.distance),
                                      QStringLiteral("N"));
    const QCommandLineOption maxEdits(QStringLiteral("max-edits"),
                                      QStringLiteral("Adlarda en çok bu kadar harf farkı; her dört harfe en çok bir "
                                                     "(varsayılan %1).")
                                          .arg(defaults.maxEdits),
                                      QStringLiteral("K"));
    const QCommandLineOption limit(QStringLiteral("limit"),
                                   QStringLiteral("En çok bu kadar çift listelenir; 0 hepsini listeler (varsayılan %1).")
                                       .arg(defaults.limit),
                                   QStringLiteral("N"));
    parser.addOptions({distance, maxEdits, limit});
    parser.addPositionalArgument(QStringLiteral("VERİ"),
                                 QStringLiteral("veri klasörü (HARITA.TXT'nin 2. satırı), SQLite dosyası ya da "
                                                "PostgreSQL adresi"));
    parser.process(app);

    QTextStream out(stdout);
    QTextStream err(stderr);
    if (parser.positionalArguments().size() != 1) {
        err << "zemira-check: VERİ gerekli.\n\n" << parser.helpText();
        return 2;
    }
    DuplicateOptions options;
    for (const auto &[option, field] : {std::pair{&distance, &options.distance}, std::pair{&maxEdits, &options.maxEdits},
                                        std::pair{&limit, &options.limit}}) {
        if (!parser.isSet(*option))
            continue;
        bool ok = false;
        *field = parser.value(*option).toInt(&ok);
        if (!ok || *field < 0) {
            err << "zemira-check: --" << option->names().constFirst() << " sıfır ya da artı bir tam sayı ister, \""
                << parser.value(*option) << "\" değil.\n";
            return 2;
        }
    }
    try {
        out << dataSetCheck(checkTargetOf(parser.positionalArguments().constFirst()), options) << Qt::flush;
    } catch (const Error &e) {
        err << "zemira-check: " << e.text() << '\n';
        return 1;
    }
    return 0;
}
