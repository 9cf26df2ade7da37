#pragma once
#include <QColor>
#include <QWidget>

// A filled square whose colour the user picks; reports presses of any mouse button.
class ColorSwatch : public QWidget {
    Q_OBJECT
public:
    ColorSwatch(const QString &name, QColor color, QWidget *parent);
    QColor color() const { return m_color; }
    void setColor(QColor color);

signals:
    void pressed();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QColor m_color;
};
