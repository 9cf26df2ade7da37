#include "map/sheetneighbours.h"

QList<int> sheetNeighbours(const std::vector<paftarec> &sheets, int index)
{
    QList<int> found;
    if (index < 0 || size_t(index) >= sheets.size())
        return found;
    const paftarec &a = sheets[size_t(index)];
    // 64-bit: px0 + px of stored values may pass 2^31.
    const auto touches = [](qint64 start1, qint64 length1, qint64 start2, qint64 length2) {
        return start1 <= start2 + length2 && start2 <= start1 + length1;
    };
    for (size_t i = 0; i < sheets.size(); ++i) {
        const paftarec &b = sheets[i];
        if (int(i) != index && touches(a.px0, a.px, b.px0, b.px) && touches(a.py0, a.py, b.py0, b.py))
            found.append(int(i));
    }
    return found;
}
