#include "maplayer.h"

#include <QMouseEvent>
#include <QPainter>

MapLayer::MapLayer(const QString &name, QWidget *parent) : QWidget(parent)
{
    setObjectName(name);
    setMouseTracking(true);
    setAttribute(Qt::WA_NoSystemBackground);
}

void MapLayer::setPicture(QImage picture)
{
    m_picture = std::move(picture);
    update();
}

void MapLayer::paintEvent(QPaintEvent *event)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    const QRect part = event->rect() & m_picture.rect();
    if (!part.isEmpty())
        painter.drawImage(part.topLeft(), m_picture, part);
}

void MapLayer::mouseMoveEvent(QMouseEvent *event)
{
    emit mouseMoved(event->position().toPoint());
}

void MapLayer::mousePressEvent(QMouseEvent *event)
{
    emit mousePressed(event->button(), event->position().toPoint());
}

QImage transparentBitmap(QSize size)
{
    QImage image(size.expandedTo(QSize(0, 0)), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}
