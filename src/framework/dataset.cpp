#include "dataset.h"
#include "dataset_pages.h"
#include "dataset_snapshot.h"
#include "dataset_write.h"
#include "errors.h"
#include "textconv.h"
#include "data/connection.h"

#include <QSqlIndex>

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>
#include <optional>

struct Dataset::Private {
    explicit Private(Connection &c) : connection(c) {}
    Connection &connection;
    QString sql;
    QString pagedOrder;
    QString pagedFilter;
    std::unique_ptr<RowPages> pages; // while open and paged; rows then hold one page
    Snapshot rows;
    int start = 0; // row number of rows' first row
    State state = State::Inactive;
    int current = -1;
    bool bof = true;
    bool eof = true;
    Row buffer; // the values of the row being edited
    Row original; // the row as read when its edit began: what its save checks against
    std::vector<bool> changed;
    int rowBeforeInsert = -1;
    std::exception_ptr rejected;
    std::optional<WriteTarget> target;

    // rows' index of a row number, its page read first where paged; -1 when there is no such row.
    // A new row not yet saved sits at the end of its page, so no other page is read meanwhile.
    int local(int row)
    {
        if (row >= start && row - start < rows.rowCount())
            return row - start;
        if (row < 0 || !pages || state == State::Insert)
            return -1;
        readPage(row);
        return row - start < rows.rowCount() ? row - start : -1;
    }

    void readPage(int row)
    {
        Snapshot page;
        try {
            start = pages->load(connection.database(), row, page);
        } catch (const Error &) {
            connection.checkAfterFailure();
            throw;
        }
        rows = std::move(page);
    }

    int count()
    {
        if (!pages)
            return rows.rowCount();
        const int more = pages->addedCount() + (state == State::Insert ? 1 : 0);
        if (const std::optional<int> known = pages->knownStoredCount())
            return *known + more;
        try {
            return pages->storedCount(connection.database()) + more;
        } catch (const Error &) {
            connection.checkAfterFailure();
            throw;
        }
    }

    // Adds the new row after the count rows there are; returns its row number.
    int appendRow(int count)
    {
        local(count - 1);
        if (pages && start + rows.rowCount() != count)
            readPage(std::max(count - 1, 0)); // a page read before others deleted rows
        rows.appendNullRow();
        return count;
    }

    Row storedRow(int row)
    {
        const int at = local(row);
        Row values(std::size_t(rows.columnCount()));
        for (int c = 0; c < rows.columnCount() && at >= 0; ++c)
            values[std::size_t(c)] = rows.variant(at, c);
        return values;
    }

    std::unique_ptr<RowPages> pagesFor(QSqlDatabase &db) const
    {
        if (pagedOrder.isEmpty())
            return {};
        const QString table = tableOfSelect(sql);
        const QSqlIndex key = db.primaryIndex(table);
        if (key.count() != 1)
            return {};
        return std::make_unique<RowPages>(table, pagedOrder, key.fieldName(0), pagedFilter);
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

void Dataset::setPagedOrder(const QString &column, const QString &filter)
{
    d->pagedOrder = column;
    d->pagedFilter = filter;
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
    std::unique_ptr<RowPages> pages;
    try {
        db = d->connection.database();
        pages = d->pagesFor(db);
        if (pages)
            pages->load(db, 0, fresh);
        else
            fresh.load(db, d->sql);
    } catch (const Error &) {
        d->connection.checkAfterFailure();
        throw;
    }
    d->rows = std::move(fresh);
    d->pages = std::move(pages);
    d->start = 0;
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
    d->pages.reset();
    d->start = 0;
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
        key = d->storedRow(d->current)[std::size_t(keyField)];
    int row = -1;
    try {
        if (d->pages) {
            QSqlDatabase db = d->connection.database();
            d->pages->reset();
            row = d->pages->position(db, key);
            Snapshot page;
            d->start = d->pages->load(db, std::max(row, 0), page);
            d->rows = std::move(page);
        } else {
            Snapshot fresh;
            fresh.load(d->connection.database(), d->sql);
            d->rows = std::move(fresh);
            row = key.isNull() ? -1 : d->rows.find(keyField, key);
        }
    } catch (const Error &) {
        d->connection.checkAfterFailure();
        throw;
    }
    if (changedByOthers)
        return keepEditOnFreshRows(row);
    const int oldRow = d->current;
    const int count = d->count();
    if (row < 0)
        row = std::min(std::max(oldRow, 0), count - 1);
    d->current = row;
    d->bof = d->eof = count == 0;
    emit rowsReset();
    emit dataChanged(QString());
    return QString();
}

QString Dataset::keepEditOnFreshRows(int row)
{
    const Row typed = d->buffer;
    const std::vector<bool> changed = d->changed;
    QString note;
    if (row >= 0) {
        d->current = row;
        d->buffer = d->storedRow(row);
        d->original = d->buffer;
        QStringList theirs;
        for (std::size_t c = 0; c < typed.size(); ++c)
            if (changed[c]) {
                const QString stored = variantText(d->original[c]);
                if (variantText(typed[c]) != stored)
                    theirs << QStringLiteral("%1: \"%2\"").arg(d->rows.names()[int(c)], stored);
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
        d->state = State::Browse;
        const int count = d->count();
        d->rowBeforeInsert = std::min(d->current, count - 1);
        d->current = d->appendRow(count);
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
    return d->count();
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
    const bool empty = d->pages ? d->local(0) < 0 : recordCount() == 0;
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
    int row = -1;
    if (d->pages) {
        try {
            row = d->pages->firstWith(d->connection.database(), fieldNames()[c], value);
        } catch (const Error &) {
            d->connection.checkAfterFailure();
            throw;
        }
    } else {
        row = d->rows.find(c, value);
    }
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
    const int at = d->local(d->current);
    if (at < 0)
        return 0;
    switch (d->rows.kind(at, c)) {
    case Snapshot::Kind::Null:
        return 0;
    case Snapshot::Kind::Integer:
        return toInt32(d->rows.integer(at, c));
    default:
        return variantInt(d->rows.variant(at, c));
    }
}

bool Dataset::isNull(const QString &field) const
{
    return value(field).isNull();
}

QVariant Dataset::valueAt(int row, int column) const
{
    if (column < 0 || column >= d->rows.columnCount())
        return QVariant();
    if (isEditing() && row == d->current)
        return d->buffer[std::size_t(column)];
    const int at = d->local(row);
    return at < 0 ? QVariant() : d->rows.variant(at, column);
}

int32_t Dataset::integerAt(int row, int column) const
{
    return variantInt(valueAt(row, column));
}

QString Dataset::textAt(int row, int column) const
{
    if (column < 0 || column >= d->rows.columnCount())
        return QString();
    if (isEditing() && row == d->current)
        return variantText(d->buffer[std::size_t(column)]);
    const int at = d->local(row);
    return at < 0 ? QString() : d->rows.text(at, column);
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
    d->current = d->appendRow(recordCount());
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
    d->original = d->buffer;
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
        const bool inserting = d->state == State::Insert;
        const Row stored = inserting ? insertRow(db, *d->target, d->buffer, d->changed)
                                     : updateRow(db, *d->target, d->original, d->buffer, d->changed);
        if (inserting && d->pages)
            d->pages->added(stored[std::size_t(d->target->keyField)]);
        const int at = d->local(d->current);
        for (int c = 0; c < d->rows.columnCount() && at >= 0; ++c)
            d->rows.setCell(at, c, stored[std::size_t(c)]);
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
    const bool inserted = d->state == State::Insert;
    if (inserted) {
        d->rows.removeRow(d->local(d->current));
        d->state = State::Browse;
        const int count = recordCount();
        d->current = count == 0 ? -1 : std::clamp(d->rowBeforeInsert, 0, count - 1);
        d->bof = d->eof = count == 0;
    }
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
        const Row original = d->storedRow(d->current);
        deleteRow(db, *d->target, original);
        if (d->pages)
            d->pages->removed(original[std::size_t(d->target->keyField)]);
    } catch (const Error &) {
        d->connection.checkAfterFailure();
        throw;
    }
    const bool wasEditing = isEditing();
    d->state = State::Browse;
    d->buffer.clear();
    d->changed.clear();
    d->rows.removeRow(d->local(d->current));
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
