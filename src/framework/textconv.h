#pragma once
#include <QString>
#include <cstdint>

// Signed 32-bit text to integer: leading blanks, a sign, "$", "x" or "0x" hexadecimal.
// Anything else (trailing blanks, an empty text) raises "'%s' is not a valid integer value".
int32_t strToInt(const QString &text);
bool tryStrToInt(const QString &text, int32_t &value);

// Rounds to the nearest integer, halves to the even neighbour.
int64_t roundHalfEven(double value);

// Removes leading and trailing blanks and control characters (anything up to U+0020).
QString trimText(const QString &text);
