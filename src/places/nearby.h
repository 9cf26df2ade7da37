#pragma once
#include "app/uGenel.h"

#include <QList>
#include <QString>

#include <vector>

class QSqlDatabase;

struct NearbyPlace {
    QString sheet;
    QString tip;
    QString isim;
};

// The places of the other sheets within r of sheet pixel (x, y) of the given sheet, both
// measured in region pixels (a sheet's px0, py0 plus its own pixels), in sheet order;
// a square window, bounds inclusive, as the same sheet's check. One query per sheet
// whose extent reaches the window, each bounded and answered by the (pafta, px) index.
QList<NearbyPlace> placesOnAdjoiningSheets(QSqlDatabase db, const std::vector<paftarec> &sheets,
                                           const QString &sheet, int x, int y, int r);
