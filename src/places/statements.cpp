#include "statements.h"
#include "framework/errors.h"
#include "framework/textconv.h"

namespace statements {

namespace {
// A box counts as empty when its trimmed text is empty or exactly "*".
bool isEmptyCondition(const QString &trimmed)
{
    return trimmed.isEmpty() || trimmed == QLatin1String("*");
}

// Both back-ends must answer alike: a NUL would cut the statement short on either,
// and SQLite refuses a LIKE pattern over 50,000 bytes (at most three per character).
QString checked(const QString &text)
{
    if (text.contains(QChar(0)))
        throw Error(QStringLiteral("Metin NUL karakteri (kodu 0) içeremez; sorgu gönderilmedi."));
    if (text.size() > kMaxTextLength)
        throw Error(QStringLiteral("Metin en çok %1 karakter olabilir (bu metin %2 karakter); sorgu gönderilmedi.")
                        .arg(kMaxTextLength)
                        .arg(text.size()));
    return text;
}
}

QString quoted(const QString &text)
{
    QString inner = text;
    inner.replace('\'', QLatin1String("''"));
    return '\'' + inner + '\'';
}

QString searchCondition(const QString &sheet, const QString &type, const QString &name, const QString &narrowing)
{
    const QString s = checked(trimText(sheet));
    const QString t = checked(trimText(type));
    const QString n = checked(trimText(name));
    QString condition = isEmptyCondition(s) ? QStringLiteral("tip LIKE ")
                                            : QStringLiteral("pafta LIKE ") + s + QStringLiteral(" AND tip LIKE ");
    condition += (isEmptyCondition(t) ? quoted(QStringLiteral("%")) : quoted(t)) + ' ';
    if (!isEmptyCondition(n))
        condition += QStringLiteral(" AND isim LIKE ") + quoted('%' + n + '%')
            + (narrowing.isEmpty() ? QString() : QStringLiteral(" AND ") + narrowing);
    return condition;
}

QString search(const QString &sheet, const QString &type, const QString &name, const QString &narrowing)
{
    return QStringLiteral("SELECT * FROM harita WHERE ") + searchCondition(sheet, type, name, narrowing)
        + QStringLiteral("  ORDER BY PX");
}

QString nearby(const QString &sheet, int x, int y, int r)
{
    return QStringLiteral("SELECT * FROM harita WHERE  pafta=%1 AND PX >=%2 AND PX <=%3 AND PY >=%4 AND PY <=%5")
        .arg(quoted(checked(sheet)))
        .arg(x - r)
        .arg(x + r)
        .arg(y - r)
        .arg(y + r);
}

} // namespace statements
