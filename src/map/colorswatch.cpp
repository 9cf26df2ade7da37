#include "colorswatch.h"

#include <QPainter>

ColorSwatch::ColorSwatch(const QString &name, QColor color, QWidget *parent) : QWidget(parent), m_color(color)
{
    setObjectName(name);
    resize(16, 16);
}

void ColorSwatch::setColor(QColor color)
{
    m_color = color;
    update();
}

void ColorSwatch::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(Qt::black);
    painter.setBrush(m_color);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void ColorSwatch::mousePressEvent(QMouseEvent *)
{
    emit pressed();
}
