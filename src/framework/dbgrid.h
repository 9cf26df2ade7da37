#pragma once
#include <QAbstractTableModel>
#include <QList>
#include <QTableView>

#include <vector>

class Dataset;

struct DBGridColumn {
    QString field;
    int width = -1; // pixels; -1 keeps the grid's default
};

// The rows of a dataset as a table: exact row count, one column per listed field, titled by
// its name, the row indicator in the vertical header. Edits are written through the dataset.
class DatasetTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    DatasetTableModel(Dataset &data, const QList<DBGridColumn> &columns, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

private:
    void resetRows();
    void onDataChanged(const QString &field);

    Dataset &m_data;
    QList<DBGridColumn> m_columns;
    std::vector<int> m_fields; // the dataset's field index of each column, -1 when absent
    int m_indicatorRow = -1;
};

// A data grid: its current row and the dataset's current row follow each other; leaving an
// edited row posts it by the cursor rule, Enter posts it, Escape cancels it, F5 refreshes.
class DBGrid : public QTableView {
    Q_OBJECT
public:
    DBGrid(Dataset &data, const QList<DBGridColumn> &columns, QWidget *parent = nullptr);

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void followDataset();
    void applyWidths();

    Dataset &m_data;
    QList<DBGridColumn> m_columns;
    DatasetTableModel *m_model;
    bool m_following = false;
    bool m_changingRow = false;
};
