#include "dataset_pages.h"
#include "dataset_snapshot.h"
#include "errors.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QHash>
#include <QSet>

#include <algorithm>

namespace {

bool isPostgres(const QSqlDatabase &db)
{
    return db.driverName() == QLatin1String("QPSQL");
}

QString literal(const QVariant &value)
{
    if (value.metaType().id() == QMetaType::LongLong || value.metaType().id() == QMetaType::Int)
        return QString::number(value.toLongLong());
    QString text = value.toString();
    text.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

QSqlQuery run(QSqlDatabase &db, const QString &statement, const QVariantList &values)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(statement))
        throw Error(q.lastError().databaseText().isEmpty() ? q.lastError().text() : q.lastError().databaseText());
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec())
        throw Error(q.lastError().databaseText().isEmpty() ? q.lastError().text() : q.lastError().databaseText());
    return q;
}

} // namespace

RowPages::RowPages(QString table, QString orderColumn, QString keyColumn, QString filter)
    : m_table(std::move(table)), m_order(std::move(orderColumn)), m_key(std::move(keyColumn)),
      m_filter(std::move(filter))
{
}

void RowPages::reset()
{
    m_stored.reset();
    m_keys.reset();
    m_added.clear();
}

// The plain column, not the page index's expression: the planner then answers the condition
// from whatever index suits it (a search's trigram index) and sorts only the keys.
const std::vector<qint64> &RowPages::filteredKeys(QSqlDatabase &db)
{
    if (!m_keys) {
        const QString k = identifier(db, m_key);
        QSqlQuery q = run(db, QStringLiteral("select %1 from %2 where %3 order by %4, %1")
                                  .arg(k, db.driver()->escapeIdentifier(m_table, QSqlDriver::TableName), m_filter,
                                       identifier(db, m_order)),
                          {});
        std::vector<qint64> keys;
        while (q.next())
            keys.push_back(q.value(0).toLongLong());
        m_keys = std::move(keys);
    }
    return *m_keys;
}

int RowPages::loadFiltered(QSqlDatabase &db, int first, int end, Snapshot &rows)
{
    const std::vector<qint64> &keys = filteredKeys(db);
    QStringList wanted;
    for (int i = first; i < end; ++i)
        wanted << QString::number(keys[std::size_t(i)]);
    const QString k = identifier(db, m_key);
    rows.load(db, QStringLiteral("select * from %1 where %2 in (%3)")
                      .arg(db.driver()->escapeIdentifier(m_table, QSqlDriver::TableName), k,
                           wanted.isEmpty() ? QStringLiteral("null") : wanted.join(QLatin1Char(','))));
    const int keyColumn = int(std::find_if(rows.names().begin(), rows.names().end(),
                                           [&](const QString &n) { return n.compare(m_key, Qt::CaseInsensitive) == 0; })
                              - rows.names().begin());
    QHash<qint64, int> at;
    for (int r = 0; r < rows.rowCount(); ++r)
        at.insert(rows.integer(r, keyColumn), r);
    std::vector<int> order;
    for (int i = first; i < end; ++i)
        order.push_back(at.value(keys[std::size_t(i)], -1));
    rows.arrangeRows(order);
    return first;
}

QString RowPages::identifier(QSqlDatabase &db, const QString &name) const
{
    return db.driver()->escapeIdentifier(name, QSqlDriver::FieldName);
}

QString RowPages::notAdded(QSqlDatabase &db) const
{
    if (m_added.empty())
        return QString();
    QStringList keys;
    for (const QVariant &k : m_added)
        keys << literal(k);
    return QStringLiteral("%1 not in (%2)").arg(identifier(db, m_key), keys.join(QLatin1Char(',')));
}

std::optional<int> RowPages::knownStoredCount() const
{
    if (m_filter.isEmpty())
        return m_stored;
    return m_keys ? std::optional<int>(int(m_keys->size())) : std::nullopt;
}

int RowPages::storedCount(QSqlDatabase db)
{
    if (!m_filter.isEmpty())
        return int(filteredKeys(db).size());
    if (!m_stored) {
        const QString without = notAdded(db);
        QSqlQuery q = run(db, QStringLiteral("select count(*) from %1%2")
                                  .arg(db.driver()->escapeIdentifier(m_table, QSqlDriver::TableName),
                                       without.isEmpty() ? QString() : QStringLiteral(" where ") + without),
                          {});
        m_stored = q.next() ? q.value(0).toInt() : 0;
    }
    return *m_stored;
}

// The order column as an expression: SQLite then orders through this dataset's own index,
// which a plain "order by px" (a search's) never picks, as it would scan it for every LIKE.
static QString orderExpression(QSqlDatabase &db, const QString &column)
{
    return QStringLiteral("coalesce(%1, null)").arg(db.driver()->escapeIdentifier(column, QSqlDriver::FieldName));
}

int RowPages::rowsBefore(QSqlDatabase &db, const QVariant &order, const QVariant &key)
{
    const QString o = orderExpression(db, m_order), k = identifier(db, m_key);
    // Nulls come first on SQLite and last on PostgreSQL, as each orders them.
    const bool nullsFirst = !isPostgres(db);
    QString before;
    QVariantList values;
    if (order.isNull()) {
        before = (nullsFirst ? QStringLiteral("%1 is null and %2 < ?") : QStringLiteral("(%1 is not null or %2 < ?)"))
                     .arg(o, k);
        values = {key};
    } else {
        before = QStringLiteral("(%1 < ? or (%1 = ? and %2 < ?)%3)")
                     .arg(o, k, nullsFirst ? QStringLiteral(" or %1 is null").arg(o) : QString());
        values = {order, order, key};
    }
    const QString without = notAdded(db);
    QSqlQuery q = run(db, QStringLiteral("select count(*) from %1 where %2%3")
                              .arg(db.driver()->escapeIdentifier(m_table, QSqlDriver::TableName), before,
                                   without.isEmpty() ? QString() : QStringLiteral(" and ") + without),
                      values);
    return q.next() ? q.value(0).toInt() : 0;
}

int RowPages::position(QSqlDatabase db, const QVariant &key)
{
    if (key.isNull())
        return -1;
    QSqlQuery q = run(db, QStringLiteral("select %1 from %2 where %3 = ?")
                              .arg(orderExpression(db, m_order),
                                   db.driver()->escapeIdentifier(m_table, QSqlDriver::TableName), identifier(db, m_key)),
                      {key});
    if (!q.next())
        return -1;
    const QVariant order = q.value(0);
    const auto added = std::find(m_added.begin(), m_added.end(), key);
    if (added != m_added.end())
        return storedCount(db) + int(added - m_added.begin());
    if (!m_filter.isEmpty()) {
        const std::vector<qint64> &keys = filteredKeys(db);
        const auto stored = std::find(keys.begin(), keys.end(), key.toLongLong());
        return stored == keys.end() ? -1 : int(stored - keys.begin());
    }
    return rowsBefore(db, order, key);
}

int RowPages::firstWith(QSqlDatabase db, const QString &field, const QVariant &value)
{
    const QString table = db.driver()->escapeIdentifier(m_table, QSqlDriver::TableName);
    const QString f = identifier(db, field), o = orderExpression(db, m_order), k = identifier(db, m_key);
    const bool null = !value.isValid() || value.isNull();
    const QString match = null ? QStringLiteral("%1 is null").arg(f) : QStringLiteral("%1 = ?").arg(f);
    const QVariantList values = null ? QVariantList{} : QVariantList{value};
    const QString without = notAdded(db);
    if (!m_filter.isEmpty()) {
        // Rows the filter selects now; one changed meanwhile so that it no longer does is not found.
        QSqlQuery q = run(db, QStringLiteral("select %1 from %2 where (%3) and %4").arg(k, table, m_filter, match), values);
        QSet<qint64> matching;
        while (q.next())
            matching.insert(q.value(0).toLongLong());
        const std::vector<qint64> &keys = filteredKeys(db);
        for (std::size_t i = 0; i < keys.size() && !matching.isEmpty(); ++i)
            if (matching.contains(keys[i]))
                return int(i);
    } else {
        QSqlQuery q = run(db, QStringLiteral("select %1, %2 from %3 where %4%5 order by %1, %2 limit 1")
                                  .arg(o, k, table, match,
                                       without.isEmpty() ? QString() : QStringLiteral(" and ") + without),
                          values);
        if (q.next())
            return rowsBefore(db, q.value(0), q.value(1));
    }
    for (std::size_t i = 0; i < m_added.size(); ++i) {
        QVariantList keyed = values;
        keyed.prepend(m_added[i]);
        QSqlQuery a = run(db, QStringLiteral("select 1 from %1 where %2 = ? and %3").arg(table, k, match), keyed);
        if (a.next())
            return storedCount(db) + int(i);
    }
    return -1;
}

int RowPages::load(QSqlDatabase db, int row, Snapshot &rows)
{
    const QString table = db.driver()->escapeIdentifier(m_table, QSqlDriver::TableName);
    const QString o = orderExpression(db, m_order), k = identifier(db, m_key);
    if (m_filter.isEmpty() && row < kPageRows && m_added.empty() && !m_stored) {
        // The first page needs no count: opening costs the same for any number of rows.
        rows.load(db, QStringLiteral("select * from %1 order by %2, %3 limit %4").arg(table, o, k).arg(kPageRows));
        return 0;
    }
    const int stored = storedCount(db);
    const int total = stored + addedCount();
    const int first = std::max(0, row) / kPageRows * kPageRows;
    const int end = std::min(first + kPageRows, total);
    const int storedEnd = std::min(end, stored);
    if (!m_filter.isEmpty()) {
        loadFiltered(db, std::min(first, stored), storedEnd, rows);
    } else {
        const QString without = notAdded(db);
        const QString where = without.isEmpty() ? QString() : QStringLiteral(" where ") + without;
        const int wanted = std::max(0, storedEnd - first);
        // OFFSET walks the index from its nearer end.
        const bool fromEnd = wanted > 0 && first > stored - storedEnd;
        rows.load(db, QStringLiteral("select * from %1%2 order by %3%5, %4%5 limit %6 offset %7")
                          .arg(table, where, o, k, fromEnd ? QStringLiteral(" desc") : QString())
                          .arg(wanted)
                          .arg(fromEnd ? stored - storedEnd : first));
        if (fromEnd)
            rows.reverseRows();
    }
    if (end > stored) {
        QStringList keys;
        for (const QVariant &key : m_added)
            keys << literal(key);
        Snapshot added;
        added.load(db, QStringLiteral("select * from %1 where %2 in (%3) order by %2")
                           .arg(table, k, keys.join(QLatin1Char(','))));
        rows.appendRows(added, std::max(first, stored) - stored, end - stored);
    }
    return first;
}

void RowPages::added(const QVariant &key)
{
    m_added.push_back(key);
}

void RowPages::removed(const QVariant &key)
{
    const auto it = std::find(m_added.begin(), m_added.end(), key);
    if (it != m_added.end())
        m_added.erase(it);
    else if (m_keys)
        m_keys->erase(std::remove(m_keys->begin(), m_keys->end(), key.toLongLong()), m_keys->end());
    else if (m_stored) // a count not yet taken will not see the row
        --*m_stored;
}
