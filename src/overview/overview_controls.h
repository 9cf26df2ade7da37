#pragma once
#include "overview/overview_layers.h"
#include "overview/overview_places.h"

#include <QWidget>

class QCheckBox;

// The row of check boxes under the overview picture that switch its layers on and off,
// remembered between runs; it holds the place dots and draws the layers that are on.
class OverviewControls : public QWidget {
    Q_OBJECT
public:
    explicit OverviewControls(QWidget *parent);

    overview_layers::Shown shown() const;
    // The database the place dots are read from, once they are shown.
    void setDatabase(const QString &target);
    // Draws the shown layers at scale s on the current state of the sheet index.
    void drawOn(QImage &canvas, double s);
    // A place saved on the named sheet at stored sheet pixel (px, py).
    void placeSaved(const QString &sheet, int px, int py);
    // A place on the named sheet at stored sheet pixel (px, py) was moved away, deleted or
    // brought back: its dot goes only if no other place remains in its cell.
    void placeChanged(const QString &sheet, int px, int py);
    // Names the sheet under the pointer of picture (an index into the sheet index, or -1)
    // in the picture's tool tip.
    static void nameSheet(QWidget *picture, int index);

    QCheckBox *CheckBoxSheets = nullptr;
    QCheckBox *CheckBoxCurrentSheet = nullptr;
    QCheckBox *CheckBoxPlaces = nullptr;

signals:
    // A layer was switched or its contents changed: the overview is to be redrawn.
    void changed();
    void failed(const QString &message);

private:
    QCheckBox *addBox(const QString &name, const QString &text, const QString &tip, const QString &key);

    QString m_database;
    PlaceDots m_dots;
    // The picture with its layers as last drawn, and what it was drawn from: the rectangle
    // moves far more often than the layers change, and there may be many thousand dots.
    struct DrawnFrom {
        overview_layers::Shown shown;
        int current = -1;
        int dotsVersion = 0;
        double s = 0;
        QSize size;
        bool operator==(const DrawnFrom &) const = default;
    };
    QImage m_drawn;
    DrawnFrom m_drawnFrom;
    int m_dotsVersion = 0;
};
