#pragma once
#include <QHash>
#include <QString>
#include <vector>

class Dataset;

struct SheetPlace {
    int px;
    int py;
};

// The places of each sheet in the place dataset's snapshot, in row order, so that a
// marking pass costs what the sheet holds. The owner invalidates it whenever rows are
// saved, added, removed or re-read.
class SheetPlacesIndex {
public:
    void invalidate() { m_valid = false; }
    const std::vector<SheetPlace> &placesOn(const Dataset &places, const QString &sheet);

private:
    bool m_valid = false;
    QHash<QString, std::vector<SheetPlace>> m_bySheet;
};
