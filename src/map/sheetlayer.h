#pragma once
#include "map/maplayer.h"

#include <QHash>

#include <atomic>
#include <memory>

class SheetSource;

// The sheet layer: shows a sheet's picture at the layer's zoom. A small picture is decoded whole
// when the sheet is set; a large one is decoded in tiles as it comes into view (see TileCache),
// a coarser level standing in, scaled up, until the finer tiles arrive.
class SheetLayer : public MapLayer {
    Q_OBJECT
public:
    explicit SheetLayer(const QString &name, QWidget *parent);

    // Shows the sheet file. Throws Error as loadPicture does; the layer then keeps its sheet. A
    // small damaged picture sets *warning at once; damage found later in a large one is
    // reported by damaged(), once a sheet.
    void setSheet(const QString &fileName, QString *warning);
    void clear();
    // The sheet's full pixel size.
    QSize pictureSize() const;
    // The whole picture, decoded now if it is not held whole.
    QImage picture() const override;

    // Prepares these sheet files in the background, to show at once when set: the part under
    // the layer's present view and the whole picture at the coarsest level. Drops what an
    // earlier call prepared and these do not name.
    void prefetch(const QStringList &fileNames);

signals:
    void damaged(const QString &warning);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::shared_ptr<SheetSource> sourceFor(const QString &fileName);
    void prepare(const std::shared_ptr<SheetSource> &source);
    // Draws what is held of the level's tiles in the exposed rectangle (layer pixels), a coarser
    // level or white for the rest, and returns the tiles missing, in tile units.
    QRect paintLevel(QPainter &painter, int level, const QRect &exposed);
    void paintStandIn(QPainter &painter, int level, const QRect &tile, const QRectF &target);
    QRect visibleRect() const;

    std::shared_ptr<SheetSource> m_source;
    QHash<QString, std::shared_ptr<SheetSource>> m_prefetched;
    std::shared_ptr<std::atomic_bool> m_cancelled;
};
