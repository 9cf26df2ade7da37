#include "places/sheetplaces.h"
#include "framework/dataset.h"

const std::vector<int> &SheetPlacesIndex::rowsOn(const Dataset &places, const QString &sheet)
{
    if (!m_valid) {
        m_bySheet.clear();
        const int pafta = places.fieldIndex(QStringLiteral("pafta"));
        const int rows = places.recordCount();
        for (int row = 0; row < rows; ++row) {
            const QVariant num = places.valueAt(row, pafta);
            if (!num.isNull())
                m_bySheet[num.toString()].push_back(row);
        }
        m_valid = true;
    }
    static const std::vector<int> none;
    const auto it = m_bySheet.constFind(sheet);
    return it == m_bySheet.constEnd() ? none : *it;
}
