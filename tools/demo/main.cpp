#include "demo_region.h"
#include "framework/errors.h"

#include <QCoreApplication>
#include <QCommandLineParser>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    // Draws on images only: it must run without a display too.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Writes a synthetic Zemira data directory.");
    parser.addHelpOption();
    parser.addPositionalArgument("DIR", "the data directory to write");
    parser.addOptions({
        {"columns", "sheets across", "n"},
        {"rows", "sheets down", "n"},
        {"sheet-width", "sheet width in stored pixels", "px"},
        {"sheet-height", "sheet height in stored pixels", "px"},
        {"places", "number of places", "n"},
        {"places-on-first", "places on the first sheet", "n"},
        {"scale-divisor", "images at 1/n of the stored size", "n"},
        {"jpeg-only", "every sheet a JPEG"},
        {"no-symbols", "do not draw places on the sheets"},
        {"seed", "random seed", "n"},
    });
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);

    DemoOptions o;
    auto intOption = [&](const char *name, int &field) {
        if (parser.isSet(name))
            field = parser.value(name).toInt();
    };
    intOption("columns", o.columns);
    intOption("rows", o.rows);
    intOption("sheet-width", o.sheetWidth);
    intOption("sheet-height", o.sheetHeight);
    intOption("places", o.places);
    intOption("places-on-first", o.placesOnFirstSheet);
    intOption("scale-divisor", o.scaleDivisor);
    if (parser.isSet("seed"))
        o.seed = parser.value("seed").toUInt();
    o.mixedFormats = !parser.isSet("jpeg-only");
    o.drawPlaces = !parser.isSet("no-symbols");
    try {
        const DemoRegion region = makeDemoRegion(parser.positionalArguments().first(), o);
        std::printf("%s\n", qPrintable(region.dir));
    } catch (const Error &e) {
        std::fprintf(stderr, "zemira-demo: %s\n", qPrintable(e.text()));
        return 1;
    }
    return 0;
}
