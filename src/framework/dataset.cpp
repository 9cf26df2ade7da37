#include "dataset.h"
#include "dataset_snapshot.h"
#include "dataset_write.h"
#include "errors.h"
#include "textconv.h"
#include "data/connection.h"

#include <QSqlDriver>
#include <QSqlQuery>

#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>

struct Dataset::Private {
    explicit Private(Connection &c) : connection(c) {}
    Connection &connection;
    QString sql;
    Snapshot rows;
    State state = State::Inactive;
    int current = -1;
    bool bof = true;
    bool eof = true;
    Row buffer; // the values of the row being edited
    std::vector<bool> changed;
    int rowBeforeInsert = -1;
    std::exception_ptr rejected;
    std::optional<WriteTarget> target;

    Row storedRow(int row) const
    {
        Row values(std::size_t(rows.columnCount()));
        for (int c = 0; c < rows.columnCount(); ++c)
            values[std::size_t(c)] = rows.variant(row, c);
        return values;
    }
};

namespace {

int32_t toInt32(int64_t value)
{
    if (value < INT32_MIN || value > INT32_MAX)
        return strToInt(QString::number(value)); // throws the conversion error
    return int32_t(value);
}

QString variantText(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return QString();
    if (v.metaType().id() == QMetaType::Double || v.metaType().id() == QMetaType::Float)
        return QString::number(v.toDouble(), 'g', 15);
    return v.toString();
}

int32_t variantInt(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return 0;
    switch (v.metaType().id()) {
    case QMetaType::Bool: case QMetaType::Char: case QMetaType::SChar: case QMetaType::UChar:
    case QMetaType::Short: case QMetaType::UShort: case QMetaType::Int: case QMetaType::UInt:
    case QMetaType::Long: case QMetaType::LongLong:
        return toInt32(v.toLongLong());
    case QMetaType::Double: case QMetaType::Float:
        if (!std::isfinite(v.toDouble()) || std::fabs(v.toDouble()) > 1e18)
            return strToInt(variantText(v));
        return toInt32(roundHalfEven(v.toDouble()));
    default:
        return strToInt(v.toString());
    }
}

void loadRows(QSqlDatabase db, const QString &sql, Snapshot &rows)
{
    if (db.driverName() == QLatin1String("QSQLITE")) {
        // Read through SQLite itself: QtSql's per-value QVariants make a large open twice as slow.
        const QVariant handle = db.driver()->handle();
        if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0) {
            if (sqlite3 *raw = *static_cast<sqlite3 *const *>(handle.constData())) {
                rows.loadSqlite(raw, sql);
                return;
            }
        }
    }
    QSqlQuery query(db);
    rows.loadQuery(query, sql);
}

} // namespace

Dataset::Dataset(const QString &name, Connection &connection, QObject *parent)
    : QObject(parent), d(new Private(connection))
{
    setObjectName(name);
}

Dataset::~Dataset()
{
    delete d;
}

void Dataset::setSql(const QString &sql)
{
    d->sql = sql;
}

QString Dataset::sql() const
{
    return d->sql;
}

void Dataset::requireOpen() const
{
    if (d->state == State::Inactive)
        throw Error(QStringLiteral("%1: Cannot perform this operation on a closed dataset").arg(objectName()));
}

int Dataset::requireField(const QString &field) const
{
    requireOpen();
    const int c = fieldIndex(field);
    if (c < 0)
        throw Error(QStringLiteral("%1: Field '%2' not found").arg(objectName(), field));
    return c;
}

void Dataset::open()
{
    close();
    Snapshot fresh;
    QSqlDatabase db;
    try {
        db = d->connection.database();
        loadRows(db, d->sql, fresh);
    } catch (const Error &) {
        d->connection.checkAfterFailure();
        throw;
    }
    d->rows = std::move(fresh);
    // Found now, while the file has just been readable; a dataset that cannot be written
    // back says so at its first write.
    try {
        d->target = resolveWriteTarget(db, objectName(), d->sql, fieldNames());
    } catch (const Error &) {
        d->target.reset();
    }
    d->state = State::Browse;
    d->current = d->rows.rowCount() > 0 ? 0 : -1;
    d->bof = true;
    d->eof = d->rows.rowCount() == 0;
    emit stateChanged();
    emit rowsReset();
    emit dataChanged(QString());
}

void Dataset::close()
{
    if (!isOpen())
        return;
    endEdit();
    d->rows.clear();
    d->target.reset();
    d->state = State::Inactive;
    d->current = -1;
    d->bof = d->eof = true;
    emit stateChanged();
    emit rowsReset();
}

bool Dataset::isOpen() const
{
    return d->state != State::Inactive;
}

QString Dataset::refresh()
{
    requireOpen();
    bool changedByOthers = false;
    try {
        endEdit();
    } catch (const RowChangedByOthers &) {
        changedByOthers = true;
    }
    // A dataset that cannot be written back keeps its place by row number instead of by key.
    const int keyField = d->target ? d->target->keyField : -1;
    QVariant key;
    if (keyField >= 0 && d->current >= 0)
        key = d->rows.variant(d->current, keyField);
    Snapshot fresh;
    try {
        loadRows(d->connection.database(), d->sql, fresh);
    } catch (const Error &) {
        d->connection.checkAfterFailure();
        throw;
    }
    if (changedByOthers)
        return keepEditOnFreshRows(std::move(fresh), key);
    const int oldRow = d->current;
    d->rows = std::move(fresh);
    const int count = d->rows.rowCount();
    int row = key.isNull() ? -1 : d->rows.find(keyField, key);
    if (row < 0)
        row = std::min(std::max(oldRow, 0), count - 1);
    d->current = row;
    d->bof = d->eof = count == 0;
    emit rowsReset();
    emit dataChanged(QString());
    return QString();
}

QString Dataset::keepEditOnFreshRows(Snapshot &&fresh, const QVariant &key)
{
    const Row typed = d->buffer;
    const std::vector<bool> changed = d->changed;
    d->rows = std::move(fresh);
    const int row = d->rows.find(d->target->keyField, key);
    QString note;
    if (row >= 0) {
        d->current = row;
        d->buffer = d->storedRow(row);
        QStringList theirs;
        for (std::size_t c = 0; c < typed.size(); ++c)
            if (changed[c]) {
                if (variantText(typed[c]) != d->rows.text(row, int(c)))
                    theirs << QStringLiteral("%1: \"%2\"").arg(d->rows.names()[int(c)], d->rows.text(row, int(c)));
                d->buffer[c] = typed[c];
            }
        d->changed = changed;
        note = QStringLiteral("Kaydın şimdiki hâli okundu; yazdıklarınız yerinde kaldı. ");
        note += theirs.isEmpty()
            ? QStringLiteral("Yeniden kaydedebilirsiniz.")
            : QStringLiteral("Yazdıklarınızın yerinde başka birinin kaydettiği değerler:\n%1\nKaydederseniz "
                             "sizin yazdıklarınız geçerli olur, Vazgeç ile onlarınkini alırsınız.")
                  .arg(theirs.join(QLatin1Char('\n')));
    } else {
        // Deleted meanwhile: saving puts the row back as the user sees it.
        d->rowBeforeInsert = std::min(d->current, d->rows.rowCount() - 1);
        d->rows.appendNullRow();
        d->current = d->rows.rowCount() - 1;
        d->buffer = typed;
        d->changed.assign(typed.size(), false);
        for (std::size_t c = 0; c < typed.size(); ++c)
            d->changed[c] = !typed[c].isNull();
        d->state = State::Insert;
        emit stateChanged();
        note = QStringLiteral("Kayıt başka biri tarafından silinmiş. Yazdıklarınız yeni bir kayıt olarak duruyor: "
                              "kaydederseniz kayıt yeniden eklenir, Vazgeç ile bırakırsınız.");
    }
    d->bof = d->eof = false;
    emit rowsReset();
    emit dataChanged(QString());
    return note;
}

int Dataset::recordCount() const
{
    return d->rows.rowCount();
}

int Dataset::recNo() const
{
    return d->current;
}

bool Dataset::eof() const
{
    return d->eof;
}

bool Dataset::bof() const
{
    return d->bof;
}

void Dataset::takeRejection()
{
    if (d->rejected) {
        const std::exception_ptr error = d->rejected;
        d->rejected = nullptr;
        std::rethrow_exception(error);
    }
}

void Dataset::rejectUpdate(std::exception_ptr error)
{
    if (!d->rejected)
        d->rejected = error;
}

void Dataset::updateRecord()
{
    if (!isEditing())
        return;
    d->rejected = nullptr;
    emit updatingRecord();
    takeRejection();
}

void Dataset::endEdit()
{
    if (!isEditing())
        return;
    updateRecord();
    if (modified())
        post();
    else
        cancel();
}

void Dataset::setCurrent(int row, bool bof, bool eof)
{
    const bool moved = row != d->current;
    d->current = row;
    d->bof = bof;
    d->eof = eof;
    if (moved)
        emit dataChanged(QString());
}

void Dataset::first()
{
    requireOpen();
    endEdit();
    const bool empty = recordCount() == 0;
    setCurrent(empty ? -1 : 0, true, empty);
}

void Dataset::next()
{
    requireOpen();
    endEdit();
    const int count = recordCount();
    if (count == 0 || d->current >= count - 1)
        setCurrent(count - 1, count == 0, true);
    else
        setCurrent(d->current + 1, false, false);
}

void Dataset::prior()
{
    requireOpen();
    endEdit();
    const int count = recordCount();
    if (d->current <= 0)
        setCurrent(count == 0 ? -1 : 0, true, count == 0);
    else
        setCurrent(d->current - 1, false, false);
}

void Dataset::last()
{
    requireOpen();
    endEdit();
    const int count = recordCount();
    setCurrent(count - 1, count == 0, true);
}

void Dataset::moveTo(int row)
{
    requireOpen();
    endEdit();
    const int count = recordCount();
    if (count == 0)
        setCurrent(-1, true, true);
    else
        setCurrent(std::clamp(row, 0, count - 1), row < 0, row >= count);
}

bool Dataset::locate(const QString &field, const QVariant &value)
{
    const int c = requireField(field);
    endEdit();
    const int row = d->rows.find(c, value);
    if (row < 0)
        return false;
    setCurrent(row, false, false);
    return true;
}

QStringList Dataset::fieldNames() const
{
    return d->rows.names();
}

int Dataset::fieldIndex(const QString &field) const
{
    const QStringList &names = d->rows.names();
    for (int c = 0; c < names.size(); ++c)
        if (names[c].compare(field, Qt::CaseInsensitive) == 0)
            return c;
    return -1;
}

QVariant Dataset::value(const QString &field) const
{
    return valueAt(d->current, requireField(field));
}

QString Dataset::asString(const QString &field) const
{
    return textAt(d->current, requireField(field));
}

int32_t Dataset::asInteger(const QString &field) const
{
    const int c = requireField(field);
    if (d->current < 0)
        return 0;
    if (isEditing())
        return variantInt(d->buffer[std::size_t(c)]);
    switch (d->rows.kind(d->current, c)) {
    case Snapshot::Kind::Null:
        return 0;
    case Snapshot::Kind::Integer:
        return toInt32(d->rows.integer(d->current, c));
    default:
        return variantInt(d->rows.variant(d->current, c));
    }
}

bool Dataset::isNull(const QString &field) const
{
    return value(field).isNull();
}

QVariant Dataset::valueAt(int row, int column) const
{
    if (row < 0 || row >= recordCount() || column < 0 || column >= d->rows.columnCount())
        return QVariant();
    if (isEditing() && row == d->current)
        return d->buffer[std::size_t(column)];
    return d->rows.variant(row, column);
}

int32_t Dataset::integerAt(int row, int column) const
{
    return variantInt(valueAt(row, column));
}

QString Dataset::textAt(int row, int column) const
{
    if (row < 0 || row >= recordCount() || column < 0 || column >= d->rows.columnCount())
        return QString();
    if (isEditing() && row == d->current)
        return variantText(d->buffer[std::size_t(column)]);
    return d->rows.text(row, column);
}

bool Dataset::isIntegerField(const QString &field) const
{
    return d->rows.isIntegerColumn(requireField(field));
}

void Dataset::setValue(const QString &field, const QVariant &value)
{
    const int c = requireField(field);
    if (!isEditing())
        edit();
    d->buffer[std::size_t(c)] = value;
    d->changed[std::size_t(c)] = true;
    emit dataChanged(d->rows.names()[c]);
}

void Dataset::append()
{
    requireOpen();
    endEdit();
    d->rowBeforeInsert = d->current;
    d->rows.appendNullRow();
    d->current = recordCount() - 1;
    d->bof = d->eof = false;
    d->buffer.assign(std::size_t(d->rows.columnCount()), QVariant());
    d->changed.assign(std::size_t(d->rows.columnCount()), false);
    d->state = State::Insert;
    emit stateChanged();
    emit rowsReset();
    emit dataChanged(QString());
}

void Dataset::edit()
{
    requireOpen();
    if (isEditing())
        return;
    if (recordCount() == 0) {
        append();
        return;
    }
    d->buffer = d->storedRow(d->current);
    d->changed.assign(d->buffer.size(), false);
    d->state = State::Edit;
    emit stateChanged();
}

void Dataset::writeCurrent()
{
    try {
        QSqlDatabase db = d->connection.database();
        if (!d->target)
            d->target = resolveWriteTarget(db, objectName(), d->sql, fieldNames());
        const Row stored = d->state == State::Insert
            ? insertRow(db, *d->target, d->buffer, d->changed)
            : updateRow(db, *d->target, d->storedRow(d->current), d->buffer, d->changed);
        for (int c = 0; c < d->rows.columnCount(); ++c)
            d->rows.setCell(d->current, c, stored[std::size_t(c)]);
    } catch (const Error &) {
        d->connection.checkAfterFailure();
        throw;
    }
}

void Dataset::post()
{
    if (!isEditing())
        throw Error(QStringLiteral("%1: Dataset not in edit or insert mode").arg(objectName()));
    updateRecord();
    if (beforePost)
        beforePost(*this);
    writeCurrent();
    d->state = State::Browse;
    d->buffer.clear();
    d->changed.clear();
    emit stateChanged();
    emit dataChanged(QString());
    if (afterPost)
        afterPost(*this);
}

void Dataset::cancel()
{
    if (!isEditing())
        return;
    if (d->state == State::Insert) {
        d->rows.removeRow(d->current);
        const int count = recordCount();
        d->current = count == 0 ? -1 : std::clamp(d->rowBeforeInsert, 0, count - 1);
        d->bof = d->eof = count == 0;
    }
    const bool inserted = d->state == State::Insert;
    d->state = State::Browse;
    d->buffer.clear();
    d->changed.clear();
    emit stateChanged();
    if (inserted)
        emit rowsReset();
    emit dataChanged(QString());
}

void Dataset::remove()
{
    requireOpen();
    if (d->state == State::Insert) {
        cancel();
        return;
    }
    if (recordCount() == 0)
        throw Error(QStringLiteral("%1: Cannot perform this operation on an empty dataset").arg(objectName()));
    try {
        QSqlDatabase db = d->connection.database();
        if (!d->target)
            d->target = resolveWriteTarget(db, objectName(), d->sql, fieldNames());
        deleteRow(db, *d->target, d->storedRow(d->current));
    } catch (const Error &) {
        d->connection.checkAfterFailure();
        throw;
    }
    const bool wasEditing = isEditing();
    d->state = State::Browse;
    d->buffer.clear();
    d->changed.clear();
    d->rows.removeRow(d->current);
    const int count = recordCount();
    d->current = std::min(d->current, count - 1);
    d->bof = d->eof = count == 0;
    if (wasEditing)
        emit stateChanged();
    emit rowsReset();
    emit dataChanged(QString());
}

Dataset::State Dataset::state() const
{
    return d->state;
}

bool Dataset::modified() const
{
    return std::find(d->changed.begin(), d->changed.end(), true) != d->changed.end();
}

std::size_t Dataset::snapshotBytes() const
{
    return d->rows.byteSize();
}
