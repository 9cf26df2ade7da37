// The main window's controls, at the positions and sizes of its design.
#include "framework/dbgrid.h"
#include "framework/dblookupcombo.h"
#include "framework/formparts.h"
#include "framework/messages.h"
#include "map/colorswatch.h"
#include "map/uHarita.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QColorDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>

namespace {

template <class W, class... Args> W *make(const char *name, QWidget *parent, Args &&...args)
{
    auto *w = new W(std::forward<Args>(args)..., parent);
    w->setObjectName(QLatin1String(name));
    return w;
}

QFont pixelFont(int pixels, bool bold)
{
    QFont f;
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

} // namespace

void TfHarita::buildControls()
{
    setWindowTitle(QStringLiteral("fHarita - v0.1.01 (12.08.2006)"));
    // The frame at the design's place; the client area inside it, whose view is 742 x 639.
    move(70, 37);
    resize(943, 668);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    Panel6 = makePanel("Panel6", this);
    Panel6->setFixedHeight(25);
    outer->addWidget(Panel6);
    Button3 = makeButton("Button3", Panel6, QStringLiteral("Gizle"), {12, 4, 75, 17});
    Button4 = makeButton("Button4", Panel6, QStringLiteral("Yerleşim Ekle"), {88, 4, 73, 17});
    Button4->setEnabled(false);
    Button6 = makeButton("Button6", Panel6, QStringLiteral("Yardım"), {228, 4, 73, 17});
    Button7 = makeButton("Button7", Panel6, QStringLiteral("Program Sonu"), {300, 4, 73, 17});
    StaticText1 = make<QLabel>("StaticText1", Panel6, QStringLiteral("ZEMIRA"));
    StaticText1->setFont(pixelFont(16, true));
    StaticText1->setAlignment(Qt::AlignCenter);
    StaticText1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    StaticText1->setLineWidth(2);
    StaticText1->setMidLineWidth(0);
    StaticText1->setFixedSize(101, 23);
    auto *bar = new QHBoxLayout(Panel6);
    bar->setContentsMargins(0, 0, 1, 0);
    bar->addStretch(1);
    bar->addWidget(StaticText1, 0, Qt::AlignTop | Qt::AlignRight); // anchored to the top right

    auto *middle = new QHBoxLayout;
    middle->setSpacing(0);
    outer->addLayout(middle, 1);
    Panel5 = makePanel("Panel5", this);
    middle->addWidget(Panel5, 1);
    Splitter1 = make<QFrame>("Splitter1", this);
    Splitter1->setFixedWidth(3);
    middle->addWidget(Splitter1);

    auto *inner = new QHBoxLayout(Panel5);
    inner->setContentsMargins(0, 0, 0, 0);
    inner->setSpacing(0);
    Panel1 = makePanel("Panel1", Panel5);
    inner->addWidget(Panel1, 1);
    Panel2 = makePanel("Panel2", Panel5);
    Panel2->setFixedWidth(194);
    inner->addWidget(Panel2);

    auto *viewLayout = new QVBoxLayout(Panel1);
    viewLayout->setContentsMargins(0, 0, 0, 0);
    ScrollBox1 = make<QFrame>("ScrollBox1", Panel1);
    ScrollBox1->setFrameStyle(QFrame::NoFrame);
    viewLayout->addWidget(ScrollBox1);
    ScrollBox1->installEventFilter(this);
    Image1 = new SheetLayer(QStringLiteral("Image1"), ScrollBox1);
    connect(Image1, &SheetLayer::damaged, this, [](const QString &warning) { showError(warning); });
    Image1->setGeometry(0, 0, 10000, 1206);
    Image3 = new MapLayer(QStringLiteral("Image3"), ScrollBox1);
    Image3->setGeometry(0, 0, 30, 30);
    Image3->hide();
    Image2 = new MapLayer(QStringLiteral("Image2"), ScrollBox1);

    auto *side = new QVBoxLayout(Panel2);
    side->setContentsMargins(0, 0, 0, 0);
    side->setSpacing(0);
    Panel4 = makePanel("Panel4", Panel2);
    Panel4->setFixedHeight(120);
    side->addWidget(Panel4);
    Panel3 = makePanel("Panel3", Panel2);
    Panel3->setFixedHeight(200);
    side->addWidget(Panel3);
    Panel7 = makePanel("Panel7", Panel2);
    side->addWidget(Panel7, 1);

    TrackBar2 = make<QSlider>("TrackBar2", Panel4, Qt::Vertical);
    TrackBar2->setGeometry(4, 0, 17, 121);
    TrackBar2->setInvertedAppearance(true); // 0 at the top
    TrackBar2->setInvertedControls(true);
    TrackBar1 = make<QSlider>("TrackBar1", Panel4, Qt::Horizontal);
    TrackBar1->setGeometry(24, 4, 157, 17);
    for (QSlider *t : {TrackBar1, TrackBar2}) {
        t->setRange(0, 10);
        t->setValue(0);
    }
    Button5 = makeButton("Button5", Panel4, QStringLiteral("Sıfırla"), {32, 40, 57, 21});
    CheckBoxMagnifierBorder = make<QCheckBox>("CheckBoxMagnifierBorder", Panel4, QStringLiteral("Border"));
    CheckBoxMagnifierBorder->move(95, 40);
    CheckBoxMagnifierBorder->setChecked(true);
    CheckBoxMagnifierBorder->adjustSize();
    CheckBoxMagnifierCursor = make<QCheckBox>("CheckBoxMagnifierCursor", Panel4, QStringLiteral("Cursor"));
    CheckBoxMagnifierCursor->move(96, 58);
    CheckBoxMagnifierCursor->setChecked(true);
    CheckBoxMagnifierCursor->adjustSize();
    buildZoomControl();
    ShapeBorderColor = new ColorSwatch(QStringLiteral("ShapeBorderColor"), QColor(255, 0, 0), Panel4);
    ShapeBorderColor->move(154, 40);
    ColorDialog = make<QColorDialog>("ColorDialog", this);
    ColorDialog->setCurrentColor(QColor(255, 0, 0));
    Label9 = makeLabel("Label9", Panel4, QStringLiteral("Koordinatlar: "), {32, 80});
    Label2 = makeLabel("Label2", Panel4, QStringLiteral("Label2"), {96, 79});
    Label2->setFixedWidth(81);
    Label10 = makeLabel("Label10", Panel4, QStringLiteral("Pafta Koord: "), {32, 96});
    Label1 = makeLabel("Label1", Panel4, QStringLiteral("Label1"), {96, 96});
    Label1->setMinimumWidth(95);

    Label4 = makeLabel("Label4", Panel3, QStringLiteral("Image1 top : "), {4, 16});
    Label6 = makeLabel("Label6", Panel3, QString(), {84, 16});
    Label6->setFixedWidth(85);
    Label5 = makeLabel("Label5", Panel3, QStringLiteral("Image2 width : "), {4, 36});
    Label7 = makeLabel("Label7", Panel3, QString(), {84, 36});
    Label7->setFixedWidth(85);
    Button2 = makeButton("Button2", Panel3, QStringLiteral("Göster"), {136, 28, 43, 25});
    Label8 = makeLabel("Label8", Panel3, QStringLiteral("Paftano : "), {4, 56});
    edPaftano = make<QLineEdit>("edPaftano", Panel3, QStringLiteral("*"));
    edPaftano->setGeometry(56, 56, 121, 21);
    edPaftano->setEnabled(false);
    leAra = new DBLookupCombo(*qTip, QStringLiteral("ad"), nullptr, QString(), Panel3);
    leAra->setObjectName(QStringLiteral("leAra"));
    leAra->setGeometry(56, 80, 121, 21);
    leAra->setEnabled(false);
    edAra = make<QLineEdit>("edAra", Panel3, QStringLiteral("*"));
    edAra->setGeometry(8, 104, 121, 21);
    Button1 = makeButton("Button1", Panel3, QStringLiteral("Ara"), {134, 104, 47, 25});
    Memo1 = make<QPlainTextEdit>("Memo1", Panel3);
    Memo1->setGeometry(0, 136, 185, 57);
    Memo1->setPlainText(QStringLiteral("Memo1"));

    auto *gridLayout = new QVBoxLayout(Panel7);
    gridLayout->setContentsMargins(1, 1, 1, 1);
    DBGrid1 = new DBGrid(*qAra,
                         {{QStringLiteral("isim"), 72}, {QStringLiteral("tip"), 31}, {QStringLiteral("px"), 25},
                          {QStringLiteral("py"), 26}, {QStringLiteral("kod")}, {QStringLiteral("pafta")},
                          {QStringLiteral("cx")}, {QStringLiteral("cy")}},
                         Panel7);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    gridLayout->addWidget(DBGrid1);

    // The sheet number sits where the search panel would cover it; kept above it, and widened
    // to the left so a whole sheet number fits, so it is seen.
    Label3 = make<QLabel>("Label3", Panel2);
    Label3->setFont(pixelFont(13, true));
    Label3->setGeometry(120, 132, 69, 17);
    Label3->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label3->raise();

    // Start-up reads the view's size before the window is shown, when layouts have not run:
    // lay out each level now, outside in.
    for (QWidget *w : {static_cast<QWidget *>(this), static_cast<QWidget *>(Panel5), static_cast<QWidget *>(Panel1),
                       static_cast<QWidget *>(Panel2)}) {
        w->layout()->invalidate();
        w->layout()->activate();
    }
}

void TfHarita::buildZoomControl()
{
    // In the free strip between the horizontal track bar and the reset button.
    ZoomOut = make<QToolButton>("ZoomOut", Panel4);
    ZoomOut->setText(QStringLiteral("−"));
    ZoomOut->setToolTip(QStringLiteral("Uzaklaş (−)"));
    ZoomOut->setGeometry(24, 22, 17, 17);
    ZoomLabel = make<QLabel>("ZoomLabel", Panel4);
    ZoomLabel->setAlignment(Qt::AlignCenter);
    ZoomLabel->setToolTip(QStringLiteral("Ölçek: 0 bütün pafta, 1 %100"));
    ZoomLabel->setGeometry(42, 22, 44, 17);
    ZoomIn = make<QToolButton>("ZoomIn", Panel4);
    ZoomIn->setText(QStringLiteral("+"));
    ZoomIn->setToolTip(QStringLiteral("Yakınlaş (+)"));
    ZoomIn->setGeometry(87, 22, 17, 17);
    CheckBoxSmooth = make<QCheckBox>("CheckBoxSmooth", Panel4, QStringLiteral("Yumuşak"));
    CheckBoxSmooth->setToolTip(QStringLiteral("Büyütürken yumuşak çiz"));
    CheckBoxSmooth->setGeometry(110, 21, 80, 19);
    for (QWidget *w : {static_cast<QWidget *>(ZoomOut), static_cast<QWidget *>(ZoomIn),
                       static_cast<QWidget *>(CheckBoxSmooth)})
        w->setFocusPolicy(Qt::NoFocus); // the keys stay with the view's shortcuts
}

void TfHarita::showGeorefReadout()
{
    // Two more lines under the readouts; regions without georeferencing keep today's panel.
    Panel4->setFixedHeight(Panel4->height() + 30);
    Label3->move(Label3->x(), Label3->y() + 30);
    LabelKonum = makeLabel("LabelKonum", Panel4, QString(), {32, 114});
    LabelKonum->setMinimumWidth(150);
    LabelKonum->setMinimumHeight(28);
    LabelKonum->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LabelKonum->show();
}
