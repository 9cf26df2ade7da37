// Correcting places from the main window: choosing a place (the search's current row, or the
// nearest to a click on the map), dragging it, undoing, and showing the new state afterwards.
#include "places/editing_controls.h"
#include "app/uGenel.h"
#include "framework/dataset.h"
#include "framework/dbgrid.h"
#include "framework/formparts.h"
#include "framework/messages.h"
#include "map/coords.h"
#include "map/uHarita.h"
#include "overview/overview_controls.h"
#include "overview/uKucukHarita.h"
#include "places/editing.h"
#include "places/uDuzelt.h"
#include "places/uGecmis.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QSqlQuery>

#include <cmath>
#include <limits>
#include <memory>

namespace {

class PlaceEditingControls : public QObject {
public:
    explicit PlaceEditingControls(TfHarita &w);
    ~PlaceEditingControls() override;

private:
    void editSearchRow();
    void deleteSearchRow();
    bool showSearchRow();
    void undo();
    void showHistory();
    void afterChange(const QVariant &id, const PlaceRow &was);
    bool searchHolds(const QVariant &id) const;
    QVariant nearestPlace(QPoint view) const;
    bool withinRing(QPoint view, QPoint sheet) const;
    QPoint viewOf(MapLayer *layer, QPoint p) const;
    void pressed(MapLayer *layer, Qt::MouseButton button, QPoint p);
    void moved(MapLayer *layer, QPoint p);
    void released(MapLayer *layer, Qt::MouseButton button, QPoint p);
    QPoint sheetPointOfShownPlace() const;

    TfHarita &w;
    PlaceEdits edits;
    std::unique_ptr<TfDuzelt> duzelt;
    std::unique_ptr<TfGecmis> gecmis;
    bool dragging = false;
};

PlaceEditingControls::PlaceEditingControls(TfHarita &window)
    : QObject(&window), w(window), edits(window.ADOConnection1), duzelt(std::make_unique<TfDuzelt>(edits)),
      gecmis(std::make_unique<TfGecmis>(edits))
{
    auto *edit = makeButton("btnDuzelt", w.Panel6, QStringLiteral("Düzelt"), {374, 4, 73, 17});
    auto *undoButton = makeButton("btnGeriAl", w.Panel6, QStringLiteral("Geri Al"), {448, 4, 73, 17});
    auto *historyButton = makeButton("btnGecmis", w.Panel6, QStringLiteral("Geçmiş"), {522, 4, 73, 17});
    undoButton->setToolTip(QStringLiteral("Son değişikliğinizi geri alır (Ctrl+Z)"));
    connect(edit, &QPushButton::clicked, this, [this] { guarded([this] { editSearchRow(); }); });
    connect(undoButton, &QPushButton::clicked, this, [this] { guarded([this] { undo(); }); });
    connect(historyButton, &QPushButton::clicked, this, [this] { guarded([this] { showHistory(); }); });
    connect(duzelt->btnGeriAl, &QPushButton::clicked, this, [this] { guarded([this] { undo(); }); });
    connect(duzelt->btnGecmis, &QPushButton::clicked, this, [this] { guarded([this] { showHistory(); }); });
    connect(gecmis->btnGeriAl, &QPushButton::clicked, this, [this] { guarded([this] { undo(); }); });
    connect(duzelt.get(), &TfDuzelt::placeWritten, this,
            [this](const QVariant &id, const PlaceRow &was) { guarded([&] { afterChange(id, was); }); });

    // Everywhere in the program; a text box with something to undo keeps Ctrl+Z for itself.
    auto *shortcut = new QShortcut(QKeySequence::Undo, &w);
    shortcut->setObjectName(QStringLiteral("scGeriAl"));
    shortcut->setContext(Qt::ApplicationShortcut);
    connect(shortcut, &QShortcut::activated, this, [this] { guarded([this] { undo(); }); });

    w.DBGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    auto *menu = new QMenu(w.DBGrid1);
    menu->setObjectName(QStringLiteral("pmDuzelt"));
    auto action = [&](const char *name, const QString &text, void (PlaceEditingControls::*handler)()) {
        QAction *a = menu->addAction(text);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, [this, handler] { guarded([&] { (this->*handler)(); }); });
    };
    action("actDuzelt", QStringLiteral("Düzelt…"), &PlaceEditingControls::editSearchRow);
    action("actSil", QStringLiteral("Sil…"), &PlaceEditingControls::deleteSearchRow);
    menu->addSeparator();
    action("actGeriAl", QStringLiteral("Son değişikliği geri al\tCtrl+Z"), &PlaceEditingControls::undo);
    action("actGecmis", QStringLiteral("Değişiklik geçmişi…"), &PlaceEditingControls::showHistory);
    connect(w.DBGrid1, &QWidget::customContextMenuRequested, menu,
            [this, menu](QPoint at) { menu->popup(w.DBGrid1->viewport()->mapToGlobal(at)); });

    for (MapLayer *layer : {static_cast<MapLayer *>(w.Image1), w.Image2, w.Image3}) {
        connect(layer, &MapLayer::mousePressed, this, [this, layer](Qt::MouseButton b, QPoint p) {
            guarded([&] { pressed(layer, b, p); });
        });
        connect(layer, &MapLayer::mouseMoved, this, [this, layer](QPoint p) { guarded([&] { moved(layer, p); }); });
        connect(layer, &MapLayer::mouseReleased, this, [this, layer](Qt::MouseButton b, QPoint p) {
            guarded([&] { released(layer, b, p); });
        });
    }
}

PlaceEditingControls::~PlaceEditingControls() = default;

// The search's current row in the correcting window; false when there is none.
bool PlaceEditingControls::showSearchRow()
{
    Dataset &ara = *w.qAra;
    if (!ara.isOpen() || ara.recNo() < 0 || ara.isNull(QStringLiteral("id"))) {
        showMessage(QStringLiteral("Önce bir yer seçin: arama sonucundan ya da haritada yerin üstüne tıklayarak."));
        return false;
    }
    duzelt->showPlace(ara.value(QStringLiteral("id")));
    return true;
}

void PlaceEditingControls::editSearchRow()
{
    showSearchRow();
}

void PlaceEditingControls::deleteSearchRow()
{
    if (showSearchRow())
        duzelt->btnSilClick();
}

void PlaceEditingControls::undo()
{
    HistoryEntry undone;
    try {
        undone = edits.undoLast();
    } catch (const PlaceChangedMeanwhile &e) {
        showMessage(e.text() + QStringLiteral("\nSon değişikliğiniz geri alınamadı."));
        return;
    }
    if (undone.id == 0) {
        showMessage(QStringLiteral("Geri alınacak bir değişikliğiniz yok."));
        return;
    }
    afterChange(undone.before.id, undone.after);
    duzelt->showPlace(undone.before.id, QStringLiteral("Geri alındı: %1.").arg(undone.what));
}

void PlaceEditingControls::showHistory()
{
    gecmis->Yenile();
    gecmis->show();
    gecmis->raise();
}

bool PlaceEditingControls::searchHolds(const QVariant &id) const
{
    const Dataset &ara = *w.qAra;
    const int c = ara.fieldIndex(QStringLiteral("id"));
    for (int r = 0; c >= 0 && r < ara.recordCount(); ++r)
        if (ara.valueAt(r, c) == id)
            return true;
    return false;
}

// The search, the marks and the overview show the new state; was is the place before the
// change, as far as this program knew it.
void PlaceEditingControls::afterChange(const QVariant &id, const PlaceRow &was)
{
    const PlaceRow now = edits.read(id);
    const bool exists = now.exists();
    if (fKucukHarita)
        for (const PlaceRow *place : {&was, &now})
            if (place->exists() && !place->value(QStringLiteral("px")).isNull()
                && !place->value(QStringLiteral("py")).isNull())
                fKucukHarita->Layers->placeChanged(place->text(QStringLiteral("pafta")),
                                                   place->value(QStringLiteral("px")).toInt(),
                                                   place->value(QStringLiteral("py")).toInt());
    if (w.qAra->isOpen() && (searchHolds(id) || exists)) {
        w.qAra->refresh();
        if (exists)
            w.qAra->locate(QStringLiteral("id"), id);
    }
    // qHarita is read in pages: finding its current row again by key counts every row before
    // it (the whole table after a marking pass, which leaves it on the last), while reading it
    // anew from the start costs one page. Its row is kept only when it is the changed place.
    Dataset &harita = *w.qHarita;
    if (harita.isOpen() && !harita.isEditing()) {
        if (harita.recNo() >= 0 && harita.value(QStringLiteral("id")) == id)
            harita.refresh();
        else
            harita.open();
    }
    if (w.AddMode) {
        w.MarkColor = QColor(0, 128, 0);
        w.OkuVeIsaretle();
    }
    if (gecmis->isVisible())
        gecmis->Yenile();
}

bool PlaceEditingControls::withinRing(QPoint view, QPoint sheet) const
{
    const QPoint at = w.sheetToView(sheet);
    const qlonglong dx = view.x() - at.x(), dy = view.y() - at.y();
    return dx * dx + dy * dy <= qlonglong(w.MarkRadius) * w.MarkRadius;
}

// The place of the current sheet nearest to a view point, within the ring's radius on screen.
QVariant PlaceEditingControls::nearestPlace(QPoint view) const
{
    const int d = uGenel::ScaleDivisor;
    const QPoint sheet = w.viewToSheet(view);
    const qlonglong r = (qlonglong(std::ceil(w.MarkRadius / w.Zoom())) + 1) * d;
    const qlonglong x = qlonglong(sheet.x()) * d, y = qlonglong(sheet.y()) * d;
    QSqlQuery q(w.ADOConnection1.database());
    q.prepare(QStringLiteral("SELECT id, px, py FROM harita WHERE pafta = ? AND px BETWEEN ? AND ? "
                             "AND py BETWEEN ? AND ? ORDER BY id"));
    for (const QVariant &v : {QVariant(uGenel::CurrentSheet), QVariant(x - r), QVariant(x + r), QVariant(y - r),
                              QVariant(y + r)})
        q.addBindValue(v);
    // Choosing is an extra of the click: a place table that cannot be read leaves the click as it was.
    if (!q.exec()) {
        w.ADOConnection1.checkAfterFailure();
        return QVariant();
    }
    QVariant best;
    qlonglong bestDistance = std::numeric_limits<qlonglong>::max();
    while (q.next()) {
        const QPoint place(coords::divide(q.value(1).toInt(), d), coords::divide(q.value(2).toInt(), d));
        const QPoint at = w.sheetToView(place);
        const qlonglong dx = at.x() - view.x(), dy = at.y() - view.y();
        if (withinRing(view, place) && dx * dx + dy * dy < bestDistance) {
            bestDistance = dx * dx + dy * dy;
            best = q.value(0);
        }
    }
    return best;
}

QPoint PlaceEditingControls::viewOf(MapLayer *layer, QPoint p) const
{
    return layer == w.Image2 ? p : coords::offsetBy(p, layer->pos());
}

// Where the window's place stands now on the sheet (a drag not yet saved included).
QPoint PlaceEditingControls::sheetPointOfShownPlace() const
{
    const int d = uGenel::ScaleDivisor;
    return QPoint(coords::divide(duzelt->edPx->text().toInt(), d), coords::divide(duzelt->edPy->text().toInt(), d));
}

// Outside add mode a left press picks the nearest place; a press on the place already shown
// in the correcting window starts dragging it instead, so a drag never begins by chance.
void PlaceEditingControls::pressed(MapLayer *layer, Qt::MouseButton button, QPoint p)
{
    if (w.AddMode || button != Qt::LeftButton)
        return;
    const QPoint view = viewOf(layer, p);
    const PlaceRow &shown = duzelt->place();
    if (duzelt->isVisible() && shown.exists() && shown.text(QStringLiteral("pafta")) == uGenel::CurrentSheet
        && withinRing(view, sheetPointOfShownPlace())) {
        dragging = true;
        return;
    }
    const QVariant id = nearestPlace(view);
    if (id.isNull())
        return;
    duzelt->showPlace(id);
    const QPoint ring = w.sheetToView(sheetPointOfShownPlace());
    w.PlaceMarker(ring.x(), ring.y());
}

void PlaceEditingControls::moved(MapLayer *layer, QPoint p)
{
    if (!dragging)
        return;
    const QPoint view = viewOf(layer, p);
    const QPoint sheet = w.viewToSheet(view);
    duzelt->setLanding(sheet.x() * uGenel::ScaleDivisor, sheet.y() * uGenel::ScaleDivisor);
    w.Image3->move(coords::widgetPosition(coords::offsetBy(view, -w.MarkRadius, -w.MarkRadius)));
    w.Image3->raise();
    w.Image2MouseMove(view.x(), view.y());
}

void PlaceEditingControls::released(MapLayer *layer, Qt::MouseButton button, QPoint p)
{
    if (!dragging || button != Qt::LeftButton)
        return;
    moved(layer, p);
    dragging = false;
    // Set down as a click sets it, so that the overview's crosshair follows the place too.
    const QPoint ring = w.sheetToView(sheetPointOfShownPlace());
    w.PlaceMarker(ring.x(), ring.y());
}

} // namespace

void installPlaceEditing(TfHarita &window)
{
    new PlaceEditingControls(window);
}
