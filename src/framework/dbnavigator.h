#pragma once
#include <QWidget>

#include <array>

class Dataset;
class QToolButton;

// A row of buttons that move and edit a dataset: First, Prior, Next, Last, Insert, Delete,
// Post, Cancel, Refresh (each its objectName). Every action runs behind guarded(): errors show
// in the standard error report, a refused save stays silent. The actions run even when their
// button is disabled (Enter in an edit box asks for Post whatever the state).
class DBNavigator : public QWidget {
    Q_OBJECT
public:
    explicit DBNavigator(Dataset &data, QWidget *parent = nullptr);

    QToolButton *button(const QString &name) const;

    void first();
    void prior();
    void next();
    void last();
    void insert();
    void remove(); // asks "Delete record?" first
    void post();
    void cancel();
    void refresh();

private:
    void updateButtons();

    Dataset &m_data;
    std::array<QToolButton *, 9> m_buttons{}; // in the order of the row
};

// Refreshes behind guarded() and shows the dataset's note when it kept an edit that another's
// change had refused (the navigator's Refresh, F5 in a grid).
void refreshTelling(Dataset &data);
