#pragma once
#include <QString>

// The SQL texts the place search and the nearby check send, built text for text.
namespace statements {

// The longest text a statement carries.
constexpr qsizetype kMaxTextLength = 10000;

// Encloses in single quotes, doubling every single quote inside.
QString quoted(const QString &text);

// The search over harita for the texts of the sheet, type and name boxes.
// Throws Error, before any statement exists, for a text holding a NUL or longer than
// kMaxTextLength; so does nearby() for its sheet.
// A narrowing condition (see searchindex::narrowing) joins the name's LIKE.
QString search(const QString &sheet, const QString &type, const QString &name, const QString &narrowing = {});
// The search's WHERE condition alone.
QString searchCondition(const QString &sheet, const QString &type, const QString &name, const QString &narrowing = {});

// Places of one sheet inside the square of half-width r around (x, y), bounds inclusive.
QString nearby(const QString &sheet, int x, int y, int r);

} // namespace statements
