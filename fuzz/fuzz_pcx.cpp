// The PCX decoder on any bytes: an image of the claimed size, or an Error.
#include "framework/errors.h"
#include "framework/picture_decoders.h"

#include <QtEndian>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const PictureFile file{QStringLiteral("fuzz.pcx"), QByteArray(reinterpret_cast<const char *>(data), qsizetype(size))};
    QString warning;
    try {
        const QImage image = decodePcx(file, &warning);
        const int width = qFromLittleEndian<quint16>(data + 8) - qFromLittleEndian<quint16>(data + 4) + 1;
        if (image.width() != width)
            std::abort();
    } catch (const Error &) {
    }
    return 0;
}
