#pragma once
#include <QObject>
#include <QStringList>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <vector>

class Connection;

// A query run into a client-side snapshot with a current row, as the windows use it.
// Rows are read once by open() (exact record count); the snapshot is not re-queried
// except by refresh(). Changes are written through SQL by the table's primary key.
//
// The cursor rule: moving, appending or refreshing while a row is being edited first
// posts a changed row (before-post may refuse with Abort, which ends the move too)
// or drops an unchanged one.
class Dataset : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };

    // name becomes the objectName ("qHarita") and prefixes the dataset's own errors.
    Dataset(const QString &name, Connection &connection, QObject *parent = nullptr);
    ~Dataset() override;

    void setSql(const QString &sql);
    QString sql() const;

    void open();
    void close();
    bool isOpen() const;
    void refresh();

    int recordCount() const;
    int recNo() const; // 0-based current row, -1 when there is none
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

    // Puts a browsed row into Edit first; emits dataChanged(field).
    void setValue(const QString &field, const QVariant &value);
    void append();
    void edit();
    void post();
    void cancel();
    void remove();

    State state() const;
    bool isEditing() const { return state() == State::Edit || state() == State::Insert; }
    bool modified() const;

    // Hooks; before-post refuses by throwing Abort.
    std::function<void(Dataset &)> beforePost;
    std::function<void(Dataset &)> afterPost;

signals:
    // A single field changed (its name), or the row / the data as a whole ("").
    void dataChanged(const QString &field);
    void stateChanged();
    // Emitted first thing in post(): bound controls write what is typed into the row.
    void updatingRecord();
    // The snapshot's rows were replaced, added or removed (grid models reset on it).
    void rowsReset();

private:
    struct Private;
    Private *d;
};
