#include "textconv.h"
#include "errors.h"

#include <cmath>

bool tryStrToInt(const QString &text, int32_t &value)
{
    int i = 0;
    const int n = text.size();
    while (i < n && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < n && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i < n && (text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= n)
        return false;
    // Decimal is range-checked as signed; hexadecimal wraps through 32 bits unsigned.
    uint64_t magnitude = 0;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        magnitude = magnitude * base + digit;
        if (base == 10 && magnitude > (negative ? 2147483648ULL : 2147483647ULL))
            return false;
        if (base == 16 && magnitude > 0xFFFFFFFFULL)
            return false;
    }
    const uint32_t bits = static_cast<uint32_t>(magnitude);
    value = static_cast<int32_t>(negative ? 0U - bits : bits);
    return true;
}

int32_t strToInt(const QString &text)
{
    int32_t value = 0;
    if (!tryStrToInt(text, value))
        throw Error(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

int64_t roundHalfEven(double value)
{
    return static_cast<int64_t>(std::nearbyint(value)); // the default rounding mode is to even
}

QString trimText(const QString &text)
{
    int begin = 0;
    int end = text.size();
    while (begin < end && text[begin].unicode() <= ' ')
        ++begin;
    while (end > begin && text[end - 1].unicode() <= ' ')
        --end;
    return text.mid(begin, end - begin);
}
