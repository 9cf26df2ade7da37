#pragma once
#include <QImage>
#include <QWidget>
#include <optional>

class MapLayer;
class OverviewControls;
class QFrame;
class QStatusBar;

// The overview picture exactly as loaded; the clean copy every redraw starts from.
extern QImage OverviewPicture;

// The small always-on-top map of the region: the visible-area rectangle, the crosshair
// of the click marker, click to jump, the pointed position in the status bar.
class TfKucukHarita : public QWidget {
    Q_OBJECT
public:
    TfKucukHarita();
    ~TfKucukHarita() override;

    void FormCreate();
    void LoadOverview();
    double OverviewScale() const;
    int SheetAt(int x, int y) const;
    void DrawViewport();
    void DrawCrosshair(int x, int y);
    void Image1MouseDown(Qt::MouseButton button, int X, int Y);
    void Image1MouseMove(int X, int Y);

    QFrame *Panel1 = nullptr;
    MapLayer *Image1 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    OverviewControls *Layers = nullptr;

private:
    bool hasPicture() const;
    // Draws the layers anew, keeping the rectangle and a crosshair that is shown.
    void redrawLayers();
    std::optional<QPoint> m_crosshair;
};

extern TfKucukHarita *fKucukHarita;
