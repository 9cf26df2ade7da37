#pragma once
#include <QImage>
#include <QWidget>

// One layer of the map view: paints its picture from the top-left corner, scaled by its zoom
// (display pixels per picture pixel; 1 is the picture's own pixel size), clipped to the layer,
// copying only the exposed part. Transparent pixels are the see-through colour (where a drawing
// in white would let the layers below show). The view sizes the widget; the layer only paints.
class MapLayer : public QWidget {
    Q_OBJECT
public:
    explicit MapLayer(const QString &name, QWidget *parent);

    // The whole picture at its own pixel size. A layer that decodes on demand gives it decoded.
    virtual QImage picture() const { return m_picture; }
    void setPicture(QImage picture);
    // Draw on the picture, then update() the part that changed.
    QImage &canvas() { return m_picture; }

    double zoom() const { return m_zoom; }
    void setZoom(double zoom);
    // Enlarging is nearest-pixel unless smooth is asked for; reducing is always smooth.
    bool smoothEnlarge() const { return m_smoothEnlarge; }
    void setSmoothEnlarge(bool smooth);

signals:
    void mouseMoved(QPoint pos);
    void mousePressed(Qt::MouseButton button, QPoint pos);
    void mouseReleased(Qt::MouseButton button, QPoint pos);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QImage m_picture;
    double m_zoom = 1.0;
    bool m_smoothEnlarge = false;
};

// A see-through picture of the given size, ready to draw on.
QImage transparentBitmap(QSize size);
