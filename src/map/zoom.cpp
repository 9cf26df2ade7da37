// Zoom and panning of the view: the sheet layer is scaled, the overlay and the marker stay at
// screen size and are drawn at the zoomed positions.
#include "framework/dataset.h"
#include "framework/messages.h"
#include "map/colorswatch.h"
#include "map/coords.h"
#include "map/uHarita.h"

#include <QCheckBox>
#include <QCursor>
#include <QLabel>
#include <QSettings>
#include <QShortcut>
#include <QToolButton>

namespace {

QSettings settings()
{
    return QSettings(QStringLiteral("zemira"), QStringLiteral("zemira"));
}

const QString smoothKey = QStringLiteral("view/smoothEnlarge");

} // namespace

double TfHarita::Zoom() const
{
    return Image1->zoom();
}

QPoint TfHarita::LayerOffset() const
{
    return Image1->pos();
}

QSize TfHarita::VisibleSize() const
{
    return Image2->size();
}

QColor TfHarita::BorderColor() const
{
    return ShapeBorderColor->color();
}

std::optional<QString> TfHarita::OverviewFileName() const
{
    if (!qPafta->isOpen())
        return std::nullopt;
    return qPafta->asString(QStringLiteral("kucuk"));
}

QPoint TfHarita::sheetToView(QPoint sheet) const
{
    return coords::sheetToView(sheet, Image1->pos(), Zoom());
}

QPoint TfHarita::viewToSheet(QPoint view) const
{
    return coords::viewToSheet(view, Image1->pos(), Zoom());
}

void TfHarita::setZoom(double zoom, QPoint anchor)
{
    zoom = std::clamp(zoom, coords::minZoom(sheetSize, ScrollBox1->size()), coords::maxZoom);
    if (zoom != Zoom())
        rescale(zoom, coords::zoomOffset(Image1->pos(), anchor, Zoom(), zoom));
}

void TfHarita::zoomBy(int steps, QPoint anchor)
{
    setZoom(coords::zoomStep(Zoom(), steps, coords::minZoom(sheetSize, ScrollBox1->size())), anchor);
}

void TfHarita::zoomWholeSheet()
{
    rescale(coords::minZoom(sheetSize, ScrollBox1->size()), QPoint(0, 0));
}

void TfHarita::rescale(double zoom, QPoint offset)
{
    // Before the first sheet there is nothing to scale (a start-up that stopped early).
    if (sheetSize.isEmpty())
        return;
    // The marker stays on its sheet point (scrolling leaves it; a new scale would misplace it).
    const QPoint ring(MarkRadius, MarkRadius);
    const QPoint marked = viewToSheet(Image3->pos() + ring);
    Image1->setZoom(zoom);
    Image1->resize(coords::zoomedSize(sheetSize, zoom));
    showView(offset, true, Marks::Redraw);
    Image3->move(coords::widgetPosition(sheetToView(marked) - ring));
    showZoom();
    const QPoint pointer = ScrollBox1->mapFromGlobal(QCursor::pos());
    if (ScrollBox1->rect().contains(pointer))
        pointerReadout(pointer);
}

void TfHarita::showZoom()
{
    // Turkish puts the percent sign first.
    ZoomLabel->setText(QStringLiteral("%") + QString::number(coords::roundToInt(Zoom() * 100)));
}

void TfHarita::pointerReadout(QPoint view)
{
    if (Image2->isVisible()) {
        Image2MouseMove(view.x(), view.y());
    } else {
        const QPoint layer = coords::viewToSheet(view, Image1->pos(), 1.0); // the layer's own pixel
        Image1MouseMove(layer.x(), layer.y());
    }
}

bool TfHarita::panPress(QWidget *layer, Qt::MouseButton button, QPoint pos)
{
    if (button != Qt::MiddleButton)
        return false;
    panFrom = layer->mapTo(ScrollBox1, pos);
    return true;
}

bool TfHarita::panMove(QWidget *layer, QPoint pos)
{
    if (!panFrom)
        return false;
    const QPoint at = layer->mapTo(ScrollBox1, pos);
    const QPoint delta = at - *panFrom;
    panFrom = at;
    showView(Image1->pos() + delta, true, Marks::Redraw);
    pointerReadout(at);
    return true;
}

void TfHarita::panRelease(Qt::MouseButton button)
{
    if (button == Qt::MiddleButton)
        panFrom.reset();
}

void TfHarita::wireZoom()
{
    auto centreOfView = [this] { return QPoint(ScrollBox1->width() / 2, ScrollBox1->height() / 2); };
    auto key = [this](QKeySequence sequence, auto action) {
        // A text box with the focus takes these keys as text before a shortcut sees them.
        auto *shortcut = new QShortcut(sequence, this);
        connect(shortcut, &QShortcut::activated, this, [action] { guarded(action); });
    };
    auto in = [this, centreOfView] { zoomBy(1, centreOfView()); };
    auto out = [this, centreOfView] { zoomBy(-1, centreOfView()); };
    auto actual = [this, centreOfView] { setZoom(1.0, centreOfView()); };
    auto whole = [this] { zoomWholeSheet(); };
    for (QKeySequence k : {QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal),
                           QKeySequence(Qt::KeypadModifier | Qt::Key_Plus)})
        key(k, in);
    for (QKeySequence k : {QKeySequence(Qt::Key_Minus), QKeySequence(Qt::KeypadModifier | Qt::Key_Minus)})
        key(k, out);
    for (QKeySequence k : {QKeySequence(Qt::Key_0), QKeySequence(Qt::KeypadModifier | Qt::Key_0)})
        key(k, whole);
    for (QKeySequence k : {QKeySequence(Qt::Key_1), QKeySequence(Qt::KeypadModifier | Qt::Key_1)})
        key(k, actual);
    connect(ZoomIn, &QToolButton::clicked, this, [in] { guarded(in); });
    connect(ZoomOut, &QToolButton::clicked, this, [out] { guarded(out); });

    const bool smooth = settings().value(smoothKey, false).toBool();
    CheckBoxSmooth->setChecked(smooth);
    Image1->setSmoothEnlarge(smooth);
    connect(CheckBoxSmooth, &QCheckBox::toggled, this, [this](bool on) {
        Image1->setSmoothEnlarge(on);
        settings().setValue(smoothKey, on);
    });
    showZoom();
}
