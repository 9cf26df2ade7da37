#include "dbgrid.h"
#include "dbnavigator.h"
#include "dataset.h"
#include "messages.h"
#include "textconv.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QTimer>

DatasetTableModel::DatasetTableModel(Dataset &data, const QList<DBGridColumn> &columns, QObject *parent)
    : QAbstractTableModel(parent), m_data(data), m_columns(columns)
{
    connect(&data, &Dataset::rowsReset, this, &DatasetTableModel::resetRows);
    connect(&data, &Dataset::dataChanged, this, &DatasetTableModel::onDataChanged);
    connect(&data, &Dataset::stateChanged, this, [this] { onDataChanged(QString()); });
    resetRows();
}

void DatasetTableModel::resetRows()
{
    // The dataset has already changed: nothing may be read between these two calls.
    beginResetModel();
    m_fields.clear();
    for (const DBGridColumn &c : m_columns)
        m_fields.push_back(m_data.isOpen() ? m_data.fieldIndex(c.field) : -1);
    m_indicatorRow = m_data.recNo();
    endResetModel();
}

void DatasetTableModel::onDataChanged(const QString &field)
{
    const int rows = rowCount();
    if (rows == 0)
        return;
    const int row = m_data.recNo();
    if (field.isEmpty()) {
        emit dataChanged(index(0, 0), index(rows - 1, columnCount() - 1));
        const int old = m_indicatorRow;
        m_indicatorRow = row;
        const int low = std::clamp(std::min(old < 0 ? row : old, row), 0, rows - 1);
        const int high = std::clamp(std::max(old, row), 0, rows - 1);
        emit headerDataChanged(Qt::Vertical, low, high);
        return;
    }
    if (row < 0)
        return;
    for (int c = 0; c < columnCount(); ++c)
        if (m_columns[c].field.compare(field, Qt::CaseInsensitive) == 0)
            emit dataChanged(index(row, c), index(row, c));
}

int DatasetTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_data.recordCount();
}

int DatasetTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant DatasetTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    return m_data.textAt(index.row(), m_fields[std::size_t(index.column())]);
}

QVariant DatasetTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < columnCount() ? QVariant(m_columns[section].field) : QVariant();
    if (section != m_data.recNo())
        return QString();
    switch (m_data.state()) {
    case Dataset::State::Edit:
        return QStringLiteral("I");
    case Dataset::State::Insert:
        return QStringLiteral("*");
    default:
        return QStringLiteral("▶");
    }
}

Qt::ItemFlags DatasetTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (m_fields[std::size_t(index.column())] >= 0)
        f |= Qt::ItemIsEditable;
    return f;
}

bool DatasetTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || m_fields[std::size_t(index.column())] < 0)
        return false;
    const QString field = m_columns[index.column()].field;
    bool written = false;
    guarded([&] {
        const QString text = value.toString();
        // An editor closed without a change must not make the row count as changed.
        if (text == m_data.textAt(index.row(), m_fields[std::size_t(index.column())])) {
            written = true;
            return;
        }
        if (index.row() != m_data.recNo())
            m_data.moveTo(index.row());
        QVariant stored;
        if (!text.isEmpty())
            stored = m_data.isIntegerField(field) ? QVariant(strToInt(text)) : QVariant(text);
        m_data.setValue(field, stored);
        written = true;
    });
    return written;
}

DBGrid::DBGrid(Dataset &data, const QList<DBGridColumn> &columns, QWidget *parent)
    : QTableView(parent), m_data(data), m_columns(columns), m_model(new DatasetTableModel(data, columns, this))
{
    setModel(m_model);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                    | QAbstractItemView::AnyKeyPressed);
    // Fixed row heights keep a result of a million rows as cheap as a small one.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    verticalHeader()->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("▶")) + 8);
    connect(m_model, &QAbstractItemModel::modelReset, this, &DBGrid::applyWidths);
    connect(&data, &Dataset::rowsReset, this, &DBGrid::followDataset);
    connect(&data, &Dataset::dataChanged, this, [this](const QString &field) {
        if (field.isEmpty())
            followDataset();
    });
    applyWidths();
    followDataset();
}

void DBGrid::applyWidths()
{
    for (int c = 0; c < m_columns.size(); ++c)
        if (m_columns[c].width >= 0)
            setColumnWidth(c, m_columns[c].width);
}

void DBGrid::followDataset()
{
    const int row = m_data.recNo();
    const QModelIndex current = currentIndex();
    if (row < 0 || row >= m_model->rowCount() || (current.isValid() && current.row() == row))
        return;
    m_following = true;
    setCurrentIndex(m_model->index(row, current.isValid() ? current.column() : 0));
    m_following = false;
}

void DBGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    m_changingRow = true;
    QTableView::currentChanged(current, previous);
    m_changingRow = false;
    if (m_following || !current.isValid() || current.row() == m_data.recNo())
        return;
    guarded([&] { m_data.moveTo(current.row()); });
    // A refused move (a save that failed or was refused) puts the grid back on the dataset's row,
    // after the selection model has finished its own change.
    if (m_data.recNo() != current.row())
        QTimer::singleShot(0, this, &DBGrid::followDataset);
}

void DBGrid::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    QTableView::closeEditor(editor, hint);
    // Enter in a cell editor ends the row's edit; leaving the row does so by the cursor rule.
    if (hint == QAbstractItemDelegate::SubmitModelCache && !m_changingRow && m_data.isEditing())
        guarded([&] { m_data.endEdit(); });
}

void DBGrid::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F5) {
        refreshTelling(m_data);
        return;
    }
    if (state() != QAbstractItemView::EditingState && m_data.isEditing()) {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            guarded([&] { m_data.post(); });
            return;
        }
        if (event->key() == Qt::Key_Escape) {
            m_data.cancel();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}
