// Our BMP and icon decoders and the GIF checks around Qt's reader on any bytes, the format
// chosen by the first bytes as a seed's extension would: an image, or an Error.
#include "framework/errors.h"
#include "framework/picture_decoders.h"

#include <QGuiApplication>

#include <cstring>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QGuiApplication(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *format = size >= 2 && std::memcmp(data, "BM", 2) == 0   ? "bmp"
                         : size >= 3 && std::memcmp(data, "GIF", 3) == 0 ? "gif"
                                                                          : "ico";
    const PictureFile file{QStringLiteral("fuzz.") + QLatin1String(format),
                           QByteArray(reinterpret_cast<const char *>(data), qsizetype(size))};
    QString warning;
    try {
        if (*format == 'b')
            decodeBmp(file, &warning);
        else if (*format == 'g')
            decodeGif(file, &warning);
        else
            decodeIcon(file, &warning);
    } catch (const Error &) {
    }
    return 0;
}
