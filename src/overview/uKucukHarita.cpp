#include "overview/uKucukHarita.h"
#include "app/datapath.h"
#include "app/uGenel.h"
#include "framework/formparts.h"
#include "framework/messages.h"
#include "framework/picture.h"
#include "map/coords.h"
#include "map/maplayer.h"
#include "overview/mainmap.h"
#include "overview/overview_controls.h"

#include <QFileInfo>
#include <QFrame>
#include <QPainter>
#include <QStatusBar>
#include <QVBoxLayout>

QImage OverviewPicture;
TfKucukHarita *fKucukHarita = nullptr;

TfKucukHarita::TfKucukHarita()
    : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("fKucukHarita"));
    setWindowTitle(QStringLiteral("fKucukHarita"));
    move(842, 381);
    resize(168, 98);

    Panel1 = fillWithPanel(this);
    auto *inner = new QVBoxLayout(Panel1);
    inner->setContentsMargins(1, 1, 1, 1);
    inner->setSpacing(0);
    Image1 = new MapLayer(QStringLiteral("Image1"), Panel1);
    inner->addWidget(Image1, 1, Qt::AlignLeft | Qt::AlignTop);
    Layers = new OverviewControls(Panel1);
    inner->addWidget(Layers);
    StatusBar1 = new QStatusBar(Panel1);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(19);
    StatusBar1->setSizeGripEnabled(false);
    inner->addWidget(StatusBar1);

    connect(Image1, &MapLayer::mousePressed, this,
            [this](Qt::MouseButton b, QPoint p) { guarded([&] { Image1MouseDown(b, p.x(), p.y()); }); });
    connect(Image1, &MapLayer::mouseMoved, this, [this](QPoint p) { guarded([&] { Image1MouseMove(p.x(), p.y()); }); });
    connect(Image1, &MapLayer::mouseMoved, this,
            [this](QPoint p) { OverviewControls::nameSheet(Image1, SheetAt(p.x(), p.y())); });
    connect(Layers, &OverviewControls::changed, this, [this] { guarded([this] { redrawLayers(); }); });
    connect(Layers, &OverviewControls::failed, this,
            [this](const QString &m) { StatusBar1->showMessage(QStringLiteral("Yerler okunamadı: ") + m); });

    fKucukHarita = this;
    show();
    guarded([this] { FormCreate(); });
}

TfKucukHarita::~TfKucukHarita()
{
    if (fKucukHarita == this)
        fKucukHarita = nullptr;
}

void TfKucukHarita::FormCreate()
{
    OverviewPicture = QImage();
    LoadOverview();
}

void TfKucukHarita::LoadOverview()
{
    // A main window whose start-up stopped early has said why already.
    const std::optional<QString> kucuk = mainMap()->OverviewFileName();
    if (!kucuk)
        return;
    const QString file = resolveDataFile(uGenel::DataDir, *kucuk);
    QImage picture = loadPicture(file);
    // Only a Windows bitmap gives the overview a picture; other kinds leave it empty.
    if (QFileInfo(file).suffix().compare(QLatin1String("bmp"), Qt::CaseInsensitive) != 0)
        picture = QImage();
    OverviewPicture = picture.convertToFormat(QImage::Format_RGB32);
    const int w = OverviewPicture.width();
    const int h = OverviewPicture.height();
    Layers->setDatabase(mainMap()->DatabaseTarget());
    setFixedSize(std::max(w + 4, Layers->sizeHint().width() + 2),
                 h + 4 + Layers->sizeHint().height() + StatusBar1->height());
    mainMap()->Repaint();
    Image1->setFixedSize(w, h);
    Image1->setPicture(OverviewPicture.copy());
    Layers->drawOn(Image1->canvas(), OverviewScale());
}

bool TfKucukHarita::hasPicture() const
{
    return Image1 && Image1->width() > 0 && !OverviewPicture.isNull();
}

double TfKucukHarita::OverviewScale() const
{
    return coords::overviewScale(uGenel::OverviewSpan, Image1->width(), uGenel::ScaleDivisor);
}

int TfKucukHarita::SheetAt(int x, int y) const
{
    // Without a picture there is no scale: the pointer is over no sheet.
    if (!hasPicture())
        return -1;
    return coords::sheetAt(uGenel::Sheets, coords::overviewToStored(QPoint(x, y), OverviewScale()));
}

void TfKucukHarita::DrawViewport()
{
    // An empty overview has no scale: nothing to draw, nothing to divide by.
    if (!hasPicture())
        return;
    const double r = coords::overviewRatio(OverviewScale(), uGenel::ScaleDivisor);
    QImage &canvas = Image1->canvas();
    canvas = OverviewPicture.copy();
    Layers->drawOn(canvas, OverviewScale());
    m_crosshair.reset();
    if (r > 0) {
        const MainMap &map = *mainMap();
        const QRect box =
            coords::viewportRect(map.SheetOrigin(), map.LayerOffset(), map.VisibleSize(), r, map.Zoom());
        QPainter painter(&canvas);
        painter.setPen(QPen(map.BorderColor(), 1));
        painter.drawLine(box.left(), box.top(), box.right(), box.top());
        painter.drawLine(box.right(), box.top(), box.right(), box.bottom());
        painter.drawLine(box.right(), box.bottom(), box.left(), box.bottom());
        painter.drawLine(box.left(), box.bottom(), box.left(), box.top());
    }
    Image1->update();
}

void TfKucukHarita::DrawCrosshair(int x, int y)
{
    if (!hasPicture())
        return;
    const double r = coords::overviewRatio(OverviewScale(), uGenel::ScaleDivisor);
    DrawViewport();
    if (r <= 0)
        return;
    m_crosshair = QPoint(x, y);
    const QPoint c = coords::crosshair(QPoint(x, y), mainMap()->SheetOrigin(), r);
    QPainter painter(&Image1->canvas());
    painter.setPen(QPen(QColor(255, 0, 0), 1));
    painter.drawLine(0, c.y(), Image1->width(), c.y());
    painter.drawLine(c.x(), 0, c.x(), Image1->height());
    painter.end();
    Image1->update();
}

void TfKucukHarita::redrawLayers()
{
    if (m_crosshair)
        DrawCrosshair(m_crosshair->x(), m_crosshair->y());
    else
        DrawViewport();
}

void TfKucukHarita::Image1MouseDown(Qt::MouseButton, int X, int Y)
{
    MainMap &map = *mainMap();
    map.Image2Temizle();
    const QPoint m = coords::overviewToStored(QPoint(X, Y), OverviewScale());
    const int i = SheetAt(X, Y);
    if (i >= 0) {
        const paftarec &sheet = uGenel::Sheets[size_t(i)];
        if (sheet.num != uGenel::CurrentSheet)
            map.SelectSheet(i);
        // Offsets are stored units; the view wants displayed sheet pixels.
        const QPoint p = coords::storedToSheet(m, QPoint(sheet.px0, sheet.py0), uGenel::ScaleDivisor);
        map.ShowSheetPoint(i, p.x(), p.y());
        DrawCrosshair(p.x(), p.y());
    }
    if (map.InAddMode()) {
        map.SetMarkColor(QColor(0, 128, 0));
        map.OkuVeIsaretle();
    }
}

void TfKucukHarita::Image1MouseMove(int X, int Y)
{
    const QPoint m = coords::overviewToStored(QPoint(X, Y), OverviewScale());
    StatusBar1->showMessage(QStringLiteral(" X:%1 Y:%2 Pafta=%3").arg(m.x()).arg(m.y()).arg(SheetAt(X, Y)));
}
