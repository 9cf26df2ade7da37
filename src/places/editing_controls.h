#pragma once

class TfHarita;

// Puts correcting places into the main window: the "Düzelt", "Geri Al" and "Geçmiş" buttons,
// the result grid's menu, Ctrl+Z, and selecting and dragging a place on the map.
void installPlaceEditing(TfHarita &window);
