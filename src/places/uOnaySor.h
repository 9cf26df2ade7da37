#pragma once
#include <QDialog>

struct NearbyPlace;
class QLabel;
class QListWidget;
class QPushButton;

// Names a stored place found near a click, and lists those of the adjoining sheets with
// their sheet numbers; "Kayıt Ekle" (1) adds anyway, "Vazgeç" (2) gives up.
class TfOnaySor : public QDialog {
    Q_OBJECT
public:
    TfOnaySor();
    ~TfOnaySor() override;

    QLabel *Label1 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label3 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;
    QLabel *Label6 = nullptr;
    QListWidget *ListBox1 = nullptr;

    // Shown only where there are any.
    void showAdjoining(const QList<NearbyPlace> &places);

public slots:
    void reject() override; // the close box and Escape give up
};

extern TfOnaySor *fOnaySor;
