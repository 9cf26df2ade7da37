#pragma once
#include "data/georef.h"

#include <QPoint>
#include <QWidget>

#include <optional>

class QFrame;
class QLabel;
class DBEdit;
class DBLookupCombo;
class DBNavigator;

// The place entry window: every control shows and edits the current row of qHarita.
class TfBilgigir : public QWidget {
    Q_OBJECT
public:
    TfBilgigir();
    ~TfBilgigir() override;

    void DBEdit4KeyPress(QChar &key);
    // The current row's position in the sheets' system and in latitude and longitude.
    void KonumGoster();

    QFrame *Panel1 = nullptr;
    QLabel *Label1 = nullptr;
    DBEdit *DBEdit1 = nullptr;
    DBEdit *DBEdit2 = nullptr;
    QLabel *Label3 = nullptr;
    DBEdit *DBEdit3 = nullptr;
    QLabel *Label2 = nullptr;
    DBLookupCombo *JvDBLookupCombo1 = nullptr;
    DBEdit *DBEdit4 = nullptr;
    DBNavigator *DBNavigator1 = nullptr;
    // Only in a georeferenced region; LabelEnlemBoylam only where its system is known.
    QLabel *LabelKonum = nullptr;
    QLabel *LabelEnlemBoylam = nullptr;

    // The region's georeferencing, read once when the window is made.
    std::optional<Georef> georef;
};

extern TfBilgigir *fBilgigir;

// The readout of a stored region point (pafta.px0 + px, pafta.py0 + py) in a
// georeferenced region: "D:481668.79 K:4415488.92" and, where the system is known, a
// second line "39.889266° K 32.785594° D"; empty for other regions.
QString georefReadout(QPoint storedRegionPoint);
