// The sheet index, choosing and loading the current sheet, showing a point of a sheet.
#include "app/datapath.h"
#include "app/uGenel.h"
#include "framework/dataset.h"
#include "framework/messages.h"
#include "map/coords.h"
#include "map/sheetneighbours.h"
#include "map/uHarita.h"
#include "overview/uKucukHarita.h"

#include <QLabel>

void TfHarita::LoadSheetIndex()
{
    using namespace uGenel;
    SheetCount = qPafta->recordCount();
    Sheets.assign(size_t(SheetCount), paftarec{});
    qPafta->first();
    for (int i = 0; !qPafta->eof() && i < SheetCount; ++i) {
        paftarec &p = Sheets[size_t(i)];
        p.num = qPafta->asString(QStringLiteral("num"));
        p.ad = qPafta->asString(QStringLiteral("ad"));
        p.px = qPafta->asInteger(QStringLiteral("px"));
        p.py = qPafta->asInteger(QStringLiteral("py"));
        p.px0 = qPafta->asInteger(QStringLiteral("px0"));
        p.py0 = qPafta->asInteger(QStringLiteral("py0"));
        qPafta->next();
    }
}

int TfHarita::FindSheet(const QString &num) const
{
    const auto &sheets = uGenel::Sheets;
    for (int i = 0; i < uGenel::SheetCount; ++i)
        if (sheets[size_t(i)].num == num)
            return i;
    return -1;
}

void TfHarita::SelectSheet(int index)
{
    using namespace uGenel;
    if (index == -1) {
        qPafta->first();
        CurrentSheet = qPafta->asString(QStringLiteral("num"));
    } else {
        CurrentSheet = Sheets.at(size_t(index)).num;
        qPafta->locate(QStringLiteral("num"), CurrentSheet);
    }
    ShowSheetName();

    const QString ad = qPafta->asString(QStringLiteral("ad"));
    SheetImagePath = DataDir + ad;
    const QSize layer = coords::sheetLayerSize(qPafta->asInteger(QStringLiteral("px")),
                                               qPafta->asInteger(QStringLiteral("py")), ScaleDivisor);
    sheetSize = layer;
    Image1->resize(coords::zoomedSize(layer, Zoom()));
    const QPoint origin = coords::sheetOrigin(qPafta->asInteger(QStringLiteral("px0")),
                                              qPafta->asInteger(QStringLiteral("py0")), ScaleDivisor);
    SheetOriginX = origin.x();
    SheetOriginY = origin.y();
    setTrackMaxima();
    Image2->resize(ScrollBox1->size());

    QString damage;
    Image1->setSheet(resolveDataFile(DataDir, ad), &damage);
    QStringList neighbours;
    for (int i : sheetNeighbours(Sheets, FindSheet(CurrentSheet)))
        neighbours.append(resolveDataFile(DataDir, Sheets[size_t(i)].ad));
    Image1->prefetch(neighbours);

    if (AddMode) {
        MarkColor = QColor(0, 128, 0);
        OkuVeIsaretle();
    } else if (fKucukHarita) {
        fKucukHarita->DrawViewport();
    }
    // A damaged sheet is shown as far as it decoded, and said so.
    if (!damage.isEmpty())
        showError(damage);
}

void TfHarita::ShowSheetName()
{
    Label3->setText(uGenel::CurrentSheet);
}

void TfHarita::ShowSheetPoint(int index, int x, int y)
{
    if (uGenel::Sheets.at(size_t(index)).num != uGenel::CurrentSheet)
        SelectSheet(index);
    // The track bars keep their positions: they set the offset again when next moved.
    showView(coords::centringOffset(ScrollBox1->size(), QPoint(x, y), Zoom()), false, Marks::Keep);
    const QPoint view = sheetToView(QPoint(x, y));
    PlaceMarker(view.x(), view.y());
}
