#pragma once
#include <QObject>
#include <QStringList>
#include <QVariant>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <vector>

class Connection;
class Snapshot;

// A query run into a client-side snapshot with a current row, as the windows use it.
// Rows are read once by open() (exact record count); the snapshot is not re-queried
// except by refresh() (unless paged, see setPagedOrder). Changes are written through SQL
// by the table's primary key.
//
// The cursor rule: moving, appending, refreshing or closing while a row is being edited
// first posts a changed row (before-post may refuse with Abort, which ends the move too)
// or drops an unchanged one. Both ask the bound controls for what they hold first.
class Dataset : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };

    // name becomes the objectName ("qHarita") and prefixes the dataset's own errors.
    Dataset(const QString &name, Connection &connection, QObject *parent = nullptr);
    ~Dataset() override;

    void setSql(const QString &sql);
    QString sql() const;
    // For "select * from TABLE order by COLUMN" over a table too large to hold: from the next
    // open the rows are read a page at a time as they are visited, in the column's order and
    // then the key's, and counted when a count is first needed. Rows appended since the open
    // stay after the others until refresh(), as in a snapshot. A table without a one-column
    // key is read whole. With a filter, the statement's own WHERE condition, the rows it
    // selects are paged in the same way, their number known at the open.
    void setPagedOrder(const QString &column, const QString &filter = {});

    // Runs the statement anew (an open dataset is closed first). Throws Error with the
    // driver's text and stays closed when the statement fails.
    void open();
    void close(); // the cursor rule applies: a changed row is posted first
    bool isOpen() const;
    // Re-reads the rows, keeping the current one by key. When the row being edited cannot be
    // saved because another has changed it since, the edit is kept on top of the fresh row
    // (a row deleted meanwhile becomes a new one), ready to be saved again, and the result is
    // a note for the user naming the other's differing values; otherwise it is empty.
    QString refresh();

    int recordCount() const;
    int recNo() const; // 0-based current row, -1 when there is none
    // As in Delphi-style datasets: last() and a next() on the last row set eof, first() and a
    // prior() on the first row set bof; an empty dataset is both.
    bool eof() const;
    bool bof() const;
    void first();
    void next();
    void prior();
    void last();
    void moveTo(int row);
    bool locate(const QString &field, const QVariant &value); // exact, case-sensitive

    QStringList fieldNames() const;
    int fieldIndex(const QString &field) const; // case-insensitive, -1 when absent
    QVariant value(const QString &field) const;
    QString asString(const QString &field) const; // null reads as ""
    int32_t asInteger(const QString &field) const; // null reads as 0
    bool isNull(const QString &field) const;
    QVariant valueAt(int row, int column) const;
    QString textAt(int row, int column) const; // as asString
    int32_t integerAt(int row, int column) const; // as asInteger
    bool isIntegerField(const QString &field) const;

    // Puts a browsed row into Edit first; emits dataChanged(field).
    void setValue(const QString &field, const QVariant &value);
    void append();
    void edit();
    void post();
    void cancel(); // drops what was typed; a row begun by append() goes away
    // Ends an edit by the cursor rule: posts a changed row, drops an unchanged one.
    void endEdit();
    // Takes what the bound controls hold into the row being edited (updatingRecord), so that
    // modified() sees text not yet posted. Throws what a control rejected.
    void updateRecord();
    void remove(); // deletes the current row, guarded like an update; on a new row, cancel()

    // For updatingRecord handlers: a typed value that cannot be written fails the post
    // (or the move that asked for it) with this error, and the row stays in editing.
    void rejectUpdate(std::exception_ptr error);

    State state() const;
    bool isEditing() const { return state() == State::Edit || state() == State::Insert; }
    bool modified() const;
    std::size_t snapshotBytes() const;

    // Hooks; before-post refuses by throwing Abort.
    std::function<void(Dataset &)> beforePost;
    std::function<void(Dataset &)> afterPost;

signals:
    // A single field changed (its name), or the row / the data as a whole ("").
    void dataChanged(const QString &field);
    void stateChanged();
    // Emitted first thing in post() and before the cursor rule decides: bound controls
    // write what is typed into the row. Handlers report failures through rejectUpdate().
    void updatingRecord();
    // The snapshot's rows were replaced, added or removed (grid models reset on it).
    void rowsReset();

private:
    void requireOpen() const;
    int requireField(const QString &field) const;
    QString keepEditOnFreshRows(int row);
    void takeRejection();
    void setCurrent(int row, bool bof, bool eof);
    void writeCurrent();

    struct Private;
    Private *d;
};
