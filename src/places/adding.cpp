// Add mode: map clicks, the nearby-place check, saving and the type memory.
#include "app/uGenel.h"
#include "framework/dataset.h"
#include "framework/dblookupcombo.h"
#include "framework/errors.h"
#include "framework/messages.h"
#include "framework/quit.h"
#include "map/coords.h"
#include "map/uHarita.h"
#include "places/nearby.h"
#include "places/statements.h"
#include "places/uBilgigir.h"
#include "places/uOnaySor.h"

#include <QCloseEvent>
#include <QLabel>

void TfHarita::Button4Click()
{
    AddMode = !AddMode;
    if (AddMode) {
        MarkColor = QColor(0, 128, 0);
        OkuVeIsaretle();
    } else {
        Image2Temizle();
    }
}

void TfHarita::Image2MouseDown(Qt::MouseButton, int X, int Y)
{
    mapClick(viewToSheet(QPoint(X, Y)), QPoint(X, Y));
}

void TfHarita::Image1MouseDown(Qt::MouseButton, int X, int Y)
{
    mapClick(coords::layerToSheet(QPoint(X, Y), Zoom()), coords::offsetBy(QPoint(X, Y), Image1->pos()));
}

void TfHarita::mapClick(QPoint sheetPoint, QPoint viewPoint)
{
    if (AddMode && !CheckNearbyPlace(uGenel::CurrentSheet, sheetPoint.x(), sheetPoint.y())) {
        qHarita->append();
        qHarita->setValue(QStringLiteral("px"), sheetPoint.x());
        qHarita->setValue(QStringLiteral("py"), sheetPoint.y());
        qHarita->setValue(QStringLiteral("pafta"), uGenel::CurrentSheet);
        fBilgigir->JvDBLookupCombo1->setValue(uGenel::LastPlaceType);
        fBilgigir->show();
        fBilgigir->raise();
    }
    PlaceMarker(viewPoint.x(), viewPoint.y());
}

bool TfHarita::CheckNearbyPlace(const QString &sheet, int x, int y)
{
    qTemp->close();
    const QList<NearbyPlace> across =
        placesOnAdjoiningSheets(ADOConnection1.database(), uGenel::Sheets, sheet, x, y, MarkRadius);
    qTemp->setSql(statements::nearby(sheet, x, y, MarkRadius));
    qTemp->open();
    bool giveUp = false;
    const bool here = qTemp->recordCount() >= 1;
    if (here || !across.isEmpty()) {
        // The labels name the sheet's own place first, else the first across an edge.
        if (here)
            qTemp->first();
        fOnaySor->Label2->setText(here ? qTemp->asString(QStringLiteral("tip")) : across.first().tip);
        fOnaySor->Label3->setText(here ? qTemp->asString(QStringLiteral("isim")) : across.first().isim);
        fOnaySor->showAdjoining(across);
        giveUp = execModal(*fOnaySor) != 1;
    }
    qTemp->close();
    return giveUp;
}

void TfHarita::qHaritaBeforePost(Dataset &dataset)
{
    if (dataset.isNull(QStringLiteral("px")))
        throw Abort();
}

void TfHarita::qHaritaAfterPost(Dataset &)
{
    MarkColor = QColor(0, 128, 0);
    OkuVeIsaretle();
}

void TfHarita::dHaritaDataChange(const QString &field)
{
    if (field.isEmpty() || field != QLatin1String("tip"))
        return;
    const QString type = qHarita->asString(QStringLiteral("tip"));
    if (!type.isEmpty() && type != uGenel::LastPlaceType)
        uGenel::LastPlaceType = type;
}

bool TfHarita::mayEnd()
{
    if (!qHarita || !qHarita->isEditing())
        return true;
    qHarita->updateRecord(); // text still in an edit box counts as a change
    if (!qHarita->modified())
        return true;
    switch (ask(QStringLiteral("Kaydedilmemiş bir yer bilgisi var. Kaydedilsin mi?"))) {
    case Answer::Yes:
        qHarita->post(); // a refusal or an error keeps the program open, the row in editing
        return true;
    case Answer::No:
        qHarita->cancel();
        return true;
    case Answer::Cancel:
        break;
    }
    return false;
}

void TfHarita::closeEvent(QCloseEvent *event)
{
    bool end = false;
    guarded([&] { end = mayEnd(); });
    if (!end) {
        event->ignore();
        return;
    }
    requestQuit();
    event->accept();
}
