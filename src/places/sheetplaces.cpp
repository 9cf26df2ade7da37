#include "places/sheetplaces.h"
#include "framework/dataset.h"

const std::vector<SheetPlace> &SheetPlacesIndex::placesOn(const Dataset &places, const QString &sheet)
{
    if (!m_valid) {
        m_bySheet.clear();
        const int pafta = places.fieldIndex(QStringLiteral("pafta"));
        const int px = places.fieldIndex(QStringLiteral("px"));
        const int py = places.fieldIndex(QStringLiteral("py"));
        const int rows = places.recordCount();
        for (int row = 0; row < rows; ++row) {
            const QVariant num = places.valueAt(row, pafta);
            if (num.isNull())
                continue;
            m_bySheet[num.toString()].push_back({places.valueAt(row, px).toInt(), places.valueAt(row, py).toInt()});
        }
        m_valid = true;
    }
    static const std::vector<SheetPlace> none;
    const auto it = m_bySheet.constFind(sheet);
    return it == m_bySheet.constEnd() ? none : *it;
}
