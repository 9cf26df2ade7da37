#pragma once
#include <QImage>
#include <QWidget>

// One layer of the map view: paints its picture at its own pixel size from the top-left
// corner, clipped to the layer, copying only the exposed part. Transparent pixels are the
// see-through colour (where a drawing in white would let the layers below show).
class MapLayer : public QWidget {
    Q_OBJECT
public:
    explicit MapLayer(const QString &name, QWidget *parent);

    const QImage &picture() const { return m_picture; }
    void setPicture(QImage picture);
    // Draw on the picture, then update() the part that changed.
    QImage &canvas() { return m_picture; }

signals:
    void mouseMoved(QPoint pos);
    void mousePressed(Qt::MouseButton button, QPoint pos);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QImage m_picture;
};

// A see-through picture of the given size, ready to draw on.
QImage transparentBitmap(QSize size);
