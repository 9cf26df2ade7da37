#pragma once
#include "places/editing.h"

#include <QWidget>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

// The place correcting window: one place at a time, renamed, retyped, moved (typed or dragged
// on the map) and saved with "Kaydet", or deleted with "Sil" after a question that names it.
class TfDuzelt : public QWidget {
    Q_OBJECT
public:
    explicit TfDuzelt(PlaceEdits &edits);
    ~TfDuzelt() override;

    // Reads the place afresh and shows it; the window comes to the front.
    void showPlace(const QVariant &id, const QString &note = QString());
    const PlaceRow &place() const { return m_place; }
    // A drag on the map: where the place would land, in stored units, not saved yet.
    void setLanding(int px, int py);

    void btnKaydetClick();
    void btnSilClick();

    QFrame *Panel1 = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *edIsim = nullptr;
    QLabel *Label2 = nullptr;
    QComboBox *cbTip = nullptr;
    QLabel *Label3 = nullptr;
    QLineEdit *edPx = nullptr;
    QLineEdit *edPy = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *lbPafta = nullptr;
    QLabel *lbDurum = nullptr;
    QPushButton *btnKaydet = nullptr;
    QPushButton *btnSil = nullptr;
    QPushButton *btnGeriAl = nullptr;
    QPushButton *btnGecmis = nullptr;
    QPushButton *btnKapat = nullptr;

signals:
    // A place was written (changed, deleted): the map, the search and the overview show it
    // anew; was is the place as this window showed it before.
    void placeWritten(const QVariant &id, const PlaceRow &was);

private:
    void fill(const PlaceRow &place);
    PlaceRow typed() const;
    void conflict(const PlaceChangedMeanwhile &e, const PlaceRow &mine);

    PlaceEdits &m_edits;
    PlaceRow m_place;
    bool m_placed = false;
};

extern TfDuzelt *fDuzelt;
