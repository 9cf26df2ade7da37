#include "dbedit.h"
#include "dataset.h"
#include "messages.h"
#include "textconv.h"

DBEdit::DBEdit(Dataset &data, const QString &field, QWidget *parent)
    : QLineEdit(parent), m_data(data), m_field(field)
{
    connect(&data, &Dataset::dataChanged, this, &DBEdit::onDataChanged);
    connect(&data, &Dataset::stateChanged, this, [this] {
        if (!m_data.isOpen())
            onDataChanged(QString());
    });
    connect(&data, &Dataset::updatingRecord, this, &DBEdit::writeTyped);
    connect(this, &QLineEdit::textEdited, this, &DBEdit::onTextEdited);
    showValue();
}

void DBEdit::showEvent(QShowEvent *event)
{
    if (m_stale)
        showValue();
    QLineEdit::showEvent(event);
}

void DBEdit::showValue()
{
    m_stale = false;
    m_typed = false;
    const bool bound = m_data.isOpen() && m_data.fieldIndex(m_field) >= 0;
    setReadOnly(!bound);
    setText(bound ? m_data.asString(m_field) : QString());
}

void DBEdit::onDataChanged(const QString &field)
{
    if (m_writing || !(field.isEmpty() || field.compare(m_field, Qt::CaseInsensitive) == 0))
        return;
    if (isVisible()) {
        showValue();
    } else {
        m_typed = false;
        m_stale = true;
    }
}

void DBEdit::onTextEdited()
{
    if (m_data.isEditing()) {
        m_typed = true;
        return;
    }
    const QString text = this->text();
    guarded([&] { m_data.edit(); });
    if (m_data.isEditing()) {
        // edit() may have begun a row and shown it; what the user typed stays.
        setText(text);
        m_typed = true;
    } else {
        showValue();
    }
}

void DBEdit::writeTyped()
{
    if (!m_typed)
        return;
    // Handlers of a signal must not throw: a bad value is handed to the dataset instead.
    try {
        const QString text = this->text();
        QVariant value;
        if (!text.isEmpty())
            value = m_data.isIntegerField(m_field) ? QVariant(strToInt(text)) : QVariant(text);
        m_writing = true;
        m_data.setValue(m_field, value);
        m_writing = false;
        m_typed = false;
    } catch (...) {
        m_writing = false;
        m_data.rejectUpdate(std::current_exception());
    }
}
