// Every control's event goes to its handler behind the error boundary.
#include "framework/messages.h"
#include "map/colorswatch.h"
#include "map/uHarita.h"
#include "places/editing_controls.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

void TfHarita::wireHandlers()
{
    auto on = [this](auto *sender, auto signal, void (TfHarita::*handler)()) {
        connect(sender, signal, this, [this, handler] { guarded([&] { (this->*handler)(); }); });
    };
    on(Button1, &QPushButton::clicked, &TfHarita::Button1Click);
    on(Button2, &QPushButton::clicked, &TfHarita::Button2Click);
    on(Button3, &QPushButton::clicked, &TfHarita::Button3Click);
    on(Button4, &QPushButton::clicked, &TfHarita::Button4Click);
    on(Button5, &QPushButton::clicked, &TfHarita::Button5Click);
    on(Button6, &QPushButton::clicked, &TfHarita::Button6Click);
    on(Button7, &QPushButton::clicked, &TfHarita::Button7Click);
    on(TrackBar1, &QSlider::valueChanged, &TfHarita::TrackBar1Change);
    on(TrackBar2, &QSlider::valueChanged, &TfHarita::TrackBar2Change);
    on(ShapeBorderColor, &ColorSwatch::pressed, &TfHarita::ShapeBorderColorMouseDown);
    connect(edAra, &QLineEdit::returnPressed, this, [this] {
        guarded([this] {
            QChar key(13);
            edAraKeyPress(key);
        });
    });
    // The middle button pans; the others keep their meaning.
    for (MapLayer *layer : {static_cast<MapLayer *>(Image1), Image2}) {
        connect(layer, &MapLayer::mouseMoved, this, [this, layer](QPoint p) {
            guarded([&] {
                if (panMove(layer, p))
                    return;
                if (layer == Image1)
                    Image1MouseMove(p.x(), p.y());
                else
                    Image2MouseMove(p.x(), p.y());
            });
        });
        connect(layer, &MapLayer::mousePressed, this, [this, layer](Qt::MouseButton b, QPoint p) {
            guarded([&] {
                if (panPress(layer, b, p))
                    return;
                if (layer == Image1)
                    Image1MouseDown(b, p.x(), p.y());
                else
                    Image2MouseDown(b, p.x(), p.y());
            });
        });
        connect(layer, &MapLayer::mouseReleased, this, [this](Qt::MouseButton b, QPoint) { panRelease(b); });
    }
    wireZoom();
    StaticText1->installEventFilter(this);
    installPlaceEditing(*this);
}
