#include "turkishfold.h"
#include "framework/errors.h"

#include <QChar>
#include <QList>
#include <sqlite3.h>

#include <array>
#include <string>
#include <vector>

namespace turkishfold {
namespace {

// Latin, combining marks, Greek and Cyrillic; everything above folds to itself.
constexpr uint32_t kTableSize = 0x500;
constexpr uint32_t kDropped = 0xFFFFFFFF;

uint32_t computeFold(uint32_t cp)
{
    const QChar::Category category = QChar::category(cp);
    if (category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining
        || category == QChar::Mark_Enclosing)
        return kDropped;
    uint32_t c = cp;
    for (int round = 0; round < 4; ++round) {
        c = QChar::toLower(c);
        if (QChar::decompositionTag(c) != QChar::Canonical)
            break;
        c = QChar::decomposition(c).at(0).unicode();
    }
    // Dotless ı has no decomposition; the Turkish rule makes it plain i.
    return c == 0x131 ? uint32_t('i') : c;
}

struct FoldTable {
    std::array<uint32_t, kTableSize> map;
    FoldTable()
    {
        for (uint32_t cp = 0; cp < kTableSize; ++cp)
            map[cp] = computeFold(cp);
    }
};
const FoldTable table;

// The upper half of Windows-1254; holes stay at their byte value.
constexpr std::array<uint16_t, 128> kCp1254 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152,
    0x008D, 0x008E, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122,
    0x0161, 0x203A, 0x0153, 0x009D, 0x009E, 0x0178, 0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6,
    0x00A7, 0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF, 0x00B0, 0x00B1, 0x00B2, 0x00B3,
    0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF, 0x00C0,
    0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7, 0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD,
    0x00CE, 0x00CF, 0x011E, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7, 0x00D8, 0x00D9, 0x00DA,
    0x00DB, 0x00DC, 0x0130, 0x015E, 0x00DF, 0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7,
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF, 0x011F, 0x00F1, 0x00F2, 0x00F3, 0x00F4,
    0x00F5, 0x00F6, 0x00F7, 0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x0131, 0x015F, 0x00FF,
};

inline bool continuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

inline uint32_t decode(const unsigned char *&p, const unsigned char *end)
{
    const unsigned char c = *p;
    if (c < 0x80) {
        ++p;
        return c;
    }
    if (c >= 0xC2 && c < 0xE0 && end - p >= 2 && continuation(p[1])) {
        const uint32_t cp = (uint32_t(c & 0x1F) << 6) | (p[1] & 0x3F);
        p += 2;
        return cp;
    }
    if (c >= 0xE0 && c < 0xF0 && end - p >= 3 && continuation(p[1]) && continuation(p[2])) {
        const uint32_t cp = (uint32_t(c & 0x0F) << 12) | (uint32_t(p[1] & 0x3F) << 6) | (p[2] & 0x3F);
        if (cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF)) {
            p += 3;
            return cp;
        }
    }
    if (c >= 0xF0 && c < 0xF5 && end - p >= 4 && continuation(p[1]) && continuation(p[2])
        && continuation(p[3])) {
        const uint32_t cp = (uint32_t(c & 0x07) << 18) | (uint32_t(p[1] & 0x3F) << 12)
            | (uint32_t(p[2] & 0x3F) << 6) | (p[3] & 0x3F);
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            p += 4;
            return cp;
        }
    }
    ++p;
    return kCp1254[c - 0x80];
}

inline uint32_t folded(uint32_t cp)
{
    return cp < kTableSize ? table.map[cp] : cp;
}

// Pattern tokens beside folded code points; none of them is a code point.
constexpr uint32_t kAny = 0xFFFFFFF0;
constexpr uint32_t kOne = 0xFFFFFFF1;
constexpr uint32_t kEnd = 0xFFFFFFF2;
constexpr uint32_t kNever = 0xFFFFFFF3;

// The pattern as tokens. It is kept as SQLite's auxiliary data of the pattern
// argument, so each LIKE of a statement keeps its own for as long as its pattern
// stays the same, and no row compiles or allocates.
struct CompiledPattern {
    uint32_t escape = 0;
    std::vector<uint32_t> tokens;
};

void compile(CompiledPattern &compiled, const unsigned char *pattern, int bytes, uint32_t escape)
{
    compiled.escape = escape;
    std::vector<uint32_t> &tokens = compiled.tokens;
    const unsigned char *p = pattern;
    const unsigned char *const end = pattern + bytes;
    while (p < end) {
        uint32_t cp = decode(p, end);
        if (escape && cp == escape) {
            // A pattern that ends in the escape character matches nothing, as in SQLite.
            if (p >= end) {
                tokens.push_back(kNever);
                break;
            }
            cp = folded(decode(p, end));
        } else if (cp == '%') {
            if (tokens.empty() || tokens.back() != kAny)
                tokens.push_back(kAny);
            continue;
        } else if (cp == '_') {
            cp = kOne;
        } else {
            cp = folded(cp);
        }
        if (cp != kDropped)
            tokens.push_back(cp);
    }
    tokens.push_back(kEnd);
}

inline uint32_t nextChar(const unsigned char *&s, const unsigned char *end)
{
    while (s < end) {
        const uint32_t f = folded(decode(s, end));
        if (f != kDropped)
            return f;
    }
    return kEnd;
}

// Greedy matching with one backtrack point at the last %: later % signs supersede
// earlier ones, so this is exact for % and _.
bool likeMatch(const uint32_t *p, const unsigned char *s, const unsigned char *const se)
{
    const uint32_t *starP = nullptr;
    const unsigned char *starS = nullptr;
    for (;;) {
        if (*p == kAny) {
            if (*++p == kEnd)
                return true;
            starP = p;
            starS = s;
        }
        const unsigned char *sNext = s;
        const uint32_t c = nextChar(sNext, se);
        if (*p == kEnd) {
            if (c == kEnd)
                return true;
        } else if (c != kEnd && (*p == c || *p == kOne)) {
            ++p;
            s = sNext;
            continue;
        }
        if (!starP || nextChar(starS, se) == kEnd)
            return false;
        p = starP;
        s = starS;
    }
}

void sqliteLike(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    const unsigned char *pattern = sqlite3_value_text(argv[0]);
    const int patternBytes = sqlite3_value_bytes(argv[0]);
    const unsigned char *text = sqlite3_value_text(argv[1]);
    const int textBytes = sqlite3_value_bytes(argv[1]);
    if (!pattern || !text)
        return;
    if (patternBytes > sqlite3_limit(sqlite3_context_db_handle(context), SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1)) {
        sqlite3_result_error(context, "LIKE or GLOB pattern too complex", -1);
        return;
    }
    uint32_t escape = 0;
    if (argc == 3) {
        const unsigned char *e = sqlite3_value_text(argv[2]);
        const int escapeBytes = sqlite3_value_bytes(argv[2]);
        if (!e)
            return;
        const unsigned char *q = e;
        if (escapeBytes > 0)
            escape = decode(q, e + escapeBytes);
        if (escapeBytes == 0 || q != e + escapeBytes) {
            sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
            return;
        }
    }
    // SQLite drops the kept tokens whenever the pattern changes; the escape may change alone.
    auto *kept = static_cast<CompiledPattern *>(sqlite3_get_auxdata(context, 0));
    if (kept && kept->escape == escape) {
        sqlite3_result_int(context, likeMatch(kept->tokens.data(), text, text + textBytes));
        return;
    }
    auto *compiled = new CompiledPattern;
    compile(*compiled, pattern, patternBytes, escape);
    sqlite3_result_int(context, likeMatch(compiled->tokens.data(), text, text + textBytes));
    // SQLite may free it at once, so it is handed over last.
    sqlite3_set_auxdata(context, 0, compiled, [](void *p) { delete static_cast<CompiledPattern *>(p); });
}

void appendUtf8(std::string &out, uint32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

void sqliteFold(sqlite3_context *context, int, sqlite3_value **argv)
{
    const unsigned char *text = sqlite3_value_text(argv[0]);
    if (!text)
        return;
    const unsigned char *const end = text + sqlite3_value_bytes(argv[0]);
    std::string out;
    for (uint32_t c; (c = nextChar(text, end)) != kEnd;)
        appendUtf8(out, c);
    sqlite3_result_text(context, out.data(), int(out.size()), SQLITE_TRANSIENT);
}

} // namespace

void foldTable(QString &from, QString &to)
{
    // translate() looks each letter up along from, so the letters names are mostly
    // made of come first, mapped even where they fold to themselves; without them
    // every plain letter walked all 600 entries.
    static const QString common = QStringLiteral(
        "aeinrlkdmuytsobzgcvhpfjwxq ıüşçğöAEIİNRLKDMUYTSOBZGCVHPFJWXQÜŞÇĞÖ0123456789-.'()");
    from.clear();
    to.clear();
    QString dropped;
    for (const QChar c : common) {
        from += c;
        to += QChar(char16_t(table.map[c.unicode()]));
    }
    for (uint32_t cp = 0; cp < kTableSize; ++cp) {
        const uint32_t f = table.map[cp];
        if (common.contains(QChar(char16_t(cp))))
            continue;
        if (f == kDropped) {
            dropped += QChar(char16_t(cp));
        } else if (f != cp) {
            from += QChar(char16_t(cp));
            to += QString::fromUcs4(reinterpret_cast<const char32_t *>(&f), 1);
        }
    }
    from += dropped;
}

std::u32string foldText(QStringView text)
{
    std::u32string out;
    out.reserve(size_t(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        uint32_t cp = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        const uint32_t f = folded(cp);
        if (f != kDropped)
            out += char32_t(f);
    }
    return out;
}

QString fold(const QString &text)
{
    return QString::fromStdU32String(foldText(text));
}

void installSqliteLike(sqlite3 *db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    for (int argc : {2, 3})
        if (sqlite3_create_function_v2(db, "like", argc, flags, nullptr, sqliteLike, nullptr, nullptr, nullptr)
            != SQLITE_OK)
            throw Error(QString::fromUtf8(sqlite3_errmsg(db)));
    if (sqlite3_create_function_v2(db, "zemira_fold", 1, flags, nullptr, sqliteFold, nullptr, nullptr, nullptr)
        != SQLITE_OK)
        throw Error(QString::fromUtf8(sqlite3_errmsg(db)));
}

} // namespace turkishfold
