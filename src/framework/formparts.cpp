#include "formparts.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

QFrame *makePanel(const char *name, QWidget *parent)
{
    auto *panel = new QFrame(parent);
    panel->setObjectName(QLatin1String(name));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(1);
    return panel;
}

QFrame *fillWithPanel(QWidget *window, const char *name)
{
    auto *layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    QFrame *panel = makePanel(name, window);
    layout->addWidget(panel);
    return panel;
}

QLabel *makeLabel(const char *name, QWidget *parent, const QString &text, QPoint at, int width)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->move(at);
    label->adjustSize();
    if (width > 0)
        label->setFixedWidth(width);
    return label;
}

QPushButton *makeButton(const char *name, QWidget *parent, const QString &text, QRect geometry)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    return button;
}
