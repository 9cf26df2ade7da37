#pragma once
#include <QString>
#include <vector>

// One entry of the sheet index, stored values as read from table pafta.
struct paftarec {
    QString num;
    QString ad;
    int px = 0;
    int py = 0;
    int px0 = 0;
    int py0 = 0;
};

// The program's shared state; lives for the whole run.
namespace uGenel {
extern QString DataDir;      // ends in "/"
extern QString CurrentSheet;
extern int ScaleDivisor;     // never 0 once start-up has read it
extern int OverviewSpan;
extern std::vector<paftarec> Sheets;
extern int SheetCount;
extern QString LastPlaceType;
void reset();
}
