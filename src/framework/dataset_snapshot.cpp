#include "dataset_snapshot.h"
#include "errors.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <memory>

namespace {

// Beyond these, a column's texts are taken as mostly unique and stored as they come.
constexpr qsizetype kInternMaxValues = 1024;
constexpr std::size_t kInternMaxLength = 64;

QString noResultSet()
{
    return QStringLiteral("Sorgu bir kayıt kümesi döndürmüyor");
}

QString tooManyRows()
{
    return QStringLiteral("Sorgu çok fazla kayıt döndürdü");
}

QString errorText(const QSqlError &error)
{
    return error.databaseText().isEmpty() ? error.text() : error.databaseText();
}

// What a cell is compared with, worked out once for a whole search.
struct Target {
    explicit Target(const QVariant &value)
        : null(!value.isValid() || value.isNull()), text(null ? QString() : value.toString()),
          utf8(value.metaType() == QMetaType::fromType<StoredText>() ? value.value<StoredText>().bytes
                                                                      : text.toUtf8())
    {
        bool ok = false;
        const qlonglong n = text.toLongLong(&ok);
        isInteger = ok && QString::number(n) == text;
        integer = n;
    }
    bool null;
    QString text;
    QByteArray utf8;
    bool isInteger = false;
    int64_t integer = 0;
};

const bool kStoredTextConverts = QMetaType::registerConverter<StoredText, QString>(
    [](const StoredText &t) { return QString::fromUtf8(t.bytes); });

} // namespace

QVariant storedTextValue(const char *data, qsizetype size)
{
    QString text = QString::fromUtf8(data, size);
    // Only a text holding U+FFFD can have come from bad bytes: valid ones round-trip.
    if (text.contains(QChar::ReplacementCharacter) && text.toUtf8() != QByteArrayView(data, size))
        return QVariant::fromValue(StoredText{QByteArray(data, size)});
    return text;
}

void Snapshot::clear()
{
    m_columns.clear();
    m_names.clear();
    m_rows = 0;
}

void Snapshot::startColumns(const QStringList &names)
{
    clear();
    m_names = names;
    m_columns.resize(names.size());
}

void Snapshot::finishLoad()
{
    for (Column &c : m_columns) {
        c.payload.shrink_to_fit();
        c.kinds.shrink_to_fit();
        c.pool.shrink_to_fit();
        if (!c.interning)
            c.interned = {};
    }
}

void Snapshot::loadSqlite(sqlite3 *db, const QString &sql)
{
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt *raw = nullptr;
    if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &raw, nullptr) != SQLITE_OK)
        throw Error(QString::fromUtf8(sqlite3_errmsg(db)));
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> stmt(raw, sqlite3_finalize);
    // Checked before the first step: stepping would already run a statement that changes data.
    const int columns = raw ? sqlite3_column_count(raw) : 0;
    if (columns == 0)
        throw Error(noResultSet());

    QStringList names;
    for (int c = 0; c < columns; ++c)
        names << QString::fromUtf8(sqlite3_column_name(raw, c));
    startColumns(names);
    for (int c = 0; c < columns; ++c) {
        const char *declared = sqlite3_column_decltype(raw, c);
        if (declared)
            m_columns[c].declaredInteger = QByteArray(declared).toUpper().contains("INT") ? 1 : 0;
    }

    int rc;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        if (m_rows == INT_MAX)
            throw Error(tooManyRows());
        for (int c = 0; c < columns; ++c) {
            Column &col = m_columns[c];
            switch (sqlite3_column_type(raw, c)) {
            case SQLITE_INTEGER:
                push(col, Kind::Integer, sqlite3_column_int64(raw, c));
                break;
            case SQLITE_FLOAT:
                push(col, Kind::Float, std::bit_cast<int64_t>(sqlite3_column_double(raw, c)));
                break;
            case SQLITE_TEXT: {
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(raw, c));
                push(col, Kind::Text, store(col, text, std::size_t(sqlite3_column_bytes(raw, c))));
                break;
            }
            case SQLITE_BLOB: {
                const auto *blob = static_cast<const char *>(sqlite3_column_blob(raw, c));
                push(col, Kind::Blob, store(col, blob, std::size_t(sqlite3_column_bytes(raw, c))));
                break;
            }
            default:
                push(col, Kind::Null, 0);
            }
        }
        ++m_rows;
    }
    if (rc != SQLITE_DONE)
        throw Error(QString::fromUtf8(sqlite3_errmsg(db)));
    finishLoad();
}

void Snapshot::loadQuery(QSqlQuery &query, const QString &sql)
{
    query.setForwardOnly(true);
    if (!query.exec(sql))
        throw Error(errorText(query.lastError()));
    if (!query.isSelect())
        throw Error(noResultSet());
    const QSqlRecord record = query.record();
    QStringList names;
    for (int c = 0; c < record.count(); ++c)
        names << record.fieldName(c);
    startColumns(names);
    for (int c = 0; c < record.count(); ++c) {
        switch (record.field(c).metaType().id()) {
        case QMetaType::Short: case QMetaType::UShort: case QMetaType::Int: case QMetaType::UInt:
        case QMetaType::LongLong: case QMetaType::ULongLong:
            m_columns[c].declaredInteger = 1;
            break;
        default:
            m_columns[c].declaredInteger = 0;
        }
    }
    while (query.next()) {
        if (m_rows == INT_MAX)
            throw Error(tooManyRows());
        for (int c = 0; c < record.count(); ++c)
            put(m_columns[c], m_rows, query.value(c), true);
        ++m_rows;
    }
    if (query.lastError().isValid())
        throw Error(errorText(query.lastError()));
    finishLoad();
}

void Snapshot::load(QSqlDatabase db, const QString &sql)
{
    if (db.driverName() == QLatin1String("QSQLITE")) {
        // Read through SQLite itself: QtSql's per-value QVariants make a large open twice as slow.
        const QVariant handle = db.driver()->handle();
        if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0) {
            if (sqlite3 *raw = *static_cast<sqlite3 *const *>(handle.constData())) {
                loadSqlite(raw, sql);
                return;
            }
        }
    }
    QSqlQuery query(db);
    loadQuery(query, sql);
}

void Snapshot::push(Column &c, Kind kind, int64_t payload)
{
    c.kinds.push_back(kind);
    c.payload.push_back(payload);
}

int64_t Snapshot::store(Column &c, const char *data, std::size_t size)
{
    const bool internable = c.interning && size <= kInternMaxLength;
    if (internable) {
        const auto found = c.interned.constFind(QByteArray::fromRawData(data, qsizetype(size)));
        if (found != c.interned.cend())
            return found.value();
    }
    const auto offset = int64_t(c.pool.size());
    for (std::size_t n = size;; n >>= 7) {
        const auto low = char(n & 0x7F);
        if (n < 0x80) {
            c.pool.push_back(low);
            break;
        }
        c.pool.push_back(char(low | 0x80));
    }
    c.pool.insert(c.pool.end(), data, data + size);
    if (internable) {
        if (c.interned.size() < kInternMaxValues)
            c.interned.insert(QByteArray(data, qsizetype(size)), offset);
        else
            c.interning = false;
    }
    return offset;
}

const char *Snapshot::bytes(const Column &c, int64_t offset, std::size_t &size)
{
    const char *p = c.pool.data() + offset;
    size = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(*p++);
        size |= std::size_t(byte & 0x7F) << shift;
        if (!(byte & 0x80))
            return p;
    }
}

void Snapshot::put(Column &c, int row, const QVariant &value, bool append)
{
    Kind kind = Kind::Null;
    int64_t payload = 0;
    if (value.isValid() && !value.isNull()) {
        switch (value.metaType().id()) {
        case QMetaType::Bool: case QMetaType::Char: case QMetaType::SChar: case QMetaType::UChar:
        case QMetaType::Short: case QMetaType::UShort: case QMetaType::Int: case QMetaType::UInt:
        case QMetaType::Long: case QMetaType::ULong: case QMetaType::LongLong: case QMetaType::ULongLong:
            kind = Kind::Integer;
            payload = value.toLongLong();
            break;
        case QMetaType::Double: case QMetaType::Float:
            kind = Kind::Float;
            payload = std::bit_cast<int64_t>(value.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray b = value.toByteArray();
            kind = Kind::Blob;
            payload = store(c, b.constData(), std::size_t(b.size()));
            break;
        }
        default: {
            const QByteArray t = value.metaType() == QMetaType::fromType<StoredText>()
                ? value.value<StoredText>().bytes
                : value.toString().toUtf8();
            kind = Kind::Text;
            payload = store(c, t.constData(), std::size_t(t.size()));
        }
        }
    }
    if (append) {
        push(c, kind, payload);
    } else {
        c.kinds[row] = kind;
        c.payload[row] = payload;
    }
}

bool Snapshot::isIntegerColumn(int column) const
{
    const Column &c = m_columns[column];
    if (c.declaredInteger >= 0)
        return c.declaredInteger == 1;
    for (Kind k : c.kinds)
        if (k != Kind::Null)
            return k == Kind::Integer;
    return false;
}

QVariant Snapshot::variant(int row, int column) const
{
    const Column &c = m_columns[column];
    std::size_t size;
    switch (c.kinds[row]) {
    case Kind::Integer:
        return QVariant(qlonglong(c.payload[row]));
    case Kind::Float:
        return QVariant(std::bit_cast<double>(c.payload[row]));
    case Kind::Text: {
        const char *p = bytes(c, c.payload[row], size);
        return storedTextValue(p, qsizetype(size));
    }
    case Kind::Blob: {
        const char *p = bytes(c, c.payload[row], size);
        return QVariant(QByteArray(p, qsizetype(size)));
    }
    default:
        return QVariant();
    }
}

QString Snapshot::text(int row, int column) const
{
    const Column &c = m_columns[column];
    std::size_t size;
    switch (c.kinds[row]) {
    case Kind::Integer:
        return QString::number(c.payload[row]);
    case Kind::Float:
        return QString::number(std::bit_cast<double>(c.payload[row]), 'g', 15);
    case Kind::Text:
    case Kind::Blob: {
        const char *p = bytes(c, c.payload[row], size);
        return QString::fromUtf8(p, qsizetype(size));
    }
    default:
        return QString();
    }
}

namespace {

bool cellEquals(const Snapshot &s, int row, int column, const Target &t)
{
    switch (s.kind(row, column)) {
    case Snapshot::Kind::Null:
        return t.null;
    case Snapshot::Kind::Integer:
        return !t.null && t.isInteger && s.integer(row, column) == t.integer;
    default:
        return !t.null && s.text(row, column) == t.text;
    }
}

} // namespace

bool Snapshot::equals(int row, int column, const QVariant &value) const
{
    return cellEquals(*this, row, column, Target(value));
}

int Snapshot::find(int column, const QVariant &value) const
{
    const Target target(value);
    const Column &c = m_columns[column];
    for (int row = 0; row < m_rows; ++row) {
        // Texts are compared as stored bytes: no string is built for the rows that differ.
        if (c.kinds[row] == Kind::Text) {
            if (target.null)
                continue;
            std::size_t size;
            const char *p = bytes(c, c.payload[row], size);
            if (size == std::size_t(target.utf8.size()) && std::memcmp(p, target.utf8.constData(), size) == 0)
                return row;
        } else if (cellEquals(*this, row, column, target)) {
            return row;
        }
    }
    return -1;
}

void Snapshot::appendNullRow()
{
    for (Column &c : m_columns)
        push(c, Kind::Null, 0);
    ++m_rows;
}

void Snapshot::removeRow(int row)
{
    for (Column &c : m_columns) {
        c.kinds.erase(c.kinds.begin() + row);
        c.payload.erase(c.payload.begin() + row);
    }
    --m_rows;
}

void Snapshot::reverseRows()
{
    for (Column &c : m_columns) {
        std::reverse(c.kinds.begin(), c.kinds.end());
        std::reverse(c.payload.begin(), c.payload.end());
    }
}

void Snapshot::arrangeRows(const std::vector<int> &order)
{
    for (Column &c : m_columns) {
        std::vector<Kind> kinds(order.size(), Kind::Null);
        std::vector<int64_t> payload(order.size(), 0);
        for (std::size_t i = 0; i < order.size(); ++i)
            if (order[i] >= 0) {
                kinds[i] = c.kinds[std::size_t(order[i])];
                payload[i] = c.payload[std::size_t(order[i])];
            }
        c.kinds = std::move(kinds);
        c.payload = std::move(payload);
    }
    m_rows = int(order.size());
}

void Snapshot::appendRows(const Snapshot &other, int from, int to)
{
    for (int row = from; row < std::min(to, other.rowCount()); ++row) {
        appendNullRow();
        for (int c = 0; c < std::min(columnCount(), other.columnCount()); ++c)
            setCell(m_rows - 1, c, other.variant(row, c));
    }
}

void Snapshot::setCell(int row, int column, const QVariant &value)
{
    put(m_columns[column], row, value, false);
}

std::size_t Snapshot::byteSize() const
{
    std::size_t total = sizeof(*this);
    for (const Column &c : m_columns) {
        total += sizeof(Column) + c.payload.capacity() * sizeof(int64_t) + c.kinds.capacity() + c.pool.capacity();
        for (auto it = c.interned.cbegin(); it != c.interned.cend(); ++it)
            total += std::size_t(it.key().capacity()) + 48; // key header, value and hash node
    }
    return total;
}
