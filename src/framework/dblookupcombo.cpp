#include "dblookupcombo.h"
#include "dataset.h"
#include "messages.h"

#include <QLineEdit>

DBLookupCombo::DBLookupCombo(Dataset &list, const QString &listField, Dataset *data, const QString &dataField,
                             QWidget *parent)
    : QComboBox(parent), m_list(list), m_listField(listField), m_data(data), m_dataField(dataField)
{
    connect(&list, &Dataset::rowsReset, this, &DBLookupCombo::fillList);
    if (m_data) {
        connect(m_data, &Dataset::dataChanged, this, &DBLookupCombo::onDataChanged);
        connect(m_data, &Dataset::stateChanged, this, [this] {
            if (!m_data->isOpen())
                onDataChanged(QString());
        });
        connect(this, &QComboBox::activated, this, [this](int index) { guarded([&] { setValue(itemText(index)); }); });
    } else {
        setEditable(true);
        setInsertPolicy(QComboBox::NoInsert);
        setEditText(QStringLiteral("*"));
    }
    fillList();
}

bool DBLookupCombo::bound() const
{
    return m_data && m_data->isOpen() && m_data->fieldIndex(m_dataField) >= 0;
}

QString DBLookupCombo::value() const
{
    if (!m_data)
        return currentText();
    return bound() ? m_data->asString(m_dataField) : QString();
}

void DBLookupCombo::setValue(const QString &text)
{
    if (!m_data) {
        setEditText(text);
        return;
    }
    if (text == value())
        return;
    m_data->setValue(m_dataField, text.isEmpty() ? QVariant() : QVariant(text));
}

void DBLookupCombo::fillList()
{
    const QString text = currentText();
    const QSignalBlocker blocker(this);
    clear();
    const int column = m_list.fieldIndex(m_listField);
    if (column >= 0) {
        QStringList items;
        for (int row = 0; row < m_list.recordCount(); ++row)
            items << m_list.textAt(row, column);
        addItems(items);
    }
    if (m_data)
        showValue();
    else
        setEditText(text);
}

void DBLookupCombo::showValue()
{
    m_stale = false;
    const QString current = value();
    int index = -1;
    for (int i = 0; i < count() && index < 0; ++i)
        if (itemText(i) == current)
            index = i;
    const QSignalBlocker blocker(this);
    setCurrentIndex(index);
    setPlaceholderText(index < 0 ? current : QString());
}

void DBLookupCombo::onDataChanged(const QString &field)
{
    if (!(field.isEmpty() || field.compare(m_dataField, Qt::CaseInsensitive) == 0))
        return;
    if (isVisible())
        showValue();
    else
        m_stale = true;
}

void DBLookupCombo::showEvent(QShowEvent *event)
{
    if (m_stale)
        showValue();
    QComboBox::showEvent(event);
}
