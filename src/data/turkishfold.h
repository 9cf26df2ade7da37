#pragma once
#include <QString>
#include <QStringView>
#include <cstdint>
#include <string>

struct sqlite3;

// Turkish, case- and diacritic-blind comparison: I ı İ i are one letter, "Ş" is "s",
// "Ü" is "u", combining marks vanish. One code point folds to one code point or to
// nothing, so the same mapping can be written as a PostgreSQL translate().
namespace turkishfold {

// Every code point that folds to something else, after common letters that may fold
// to themselves: from[i] becomes to[i]; the code points of from past the end of to
// are dropped (translate()'s rule).
void foldTable(QString &from, QString &to);

// The text as search sees it: two names are the same when their folds are equal.
QString fold(const QString &text);
// The same, one code point a character.
std::u32string foldText(QStringView text);

// Replaces SQLite's like() (2 and 3 arguments) on this handle: both sides folded,
// % and _ keep their meaning, ESCAPE works; bytes that are not valid UTF-8 are read
// as Windows-1254, the legacy Turkish code page. Adds zemira_fold(text): the text as
// that like() compares it, in UTF-8.
void installSqliteLike(sqlite3 *db);

} // namespace turkishfold
