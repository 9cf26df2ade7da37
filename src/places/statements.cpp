#include "statements.h"
#include "framework/textconv.h"

namespace statements {

namespace {
// A box counts as empty when its trimmed text is empty or exactly "*".
bool isEmptyCondition(const QString &trimmed)
{
    return trimmed.isEmpty() || trimmed == QLatin1String("*");
}
}

QString quoted(const QString &text)
{
    QString inner = text;
    inner.replace('\'', QLatin1String("''"));
    return '\'' + inner + '\'';
}

QString search(const QString &sheet, const QString &type, const QString &name)
{
    const QString s = trimText(sheet);
    const QString t = trimText(type);
    const QString n = trimText(name);
    QString sql = isEmptyCondition(s) ? QStringLiteral("SELECT * FROM harita WHERE tip LIKE ")
                                      : QStringLiteral("SELECT * FROM harita WHERE pafta LIKE ") + s +
                                            QStringLiteral(" AND tip LIKE ");
    sql += (isEmptyCondition(t) ? quoted(QStringLiteral("%")) : quoted(t)) + ' ';
    if (!isEmptyCondition(n))
        sql += QStringLiteral(" AND isim LIKE ") + quoted('%' + n + '%');
    sql += QStringLiteral("  ORDER BY PX");
    return sql;
}

QString nearby(const QString &sheet, int x, int y, int r)
{
    return QStringLiteral("SELECT * FROM harita WHERE  pafta=%1 AND PX >=%2 AND PX <=%3 AND PY >=%4 AND PY <=%5")
        .arg(quoted(sheet))
        .arg(x - r)
        .arg(x + r)
        .arg(y - r)
        .arg(y + r);
}

} // namespace statements
