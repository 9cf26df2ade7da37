#pragma once
#include <QColor>
#include <QPoint>
#include <QSize>
#include <QString>

#include <optional>

// What the overview window needs of the main map: its view, read, and the operations it calls.
class MainMap {
public:
    // Region pixel of the current sheet's top-left corner (SheetOriginX, SheetOriginY).
    virtual QPoint SheetOrigin() const = 0;
    // The sheet layer's offset in the view, in screen pixels (Image1.Left, Image1.Top).
    virtual QPoint LayerOffset() const = 0;
    // The visible part of the view (the overlay's size).
    virtual QSize VisibleSize() const = 0;
    // Screen pixels per sheet pixel.
    virtual double Zoom() const = 0;
    // The colour of the visible-area rectangle (the swatch ShapeBorderColor).
    virtual QColor BorderColor() const = 0;
    // The overview picture's file name: column kucuk of the current sheet row; none before
    // the sheet table is open.
    virtual std::optional<QString> OverviewFileName() const = 0;
    // The database the places come from, for the overview's own reading connection.
    virtual QString DatabaseTarget() const = 0;
    virtual bool InAddMode() const = 0;
    virtual void SetMarkColor(QColor color) = 0;

    virtual void SelectSheet(int index) = 0;
    virtual void ShowSheetPoint(int index, int x, int y) = 0;
    virtual void Image2Temizle() = 0;
    virtual void OkuVeIsaretle() = 0;
    virtual void Repaint() = 0;

protected:
    ~MainMap() = default;
};

// The main window, once it exists; null before.
MainMap *mainMap();
