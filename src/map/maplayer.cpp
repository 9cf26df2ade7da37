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

void MapLayer::setZoom(double zoom)
{
    if (zoom > 0 && zoom != m_zoom) {
        m_zoom = zoom;
        update();
    }
}

void MapLayer::setSmoothEnlarge(bool smooth)
{
    if (smooth != m_smoothEnlarge) {
        m_smoothEnlarge = smooth;
        update();
    }
}

void MapLayer::paintEvent(QPaintEvent *event)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    if (m_zoom == 1.0) {
        const QRect part = event->rect() & m_picture.rect();
        if (!part.isEmpty())
            painter.drawImage(part.topLeft(), m_picture, part);
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform, m_zoom < 1.0 || m_smoothEnlarge);
    painter.setClipRect(event->rect());
    painter.scale(m_zoom, m_zoom);
    // Only the picture pixels under the exposed part, with a pixel's margin for the filter.
    const QRectF exposed(event->rect().topLeft() / m_zoom, event->rect().size() / m_zoom);
    const QRect part = exposed.toAlignedRect().adjusted(-1, -1, 1, 1) & m_picture.rect();
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

void MapLayer::mouseReleaseEvent(QMouseEvent *event)
{
    emit mouseReleased(event->button(), event->position().toPoint());
}

QImage transparentBitmap(QSize size)
{
    QImage image(size.expandedTo(QSize(0, 0)), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}
