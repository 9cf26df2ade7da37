#pragma once
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
};

extern TfBilgigir *fBilgigir;
