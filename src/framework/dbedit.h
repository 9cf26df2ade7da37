#pragma once
#include <QLineEdit>

class Dataset;

// An edit box showing one field of the dataset's current row. Typing puts the row into
// editing; the typed text is written into the field when the dataset posts or moves
// (empty text as null, an integer field through strToInt).
// While hidden it does not follow every move (a pass over a million rows stays fast);
// it catches up when shown.
class DBEdit : public QLineEdit {
    Q_OBJECT
public:
    DBEdit(Dataset &data, const QString &field, QWidget *parent = nullptr);

    QString field() const { return m_field; }
    bool typed() const { return m_typed; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showValue();
    void onDataChanged(const QString &field);
    void onTextEdited();
    void writeTyped();

    Dataset &m_data;
    QString m_field;
    bool m_typed = false;
    bool m_stale = false;
    bool m_writing = false;
};
