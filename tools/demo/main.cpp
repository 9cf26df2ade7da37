#include "demo_region.h"
#include "framework/errors.h"

#include <QCoreApplication>
#include <QCommandLineParser>
#include <QGuiApplication>
#include <cstdio>
#include <type_traits>

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
    bool numbersOk = true;
    auto number = [&](const char *name, auto &field) {
        if (!parser.isSet(name))
            return;
        bool ok = false;
        const QString text = parser.value(name);
        if constexpr (std::is_same_v<std::remove_reference_t<decltype(field)>, unsigned>)
            field = text.toUInt(&ok);
        else
            field = text.toInt(&ok);
        if (!ok) {
            std::fprintf(stderr, "zemira-demo: --%s needs a whole number, not \"%s\"\n", name, qPrintable(text));
            numbersOk = false;
        }
    };
    number("columns", o.columns);
    number("rows", o.rows);
    number("sheet-width", o.sheetWidth);
    number("sheet-height", o.sheetHeight);
    number("places", o.places);
    number("places-on-first", o.placesOnFirstSheet);
    number("scale-divisor", o.scaleDivisor);
    number("seed", o.seed);
    if (!numbersOk)
        return 2;
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
