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
    connect(Image1, &MapLayer::mouseMoved, this, [this](QPoint p) { guarded([&] { Image1MouseMove(p.x(), p.y()); }); });
    connect(Image2, &MapLayer::mouseMoved, this, [this](QPoint p) { guarded([&] { Image2MouseMove(p.x(), p.y()); }); });
    connect(Image1, &MapLayer::mousePressed, this,
            [this](Qt::MouseButton b, QPoint p) { guarded([&] { Image1MouseDown(b, p.x(), p.y()); }); });
    connect(Image2, &MapLayer::mousePressed, this,
            [this](Qt::MouseButton b, QPoint p) { guarded([&] { Image2MouseDown(b, p.x(), p.y()); }); });
    StaticText1->installEventFilter(this);
    installPlaceEditing(*this);
}
