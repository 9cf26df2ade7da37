// The Turkish LIKE of search on any pattern, text and escape: a text always matches itself, and
// on printable ASCII, where folding is plain case-blindness, it agrees with SQLite's own LIKE.
#include "data/turkishfold.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <sqlite3.h>

#include <cstdlib>
#include <string>

namespace {

sqlite3 *openDatabase(bool turkish)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open(":memory:", &db) != SQLITE_OK)
        std::abort();
    if (turkish)
        turkishfold::installSqliteLike(db);
    return db;
}

// 1 or 0 for a match, -1 for an error.
int like(sqlite3 *db, const std::string &text, const std::string &pattern, const std::string *escape)
{
    sqlite3_stmt *statement = nullptr;
    const char *sql = escape ? "select ?1 like ?2 escape ?3" : "select ?1 like ?2";
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
        std::abort();
    sqlite3_bind_text(statement, 1, text.data(), int(text.size()), SQLITE_STATIC);
    sqlite3_bind_text(statement, 2, pattern.data(), int(pattern.size()), SQLITE_STATIC);
    if (escape)
        sqlite3_bind_text(statement, 3, escape->data(), int(escape->size()), SQLITE_STATIC);
    const int result = sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int(statement, 0) : -1;
    sqlite3_finalize(statement);
    return result;
}

bool printableAscii(const std::string &s)
{
    for (unsigned char c : s)
        if (c < 0x20 || c > 0x7e)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static sqlite3 *const turkish = openDatabase(true);
    static sqlite3 *const plain = openDatabase(false);
    FuzzedDataProvider input(data, size);
    const bool withEscape = input.ConsumeBool();
    const std::string escape = withEscape ? input.ConsumeRandomLengthString(4) : std::string();
    const std::string pattern = input.ConsumeRandomLengthString();
    const std::string text = input.ConsumeRemainingBytesAsString();
    const std::string *escapeArg = withEscape ? &escape : nullptr;

    const int result = like(turkish, text, pattern, escapeArg);
    if (!withEscape && like(turkish, text, text, nullptr) != 1)
        std::abort();
    if (printableAscii(text) && printableAscii(pattern) && printableAscii(escape)
        && result != like(plain, text, pattern, escapeArg))
        std::abort();
    return 0;
}
