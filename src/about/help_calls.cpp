#include "map/uHarita.h"

void TfHarita::Button6Click() {}
void TfHarita::StaticText1MouseDown() {}
