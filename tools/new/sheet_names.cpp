#include "sheet_names.h"

#include <QRegularExpression>

// The convention, as the HKMO's note on sheet division states it (summarised at
// https://www.cografya.gen.tr/egitim/harita/pafta.htm): 1:100,000 sheets are 30' × 30';
// their rows are letters from 44° N southwards in the Latin alphabet without Q, W and X,
// their columns numbers eastwards. A 1:100,000 sheet splits into four 1:50,000 sheets
// a, b, c, d and each of those into four 1:25,000 sheets 1, 2, 3, 4, both "starting in the
// north-west, clockwise": a (1) north-west, b (2) north-east, c (3) south-east, d (4) south-west.
// A published example (Bulletin of MTA, Ayaş springs study, 1969): the springs 23 km west
// of Ayaş lie on "Bolu H28-d3". H28 spans 40°-40.5° N, 32°-32.5° E; Ayaş (40.02° N,
// 32.34° E) is on H28-c4, and clockwise d3 is its western neighbour, as the text has it
// (read row by row, d would be the quarter of Ayaş itself).

namespace {

constexpr char16_t RowLetters[] = u"ABCDEFGHIJKLMNOPRSTUVYZ";

// Column and row offsets of a quarter, clockwise from the north-west.
constexpr int QuarterColumn[4] = {0, 1, 1, 0};
constexpr int QuarterRow[4] = {0, 0, 1, 1};

} // namespace

std::optional<NationalSheet> nationalSheet(const QString &baseName)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"((?:^|[\s_.-])([A-Za-zİı])(\d{2})(?:[\s_-]?([a-dA-D])(?:[\s_-]?([1-4]))?)?$)"));
    const QRegularExpressionMatch m = pattern.match(baseName);
    if (!m.hasMatch())
        return std::nullopt;
    QChar letter = m.captured(1).at(0).toUpper();
    if (letter == u'İ' || letter == u'ı' || letter == u'I')
        letter = u'I';
    const QString letters = QString::fromUtf16(RowLetters);
    const int rowOf100k = int(letters.indexOf(letter));
    if (rowOf100k < 0)
        return std::nullopt;
    NationalSheet s;
    s.column = m.captured(2).toInt();
    s.row = rowOf100k;
    s.name = QString(letter) + m.captured(2);
    const QString half = m.captured(3).toLower(), quarter = m.captured(4);
    if (!half.isEmpty()) {
        const int q = half.at(0).unicode() - u'a';
        s.level = 1;
        s.column = 2 * s.column + QuarterColumn[q];
        s.row = 2 * s.row + QuarterRow[q];
        s.name += u'-' + half;
    }
    if (!quarter.isEmpty()) {
        const int q = quarter.toInt() - 1;
        s.level = 2;
        s.column = 2 * s.column + QuarterColumn[q];
        s.row = 2 * s.row + QuarterRow[q];
        s.name += quarter;
    }
    return s;
}
