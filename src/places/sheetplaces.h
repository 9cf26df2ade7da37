#pragma once
#include <QHash>
#include <QString>
#include <vector>

class Dataset;

// The rows of each sheet's places in the place dataset's snapshot, in row order, so that a
// marking pass costs what the sheet holds. The owner invalidates it whenever rows are
// saved, added, removed or re-read.
class SheetPlacesIndex {
public:
    void invalidate() { m_valid = false; }
    const std::vector<int> &rowsOn(const Dataset &places, const QString &sheet);

private:
    bool m_valid = false;
    QHash<QString, std::vector<int>> m_bySheet;
};
