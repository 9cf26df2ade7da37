// The integer conversion and trimming of any text, checked against Qt's own conversion.
#include "framework/errors.h"
#include "framework/textconv.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

namespace {

// Blanks, a sign and decimal digits only: the text Qt's toLongLong reads the same way.
bool plainDecimal(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    if (i == text.size())
        return false;
    for (; i < text.size(); ++i)
        if (text[i] < u'0' || text[i] > u'9')
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    int32_t value = 0;
    const bool ok = tryStrToInt(text, value);
    try {
        if (strToInt(text) != value || !ok)
            std::abort();
    } catch (const Error &) {
        if (ok)
            std::abort();
    }
    if (plainDecimal(text)) {
        bool qtOk = false;
        const qlonglong expected = text.trimmed().toLongLong(&qtOk, 10);
        const bool fits = qtOk && expected >= INT32_MIN && expected <= INT32_MAX;
        // Qt refuses a run of digits past 64 bits that may still be zero-padded; only compare what it read.
        if (qtOk && (ok != fits || (ok && value != expected)))
            std::abort();
    }

    const QString trimmed = trimText(text);
    if (!trimmed.isEmpty() && (trimmed.front().unicode() <= ' ' || trimmed.back().unicode() <= ' '))
        std::abort();
    if (!text.contains(trimmed))
        std::abort();
    return 0;
}
