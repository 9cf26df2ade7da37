// Place search: the statement, the result grid, jumping to the current result.
#include "map/uHarita.h"

void TfHarita::Button1Click() {}

void TfHarita::edAraKeyPress(QChar &key)
{
    if (key == QChar(13))
        Button1Click();
}

void TfHarita::dAraDataChange(const QString &) {}
