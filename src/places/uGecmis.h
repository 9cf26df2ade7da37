#pragma once
#include <QWidget>

class PlaceEdits;
class QPushButton;
class QTableWidget;

// Who changed which place when: the change history, newest first.
class TfGecmis : public QWidget {
    Q_OBJECT
public:
    explicit TfGecmis(PlaceEdits &edits);
    ~TfGecmis() override;

    void Yenile(); // reads the history anew

    QTableWidget *twGecmis = nullptr;
    QPushButton *btnGeriAl = nullptr;
    QPushButton *btnYenile = nullptr;
    QPushButton *btnKapat = nullptr;

private:
    PlaceEdits &m_edits;
};

extern TfGecmis *fGecmis;
