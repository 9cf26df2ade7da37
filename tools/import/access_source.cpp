#include "access_source.h"
#include "framework/errors.h"

#include <QDate>
#include <QDateTime>
#include <QFile>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

// Room for a memo of 65,535 Turkish letters in UTF-8, with margin; a value that
// fills it was cut by libmdb and is refused rather than stored short.
constexpr int kBindSize = 1 << 20;
// Row offsets on a data page carry flags above these bits.
constexpr int kOffsetMask = 0x1fff;

using TableDef = std::unique_ptr<MdbTableDef, decltype(&mdb_free_tabledef)>;

TableDef readTable(MdbHandle *mdb, const QString &name)
{
    QByteArray utf8 = name.toUtf8();
    MdbTableDef *table = mdb_read_table_by_name(mdb, utf8.data(), MDB_TABLE);
    if (!table)
        throw Error(QStringLiteral("Access tablosu okunamadı: %1").arg(name));
    mdb_read_columns(table);
    return TableDef(table, &mdb_free_tabledef);
}

MdbColumn *columnAt(MdbTableDef *table, unsigned i)
{
    return static_cast<MdbColumn *>(g_ptr_array_index(table->columns, i));
}

ColumnKind kindOf(int type)
{
    switch (type) {
    case MDB_BOOL:
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_COMPLEX:
        return ColumnKind::Integer;
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_MONEY:
    case MDB_NUMERIC:
        return ColumnKind::Real;
    case MDB_DATETIME:
        return ColumnKind::DateTime;
    case MDB_OLE:
    case MDB_BINARY:
        return ColumnKind::Blob;
    default:
        return ColumnKind::Text;
    }
}

// Jet keeps days since 1899-12-30 in the whole part and the time of day, unsigned,
// in the fraction, before 1900 too (libmdb gives up on those).
QString dateText(double value)
{
    const double days = std::trunc(value);
    qint64 seconds = std::llround(std::fabs(value - days) * 86400.0);
    QDate date = QDate(1899, 12, 30).addDays(qint64(days));
    if (seconds >= 86400) {
        date = date.addDays(1);
        seconds -= 86400;
    }
    return QDateTime(date, QTime(0, 0).addSecs(int(seconds))).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// The shortest decimal that reads back as this single, the number Access shows.
// from_chars, unlike strtod, reads it the same under a decimal-comma locale.
double singleValue(float value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    double shortest = 0;
    std::from_chars(text, end, shortest);
    return shortest;
}

QVariant valueOf(MdbHandle *mdb, MdbColumn *col, const MdbField &field, const char *bound, int length,
                 const QString &table)
{
    if (col->col_type == MDB_BOOL)
        return qlonglong(field.is_null ? 0 : 1);
    if (field.is_null)
        return {};
    const auto text = [&] {
        if (length >= kBindSize - 4)
            throw Error(QStringLiteral("%1.%2: değer aktarılamayacak kadar uzun").arg(table, QString::fromUtf8(col->name)));
        return length == 0 ? QStringLiteral("") : QString::fromUtf8(bound, length);
    };
    switch (col->col_type) {
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_COMPLEX:
        return QByteArray(bound, length).toLongLong();
    case MDB_FLOAT:
        return singleValue(mdb_get_single(mdb->pg_buf, field.start));
    case MDB_DOUBLE:
        return mdb_get_double(mdb->pg_buf, field.start);
    case MDB_MONEY:
    case MDB_NUMERIC:
        return QByteArray(bound, length).toDouble();
    case MDB_DATETIME:
        return dateText(mdb_get_double(mdb->pg_buf, field.start));
    case MDB_BINARY:
        return QByteArray(reinterpret_cast<const char *>(mdb->pg_buf) + field.start, field.siz);
    case MDB_OLE: {
        size_t size = 0;
        void *data = mdb_ole_read_full(mdb, col, &size);
        const QByteArray bytes(static_cast<const char *>(data), qsizetype(size));
        free(data);
        return bytes;
    }
    default:
        return text();
    }
}

} // namespace

AccessSource::AccessSource(const QString &path)
{
    m_mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    if (!m_mdb)
        throw Error(QStringLiteral("Access dosyası açılamadı: %1").arg(path));
    // Jet 3 text is in the code page of the Windows that wrote it; libmdb assumes
    // Western European unless told, which would garble ğ, ı, ş and their capitals.
    if (IS_JET3(m_mdb) && !qEnvironmentVariableIsSet("MDB_JET3_CHARSET")) {
        const int page = m_mdb->f->code_page ? m_mdb->f->code_page : 1254;
        qputenv("MDB_JET3_CHARSET", "CP" + QByteArray::number(page));
        mdb_iconv_close(m_mdb);
        mdb_iconv_init(m_mdb);
    }
    mdb_set_bind_size(m_mdb, kBindSize);
    mdb_set_boolean_fmt_numbers(m_mdb);
    if (!mdb_read_catalog(m_mdb, MDB_TABLE)) {
        mdb_close(m_mdb);
        throw Error(QStringLiteral("Access dosyasının tablo listesi okunamadı: %1").arg(path));
    }
}

AccessSource::~AccessSource()
{
    mdb_close(m_mdb);
}

QStringList AccessSource::tables()
{
    QStringList names;
    for (unsigned i = 0; i < m_mdb->num_catalog; ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(m_mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry))
            names << QString::fromUtf8(entry->object_name);
    }
    return names;
}

QList<SourceColumn> AccessSource::columns(const QString &table)
{
    const TableDef def = readTable(m_mdb, table);
    QList<SourceColumn> result;
    for (unsigned i = 0; i < def->num_cols; ++i)
        result.append({QString::fromUtf8(columnAt(def.get(), i)->name), kindOf(columnAt(def.get(), i)->col_type)});
    return result;
}

qint64 AccessSource::rowCount(const QString &table)
{
    return readTable(m_mdb, table)->num_rows;
}

void AccessSource::readRows(const QString &table, const std::function<void(const QVariantList &)> &row)
{
    const TableDef def = readTable(m_mdb, table);
    MdbTableDef *t = def.get();
    const unsigned n = t->num_cols;
    std::vector<std::vector<char>> buffers(n, std::vector<char>(kBindSize));
    std::vector<int> lengths(n);
    for (unsigned i = 0; i < n; ++i)
        mdb_bind_column(t, int(i) + 1, buffers[i].data(), &lengths[i]);
    // Bound values cannot tell a null text from an empty one; the row's own null
    // flags can, so the row just fetched is cracked once more for them.
    std::vector<MdbField> fields(n);
    std::vector<unsigned> fieldOf(n);
    QVariantList values(n);
    mdb_rewind_table(t);
    while (mdb_fetch_row(t)) {
        int start = 0;
        size_t size = 0;
        if (mdb_find_row(m_mdb, int(t->cur_row) - 1, &start, &size) != 0
            || mdb_crack_row(t, start & kOffsetMask, size, fields.data()) < 0)
            throw Error(QStringLiteral("Access tablosunun bir satırı okunamadı: %1").arg(table));
        for (unsigned f = 0; f < n; ++f) {
            if (fields[f].colnum < 0 || unsigned(fields[f].colnum) >= n)
                throw Error(QStringLiteral("Access tablosunun bir satırı okunamadı: %1").arg(table));
            fieldOf[fields[f].colnum] = f;
        }
        for (unsigned i = 0; i < n; ++i)
            values[i] = valueOf(m_mdb, columnAt(t, i), fields[fieldOf[i]], buffers[i].data(), lengths[i], table);
        row(values);
    }
}
