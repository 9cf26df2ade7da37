#include "places/sheetplaces.h"
#include "framework/dataset.h"
#include "places/statements.h"

namespace {

// A column's values that may land in [low, high] once read: the numbers one wider on each
// side (a fraction is rounded), a null (read as 0) and anything that is not a number (the
// integer conversion decides it).
QString mayLandIn(const QString &column, qint64 low, qint64 high)
{
    return QStringLiteral("(%1 between %2 and %3 or %1 is null or not %1 between -1e300 and 1e300)")
        .arg(column)
        .arg(low - 1)
        .arg(high + 1);
}

} // namespace

void markPlacesOnSheet(Connection &connection, const QString &sheet, QRect area,
                       const std::function<void(int px, int py)> &mark)
{
    Dataset rows(QStringLiteral("qHarita"), connection);
    rows.setSql(QStringLiteral("select px, py from harita where pafta = %1 and %2 and %3 order by px")
                    .arg(statements::quoted(sheet),
                         mayLandIn(QStringLiteral("px"), area.left(), area.right()),
                         mayLandIn(QStringLiteral("py"), area.top(), area.bottom())));
    rows.open();
    for (int row = 0; row < rows.recordCount(); ++row) {
        const int x = rows.integerAt(row, 0);
        mark(x, rows.integerAt(row, 1));
    }
}
