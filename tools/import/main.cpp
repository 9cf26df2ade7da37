#include "importer.h"
#include "framework/errors.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Bir Access veritabanını (.mdb, .accdb) ya da bir Zemira SQLite dosyasını yeni bir SQLite\n"
        "dosyasına ya da bir PostgreSQL veritabanına (postgresql://kullanıcı@sunucu:port/ad)\n"
        "aktarır; sonra aktarılan yerleri denetler. Parolayı komut satırına yazmayın: ~/.pgpass,\n"
        "PGPASSFILE, bir servis dosyası (postgresql://?service=ad) ya da PGPASSWORD kullanın."));
    parser.addHelpOption();
    const QCommandLineOption table(QStringList{"t", "table"},
                                   QStringLiteral("Yalnız bu tabloyu aktarır (birden çok kez verilebilir); "
                                                  "verilmezse harita, tipler ve pafta."),
                                   QStringLiteral("ad"));
    const QCommandLineOption overwrite(QStringLiteral("overwrite"),
                                       QStringLiteral("Var olan hedefin (dosyanın ya da tabloların) üzerine yazar."));
    parser.addOption(table);
    parser.addOption(overwrite);
    parser.addPositionalArgument(QStringLiteral("KAYNAK"), QStringLiteral(".mdb, .accdb ya da SQLite dosyası"));
    parser.addPositionalArgument(QStringLiteral("HEDEF"), QStringLiteral("yeni SQLite dosyası ya da PostgreSQL adresi"));
    parser.process(app);

    QTextStream out(stdout);
    QTextStream err(stderr);
    if (parser.positionalArguments().size() != 2) {
        err << "zemira-import: KAYNAK ve HEDEF gerekli.\n\n" << parser.helpText();
        return 2;
    }
    ImportOptions options;
    options.source = parser.positionalArguments().at(0);
    options.target = parser.positionalArguments().at(1);
    options.tables = parser.values(table);
    options.overwrite = parser.isSet(overwrite);

    // Progress overwrites one line on a terminal and stays out of logs.
    const bool terminal = isatty(STDERR_FILENO);
    const ImportProgress progress = [&](const QString &name, qint64 done, qint64 total) {
        if (terminal)
            err << '\r' << name << ": " << done << " / " << total << Qt::flush;
    };
    try {
        const QStringList lines = importTables(options, progress);
        if (terminal)
            err << '\r' << QString(60, ' ') << '\r' << Qt::flush;
        for (const QString &line : lines)
            out << line << '\n';
        out << checkTarget(options.target) << Qt::flush;
    } catch (const Error &e) {
        if (terminal)
            err << '\n';
        err << "zemira-import: " << e.text() << '\n';
        return 1;
    }
    return 0;
}
