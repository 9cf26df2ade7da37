#pragma once
#include "data/connection.h"
#include "data/georef.h"
#include "map/maplayer.h"
#include "map/sheetlayer.h"
#include "overview/mainmap.h"

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
class QToolButton;
class QWheelEvent;
class ColorSwatch;
class Dataset;
class DBGrid;
class DBLookupCombo;

// The main window: one sheet in a view of three layers, the track bars and readouts,
// the search panel and add mode. Its methods live with their concern: creation and the
// view in map/, search, marking and adding in places/, the about calls in about/.
class TfHarita : public QWidget, public MainMap {
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
    void SelectSheet(int index) override;
    void ShowSheetName();
    void ShowSheetPoint(int index, int x, int y) override;

    // The view and its readouts.
    void PlaceMarker(int x, int y);
    void Image2Temizle() override;
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

    // Zoom (screen pixels per sheet pixel) and panning. The zoom is the sheet layer's.
    void setZoom(double zoom, QPoint anchor);
    void zoomBy(int steps, QPoint anchor);
    void zoomWholeSheet();
    // Between the view and the sheet, at the zoom: used by the readouts, the clicks, the marks.
    QPoint sheetToView(QPoint sheet) const;
    QPoint viewToSheet(QPoint view) const;

    // What the overview reads and calls.
    QPoint SheetOrigin() const override { return QPoint(SheetOriginX, SheetOriginY); }
    QPoint LayerOffset() const override;
    QSize VisibleSize() const override;
    double Zoom() const override;
    QColor BorderColor() const override;
    std::optional<QString> OverviewFileName() const override;
    bool InAddMode() const override { return AddMode; }
    QString DatabaseTarget() const override { return ADOConnection1.target(); }
    void SetMarkColor(QColor color) override { MarkColor = color; }
    void Repaint() override { update(); }

    // Search.
    void Button1Click();
    void edAraKeyPress(QChar &key);
    void dAraDataChange(const QString &field);

    // Marking.
    void OkuVeIsaretle() override;
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
    SheetLayer *Image1 = nullptr;
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
    // The pointer's position on the ground; only in a georeferenced region.
    QLabel *LabelKonum = nullptr;
    QLabel *Label3 = nullptr;
    QToolButton *ZoomOut = nullptr;
    QLabel *ZoomLabel = nullptr;
    QToolButton *ZoomIn = nullptr;
    QCheckBox *CheckBoxSmooth = nullptr;
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
    // Where the region lies on the ground, when it was made from georeferenced sheets.
    std::optional<Georef> georef;

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
    void showGeorefReadout();
    void wireHandlers();
    void buildDatasets();
    void connectDatabase(const QString &databaseFile);
    void setupLayers();
    void drawMarker();
    void setTrackMaxima();
    // The one path of a moved or rescaled view: the layer to offset, the track bars to it when
    // they did not move it, the marks in add mode when asked, the overview always.
    enum class Marks { Keep, Redraw };
    void showView(QPoint offset, bool trackBarsFollow, Marks marks);
    void buildZoomControl();
    void wireZoom();
    // To a zoom with the layer at offset; the marker keeps its sheet point.
    void rescale(double zoom, QPoint offset);
    void showZoom();
    // The readouts for the pointer at a view point, as if it had just moved there.
    void pointerReadout(QPoint view);
    // Middle-button panning; pos in the layer's own coordinates. Press and move: true when the event was one.
    bool panPress(QWidget *layer, Qt::MouseButton button, QPoint pos);
    bool panMove(QWidget *layer, QPoint pos);
    void panRelease(Qt::MouseButton button);
    void mapClick(QPoint sheetPoint, QPoint viewPoint);
    void wheelScroll(const QWheelEvent &event);
    QString leAraText() const;
    // Asks about a changed, unsaved place before the program ends; false keeps it running.
    bool mayEnd();

    // The current sheet layer's size at 100 %.
    QSize sheetSize;
    // The view point where a middle-button drag last was; none when not panning.
    std::optional<QPoint> panFrom;
};

extern TfHarita *fHarita;

// The readout of a stored region point (pafta.px0 + px, pafta.py0 + py) in a
// georeferenced region: "D:481668.79 K:4415488.92" and, where the system is known, a
// second line "39.889266° K 32.785594° D"; empty for other regions.
QString georefReadout(QPoint storedRegionPoint);
