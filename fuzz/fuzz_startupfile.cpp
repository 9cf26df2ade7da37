// The start-up file reader: any bytes give eight lines, and converting them ends in a value or an Error.
#include "app/startupfile.h"
#include "framework/errors.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QStringList lines = readStartupLines(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (lines.size() != 8)
        std::abort();
    StartupConfig config;
    try {
        parseStartupLines(lines, config);
    } catch (const Error &) {
    }
    return 0;
}
