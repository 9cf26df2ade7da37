#include "dbnavigator.h"
#include "dataset.h"
#include "messages.h"
#include "quit.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QToolButton>

namespace {

struct ButtonSpec {
    const char *name;
    const char *glyph;
    const char *tip;
    void (DBNavigator::*action)();
};

const ButtonSpec kButtons[] = {
    {"First", "|◀", "İlk kayıt", &DBNavigator::first},
    {"Prior", "◀", "Önceki kayıt", &DBNavigator::prior},
    {"Next", "▶", "Sonraki kayıt", &DBNavigator::next},
    {"Last", "▶|", "Son kayıt", &DBNavigator::last},
    {"Insert", "+", "Kayıt ekle", &DBNavigator::insert},
    {"Delete", "−", "Kaydı sil", &DBNavigator::remove},
    {"Post", "✓", "Kaydet", &DBNavigator::post},
    {"Cancel", "✗", "Vazgeç", &DBNavigator::cancel},
    {"Refresh", "↻", "Yenile", &DBNavigator::refresh},
};

} // namespace

DBNavigator::DBNavigator(Dataset &data, QWidget *parent) : QWidget(parent), m_data(data)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    static_assert(std::size(kButtons) == std::tuple_size_v<decltype(m_buttons)>);
    for (std::size_t i = 0; i < m_buttons.size(); ++i) {
        const ButtonSpec &button = kButtons[i];
        auto *b = m_buttons[i] = new QToolButton(this);
        b->setObjectName(QLatin1String(button.name));
        b->setText(QString::fromUtf8(button.glyph));
        b->setToolTip(QString::fromUtf8(button.tip));
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        connect(b, &QToolButton::clicked, this, button.action);
        layout->addWidget(b);
    }
    connect(&data, &Dataset::stateChanged, this, &DBNavigator::updateButtons);
    connect(&data, &Dataset::dataChanged, this, [this](const QString &field) {
        if (field.isEmpty())
            updateButtons();
    });
    updateButtons();
}

QToolButton *DBNavigator::button(const QString &name) const
{
    return findChild<QToolButton *>(name, Qt::FindDirectChildrenOnly);
}

void DBNavigator::updateButtons()
{
    const bool open = m_data.isOpen();
    const bool editing = m_data.isEditing();
    const bool empty = m_data.bof() && m_data.eof(); // without counting: a count may cost a table scan
    const bool enabled[] = {open && !m_data.bof(), open && !m_data.bof(), open && !m_data.eof(),
                            open && !m_data.eof(), open, open && !empty, editing, editing, open};
    for (std::size_t i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setEnabled(enabled[i]);
}

void DBNavigator::first()
{
    guarded([&] { m_data.first(); });
    updateButtons();
}

void DBNavigator::prior()
{
    guarded([&] { m_data.prior(); });
    updateButtons();
}

void DBNavigator::next()
{
    guarded([&] { m_data.next(); });
    updateButtons();
}

void DBNavigator::last()
{
    guarded([&] { m_data.last(); });
    updateButtons();
}

void DBNavigator::insert()
{
    guarded([&] { m_data.append(); });
}

void DBNavigator::remove()
{
    guarded([&] {
        QMessageBox box(QMessageBox::Question, QApplication::applicationName(), QStringLiteral("Delete record?"),
                        QMessageBox::Ok | QMessageBox::Cancel, this);
        box.setObjectName(QStringLiteral("DeleteConfirmation"));
        if (execModal(box) == QMessageBox::Ok)
            m_data.remove();
    });
}

void DBNavigator::post()
{
    guarded([&] { m_data.post(); });
}

void DBNavigator::cancel()
{
    guarded([&] { m_data.cancel(); });
}

void DBNavigator::refresh()
{
    refreshTelling(m_data);
}

void refreshTelling(Dataset &data)
{
    QString note;
    guarded([&] { note = data.refresh(); });
    if (!note.isEmpty())
        showMessage(note);
}
