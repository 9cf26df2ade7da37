// The view: scrolling, reset, hiding, resizing, the readouts and the click marker.
#include "app/uGenel.h"
#include "framework/messages.h"
#include "framework/quit.h"
#include "map/colorswatch.h"
#include "map/coords.h"
#include "map/uHarita.h"
#include "overview/uKucukHarita.h"

#include <QColorDialog>
#include <QEvent>
#include <QWheelEvent>
#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QSignalBlocker>
#include <QSlider>

namespace {

// A track bar ignores a maximum below its minimum; lowering it below the position
// moves the position, which runs the change handler.
void applyTrackMaximum(QSlider *trackBar, int maximum)
{
    if (maximum >= trackBar->minimum())
        trackBar->setMaximum(maximum);
}

} // namespace

void TfHarita::setTrackMaxima()
{
    applyTrackMaximum(TrackBar1, coords::trackMaximum(Image1->width(), ScrollBox1->width()));
    applyTrackMaximum(TrackBar2, coords::trackMaximum(Image1->height(), ScrollBox1->height()));
}

void TfHarita::PlaceMarker(int x, int y)
{
    Label1->setText(coords::readout(x, y));
    Label1->adjustSize();
    Label6->setText(QString::number(Image1->width()));
    Label7->setText(QString::number(Image2->width()));
    Image3->move(coords::widgetPosition(coords::offsetBy(QPoint(x, y), -MarkRadius, -MarkRadius)));
    Image3->show();
    Image3->raise();
    Image3->repaint();
    if (fKucukHarita) {
        const QPoint sheet = viewToSheet(QPoint(x, y));
        fKucukHarita->DrawCrosshair(sheet.x(), sheet.y());
    }
}

void TfHarita::Image2Temizle()
{
    QPainter painter(&Image2->canvas());
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(QRect(0, 0, Image1->width(), Image1->height()), Qt::transparent);
    painter.end();
    Image2->update();
}

void TfHarita::Image1MouseMove(int X, int Y)
{
    const QPoint view = coords::offsetBy(QPoint(X, Y), Image1->pos());
    Label2->setText(coords::readout(view.x(), view.y()));
}

void TfHarita::Image2MouseMove(int X, int Y)
{
    const QPoint sheet = viewToSheet(QPoint(X, Y));
    const QPoint region = coords::offsetBy(sheet, SheetOriginX, SheetOriginY);
    Label2->setText(coords::readout(sheet.x(), sheet.y()));
    Label1->setText(coords::readout(region.x(), region.y()));
    Label1->adjustSize();
}

void TfHarita::showView(QPoint offset, bool trackBarsFollow, Marks marks)
{
    Image1->move(coords::widgetPosition(offset));
    if (trackBarsFollow) {
        // Set quietly: they show where the layer went, they did not move it.
        const QSignalBlocker quiet1(TrackBar1);
        const QSignalBlocker quiet2(TrackBar2);
        setTrackMaxima();
        TrackBar1->setValue(-Image1->x());
        TrackBar2->setValue(-Image1->y());
    }
    if (marks == Marks::Redraw && AddMode) {
        MarkColor = QColor(0, 128, 0);
        OkuVeIsaretle();
    }
    if (fKucukHarita)
        fKucukHarita->DrawViewport();
}

void TfHarita::TrackBar1Change()
{
    showView(QPoint(-TrackBar1->value(), Image1->y()), false, Marks::Redraw);
}

void TfHarita::TrackBar2Change()
{
    showView(QPoint(Image1->x(), -TrackBar2->value()), false, Marks::Redraw);
}

void TfHarita::Button5Click()
{
    TrackBar1->setValue(0);
    TrackBar2->setValue(0);
    Image2->move(0, 0);
    showView(QPoint(0, 0), false, Marks::Keep);
}

void TfHarita::Button2Click()
{
    Image2->hide();
    Image1->show();
}

void TfHarita::Button3Click()
{
    Panel2->setVisible(!Panel2->isVisible());
    Panel5->layout()->activate(); // the view takes the freed width now, as the marks need it
    if (AddMode) {
        MarkColor = QColor(0, 128, 0);
        OkuVeIsaretle();
    }
}

void TfHarita::ScrollBox1Resize()
{
    const QSize overlay = coords::resizedOverlaySize(ScrollBox1->size());
    Image2->resize(overlay);
    OverlayBitmap = transparentBitmap(overlay);
    Image2->setPicture(OverlayBitmap);
    Image2Temizle();
    setTrackMaxima();
    if (fKucukHarita)
        fKucukHarita->DrawViewport();
    ShowSheetName();
}

void TfHarita::FormResize()
{
    if (fKucukHarita)
        fKucukHarita->move(x() + 8, y() + Panel6->height() + 32);
}

void TfHarita::ShapeBorderColorMouseDown()
{
    // A cancelled choice is forgotten: the dialog opens next on the last colour confirmed.
    if (execModal(*ColorDialog) == QDialog::Accepted)
        ShapeBorderColor->setColor(ColorDialog->selectedColor());
    else
        ColorDialog->setCurrentColor(ShapeBorderColor->color());
}

void TfHarita::wheelScroll(const QWheelEvent &event)
{
    const QPoint delta = event.angleDelta();
    const int notches = (delta.y() != 0 ? delta.y() : delta.x()) / 120;
    if (event.modifiers() & Qt::ControlModifier) {
        zoomBy(notches, event.position().toPoint());
        return;
    }
    // One notch moves a tenth of the view, through the track bars so their handlers run.
    const bool across = event.modifiers() & Qt::ShiftModifier;
    QSlider *trackBar = across ? TrackBar1 : TrackBar2;
    const int step = (across ? ScrollBox1->width() : ScrollBox1->height()) / 10;
    trackBar->setValue(coords::clampToInt(trackBar->value() - int64_t(notches) * step));
}

void TfHarita::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    guarded([this] { FormResize(); });
}

bool TfHarita::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ScrollBox1 && event->type() == QEvent::Resize)
        guarded([this] { ScrollBox1Resize(); });
    if (watched == ScrollBox1 && event->type() == QEvent::Wheel) {
        guarded([&] { wheelScroll(*static_cast<QWheelEvent *>(event)); });
        return true;
    }
    if (watched == StaticText1 && event->type() == QEvent::MouseButtonPress)
        guarded([this] { StaticText1MouseDown(); });
    return QWidget::eventFilter(watched, event);
}
