#pragma once
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

#include <optional>
#include <vector>

class Snapshot;

// The rows of "select * from TABLE order by COLUMN" read a page at a time, so that a
// table of millions of rows is neither read whole nor held whole. The order is the
// column's, then the key's, so that every page agrees with the others. Rows added
// through the dataset since it was opened follow the others in the order they were
// added, as a snapshot keeps them, until the pages are read afresh.
// With a filter (a WHERE condition), the keys of the matching rows are read first, in the
// column's order, and the pages by those keys: one pass finds the rows and counts them, and
// each page then costs a lookup by key, however costly the condition. A row changed meanwhile
// keeps its place with its new values; one deleted meanwhile reads as nulls.
class RowPages {
public:
    static constexpr int kPageRows = 1000;

    RowPages(QString table, QString orderColumn, QString keyColumn, QString filter = {});

    // Forgets the count and the added rows: the next pages show the table as it is then.
    void reset();
    int storedCount(QSqlDatabase db); // rows other than the added ones; counted once
    std::optional<int> knownStoredCount() const; // without asking the database
    int addedCount() const { return int(m_added.size()); }
    // Row number of the row with this key, -1 when it is gone.
    int position(QSqlDatabase db, const QVariant &key);
    // Row number of the first row whose field equals value (exact; null only null), or -1.
    int firstWith(QSqlDatabase db, const QString &field, const QVariant &value);

    // Reads the page holding row into rows; returns the row number of its first row.
    int load(QSqlDatabase db, int row, Snapshot &rows);

    void added(const QVariant &key);
    void removed(const QVariant &key); // a row deleted through the dataset

private:
    QString identifier(QSqlDatabase &db, const QString &name) const;
    QString notAdded(QSqlDatabase &db) const; // "" or "where key not in (...)"
    int rowsBefore(QSqlDatabase &db, const QVariant &order, const QVariant &key);
    const std::vector<qint64> &filteredKeys(QSqlDatabase &db);
    int loadFiltered(QSqlDatabase &db, int first, int end, Snapshot &rows);

    QString m_table, m_order, m_key, m_filter;
    std::optional<std::vector<qint64>> m_keys; // with a filter: the stored rows' keys in order
    std::optional<int> m_stored;
    std::vector<QVariant> m_added;
};
