#pragma once
#include "data/connection.h"
#include "map/maplayer.h"

#include <QColor>
#include <QImage>
#include <QWidget>

class QCheckBox;
class QColorDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QWheelEvent;
class ColorSwatch;
class Dataset;
class DBGrid;
class DBLookupCombo;

// The main window: one sheet in a view of three layers, the track bars and readouts,
// the search panel and add mode. Its methods live with their concern: creation and the
// view in map/, search, marking and adding in places/, the about calls in about/.
class TfHarita : public QWidget {
    Q_OBJECT
public:
    TfHarita();
    ~TfHarita() override;

    // Start-up: reads "HARITA.TXT", connects, opens the datasets, shows the first sheet.
    void FormCreate();
    void Button7Click();

    // The sheet index and switching.
    void LoadSheetIndex();
    int FindSheet(const QString &num) const;
    void SelectSheet(int index);
    void ShowSheetName();
    void ShowSheetPoint(int index, int x, int y);

    // The view and its readouts.
    void PlaceMarker(int x, int y);
    void Image2Temizle();
    void Image1MouseMove(int X, int Y);
    void Image2MouseMove(int X, int Y);
    void TrackBar1Change();
    void TrackBar2Change();
    void Button5Click();
    void Button2Click();
    void Button3Click();
    void ScrollBox1Resize();
    void FormResize();
    void ShapeBorderColorMouseDown();

    // Search.
    void Button1Click();
    void edAraKeyPress(QChar &key);
    void dAraDataChange(const QString &field);

    // Marking.
    void OkuVeIsaretle();
    void DrawPlaceMark(int x, int y);

    // Adding places.
    void Button4Click();
    void Image2MouseDown(Qt::MouseButton button, int X, int Y);
    void Image1MouseDown(Qt::MouseButton button, int X, int Y);
    bool CheckNearbyPlace(const QString &sheet, int x, int y);
    void qHaritaBeforePost(Dataset &dataset);
    void qHaritaAfterPost(Dataset &dataset);
    void dHaritaDataChange(const QString &field);

    // The about window.
    void Button6Click();
    void StaticText1MouseDown();

    // Controls, named as their objectNames.
    QFrame *Panel6 = nullptr;
    QPushButton *Button3 = nullptr;
    QPushButton *Button4 = nullptr;
    QPushButton *Button6 = nullptr;
    QPushButton *Button7 = nullptr;
    QLabel *StaticText1 = nullptr;
    QFrame *Splitter1 = nullptr;
    QFrame *Panel5 = nullptr;
    QFrame *Panel1 = nullptr;
    QFrame *ScrollBox1 = nullptr;
    MapLayer *Image1 = nullptr;
    MapLayer *Image3 = nullptr;
    MapLayer *Image2 = nullptr;
    QFrame *Panel2 = nullptr;
    QFrame *Panel4 = nullptr;
    QSlider *TrackBar2 = nullptr;
    QSlider *TrackBar1 = nullptr;
    QPushButton *Button5 = nullptr;
    QCheckBox *CheckBoxMagnifierBorder = nullptr;
    QCheckBox *CheckBoxMagnifierCursor = nullptr;
    ColorSwatch *ShapeBorderColor = nullptr;
    QColorDialog *ColorDialog = nullptr;
    QLabel *Label9 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label10 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label3 = nullptr;
    QFrame *Panel3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label7 = nullptr;
    QPushButton *Button2 = nullptr;
    QLabel *Label8 = nullptr;
    QLineEdit *edPaftano = nullptr;
    DBLookupCombo *leAra = nullptr;
    QLineEdit *edAra = nullptr;
    QPushButton *Button1 = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
    QFrame *Panel7 = nullptr;
    DBGrid *DBGrid1 = nullptr;

    // Data.
    Connection ADOConnection1;
    Dataset *qHarita = nullptr;
    Dataset *qPafta = nullptr;
    Dataset *qTip = nullptr;
    Dataset *qAra = nullptr;
    Dataset *qTemp = nullptr;

    // State.
    QString SheetImagePath;
    int SheetOriginX = 0;
    int SheetOriginY = 0;
    QImage OverlayBitmap;
    int MarkRadius = 0;
    bool AddMode = false;
    QColor MarkColor;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void wireHandlers();
    void buildDatasets();
    void connectDatabase(const QString &databaseFile);
    void setupLayers();
    void drawMarker();
    void setTrackMaxima();
    void mapClick(QPoint sheetPoint, QPoint viewPoint);
    void wheelScroll(const QWheelEvent &event);
    QString leAraText() const;
    // Asks about a changed, unsaved place before the program ends; false keeps it running.
    bool mayEnd();

};

extern TfHarita *fHarita;
