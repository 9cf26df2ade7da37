// Circling the places of the current sheet on the overlay.
#include "map/uHarita.h"

void TfHarita::OkuVeIsaretle() {}
void TfHarita::DrawPlaceMark(int, int) {}
