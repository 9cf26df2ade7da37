#include "uGenel.h"

namespace uGenel {
QString DataDir;
QString CurrentSheet;
int ScaleDivisor = 1;
int OverviewSpan = 0;
std::vector<paftarec> Sheets;
int SheetCount = 0;
QString LastPlaceType;

void reset()
{
    DataDir.clear();
    CurrentSheet.clear();
    ScaleDivisor = 1;
    OverviewSpan = 0;
    Sheets.clear();
    SheetCount = 0;
    LastPlaceType.clear();
}
}
