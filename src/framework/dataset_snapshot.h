#pragma once
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstddef>
#include <cstdint>
#include <vector>

class QSqlDatabase;
class QSqlQuery;
struct sqlite3;

// A stored text whose bytes are not UTF-8 (a legacy code page): held as those bytes, so that
// the unchanged-row check compares and a save keeps exactly what the database holds.
// Converts to a QString with U+FFFD in place of each bad sequence.
struct StoredText {
    QByteArray bytes;
};
Q_DECLARE_METATYPE(StoredText)

// A QString for UTF-8 bytes, a StoredText for anything else.
QVariant storedTextValue(const char *data, qsizetype size);

// The rows of a dataset held column by column: one kind byte and one 8-byte payload a cell,
// texts as length-prefixed UTF-8 in a per-column pool, repeated small texts stored once.
// QVariant rows would cost about six times the memory and time for a million rows.
class Snapshot {
public:
    enum class Kind : uint8_t { Null, Integer, Float, Text, Blob };

    // Runs sql on an open SQLite handle; throws Error with SQLite's text.
    void loadSqlite(sqlite3 *db, const QString &sql);
    // Runs sql through QtSql (any driver); throws Error with the driver's text.
    void loadQuery(QSqlQuery &query, const QString &sql);
    // Either of the above, as suits the connection.
    void load(QSqlDatabase db, const QString &sql);
    void clear();

    int rowCount() const { return m_rows; }
    int columnCount() const { return int(m_columns.size()); }
    const QStringList &names() const { return m_names; }
    // Declared as an integer column, or (no declaration) its first non-null value is one.
    bool isIntegerColumn(int column) const;

    Kind kind(int row, int column) const { return m_columns[column].kinds[row]; }
    int64_t integer(int row, int column) const { return m_columns[column].payload[row]; }
    QVariant variant(int row, int column) const;
    QString text(int row, int column) const; // null reads as ""
    // Exact, case-sensitive equality with a value; null equals only null.
    bool equals(int row, int column, const QVariant &value) const;
    int find(int column, const QVariant &value) const; // first row, or -1

    void appendNullRow();
    void removeRow(int row);
    void reverseRows();
    // Row i becomes the row order[i] was; -1 gives a row of nulls.
    void arrangeRows(const std::vector<int> &order);
    void appendRows(const Snapshot &other, int from, int to); // other's rows [from, to), as far as it has them
    void setCell(int row, int column, const QVariant &value);

    std::size_t byteSize() const;

private:
    struct Column {
        std::vector<int64_t> payload; // integer, double bits, or pool offset
        std::vector<Kind> kinds;
        std::vector<char> pool;
        QHash<QByteArray, int64_t> interned;
        bool interning = true;
        int declaredInteger = -1; // -1 unknown (no declaration)
    };

    void startColumns(const QStringList &names);
    void finishLoad();
    static void push(Column &c, Kind kind, int64_t payload);
    static int64_t store(Column &c, const char *data, std::size_t size);
    static void put(Column &c, int row, const QVariant &value, bool append);
    static const char *bytes(const Column &c, int64_t offset, std::size_t &size);

    std::vector<Column> m_columns;
    QStringList m_names;
    int m_rows = 0;
};
