#include "places/sheetplaces.h"
#include "framework/dataset.h"
#include "places/statements.h"

void markPlacesOnSheet(Connection &connection, const QString &sheet, const std::function<void(int px, int py)> &mark)
{
    Dataset rows(QStringLiteral("qHarita"), connection);
    rows.setSql(
        QStringLiteral("select px, py from harita where pafta = %1 order by px").arg(statements::quoted(sheet)));
    rows.open();
    for (int row = 0; row < rows.recordCount(); ++row) {
        const int x = rows.integerAt(row, 0);
        mark(x, rows.integerAt(row, 1));
    }
}
