#pragma once
#include <QComboBox>

class Dataset;

// A combo box listing one field of every row of a list dataset (qTip's ad).
// Bound to a field of a data dataset, it shows that field of the current row (a value not in
// the list shows as a grey placeholder) and choosing an item writes it into the field.
// Without a data dataset it is a lookup edit: its own text, "*" at first, with the list to choose from.
class DBLookupCombo : public QComboBox {
    Q_OBJECT
public:
    DBLookupCombo(Dataset &list, const QString &listField, Dataset *data = nullptr,
                  const QString &dataField = QString(), QWidget *parent = nullptr);

    QString value() const;
    // "Set the value of the combo": a value that differs from the current one is written into
    // the data field as text (an empty one as null). Throws what the dataset throws.
    void setValue(const QString &text);

protected:
    void showEvent(QShowEvent *event) override;

private:
    bool bound() const;
    void fillList();
    void showValue();
    void onDataChanged(const QString &field);

    Dataset &m_list;
    QString m_listField;
    Dataset *m_data;
    QString m_dataField;
    bool m_stale = false;
};
