// Our JPEG glue around libjpeg on any bytes: an image, or an Error.
#include "framework/errors.h"
#include "framework/picture_decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const PictureFile file{QStringLiteral("fuzz.jpg"), QByteArray(reinterpret_cast<const char *>(data), qsizetype(size))};
    QString warning;
    try {
        decodeJpeg(file, &warning);
    } catch (const Error &) {
    }
    return 0;
}
