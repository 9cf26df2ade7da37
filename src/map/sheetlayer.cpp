#include "map/sheetlayer.h"

#include "framework/errors.h"
#include "map/sheetsource.h"
#include "map/tilecache.h"

#include <QPaintEvent>
#include <QPainter>

namespace {

constexpr int Tile = TileCache::TileSize;

std::shared_ptr<std::atomic_bool> freshFlag()
{
    return std::make_shared<std::atomic_bool>(false);
}

} // namespace

SheetLayer::SheetLayer(const QString &name, QWidget *parent) : MapLayer(name, parent), m_cancelled(freshFlag())
{
    TileCache &cache = TileCache::instance();
    connect(&cache, &TileCache::arrived, this, [this](quint64 sheet) {
        if (m_source && m_source->id() == sheet)
            update();
    });
    connect(&cache, &TileCache::damaged, this, [this](quint64 sheet, const QString &warning) {
        if (m_source && m_source->id() == sheet)
            emit damaged(warning);
    });
}

std::shared_ptr<SheetSource> SheetLayer::sourceFor(const QString &fileName)
{
    if (m_source && m_source->fileName() == fileName)
        return m_source;
    if (const auto it = m_prefetched.constFind(fileName); it != m_prefetched.cend())
        return *it;
    return SheetSource::open(fileName);
}

void SheetLayer::setSheet(const QString &fileName, QString *warning)
{
    if (warning)
        warning->clear();
    const std::shared_ptr<SheetSource> source = sourceFor(fileName);
    QImage whole;
    QString damage = source->damage();
    if (!source->windowed()) {
        const TileCache::Key key{source->id(), TileCache::WholePicture, 0, 0};
        whole = TileCache::instance().find(key);
        if (whole.isNull()) {
            whole = source->decodeWhole(warning ? &damage : nullptr);
            TileCache::instance().insert(key, whole);
            if (!damage.isEmpty())
                source->noteDamage(damage);
        }
    }
    if (!warning && !damage.isEmpty())
        throw Error(damage);
    m_cancelled->store(true);
    m_cancelled = freshFlag();
    // Kept until the next prefetch says which sheets are near: it usually is one of them.
    if (m_source && m_source != source)
        m_prefetched.insert(m_source->fileName(), m_source);
    m_source = source;
    setPicture(whole);
    if (warning)
        *warning = damage;
}

void SheetLayer::clear()
{
    m_cancelled->store(true);
    m_cancelled = freshFlag();
    m_source.reset();
    m_prefetched.clear();
    setPicture(QImage());
}

QSize SheetLayer::pictureSize() const
{
    if (m_source && m_source->windowed())
        return m_source->size();
    return MapLayer::picture().size();
}

QImage SheetLayer::picture() const
{
    if (!m_source || !m_source->windowed())
        return MapLayer::picture();
    QString damage;
    return m_source->decodeWhole(&damage);
}

void SheetLayer::prefetch(const QStringList &fileNames)
{
    QHash<QString, std::shared_ptr<SheetSource>> kept;
    for (const QString &fileName : fileNames) {
        if (kept.contains(fileName))
            continue;
        try {
            const std::shared_ptr<SheetSource> source = sourceFor(fileName);
            kept.insert(fileName, source);
            prepare(source);
        } catch (const Error &) {
            // Said when the sheet is shown.
        }
    }
    m_prefetched = std::move(kept);
}

QRect SheetLayer::visibleRect() const
{
    return parentWidget() ? QRect(-pos(), parentWidget()->size()) : rect();
}

void SheetLayer::prepare(const std::shared_ptr<SheetSource> &source)
{
    TileCache &cache = TileCache::instance();
    if (!source->windowed()) {
        cache.requestWhole(source, m_cancelled);
        return;
    }
    const int level = sheetLevelFor(zoom());
    const double scale = zoom() * (1 << level);
    const QRect view = visibleRect();
    const QRect area = QRectF(view.x() / scale, view.y() / scale, view.width() / scale, view.height() / scale)
                           .toAlignedRect()
        & QRect(QPoint(0, 0), source->levelSize(level));
    if (!area.isEmpty())
        cache.request(source, level, QRect(QPoint(area.left() / Tile, area.top() / Tile),
                                           QPoint(area.right() / Tile, area.bottom() / Tile)),
                      false, m_cancelled);
    // The coarsest level stands in while finer tiles decode; for a huge sheet it would crowd
    // out what is on screen.
    const QSize coarsest = source->levelSize(SheetSource::MaxLevel);
    if (qint64(coarsest.width()) * coarsest.height() * 4 > cache.budget() / 8)
        return;
    cache.request(source, SheetSource::MaxLevel,
                  QRect(0, 0, (coarsest.width() + Tile - 1) / Tile, (coarsest.height() + Tile - 1) / Tile), false,
                  m_cancelled);
}

void SheetLayer::paintEvent(QPaintEvent *event)
{
    if (!m_source || !m_source->windowed()) {
        MapLayer::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setClipRect(event->rect());
    const int level = sheetLevelFor(zoom());
    const QRect missing = paintLevel(painter, level, event->rect());
    if (!missing.isEmpty())
        TileCache::instance().request(m_source, level, missing, true, m_cancelled);
}

QRect SheetLayer::paintLevel(QPainter &painter, int level, const QRect &exposed)
{
    TileCache &cache = TileCache::instance();
    const double scale = zoom() * (1 << level);
    const QRect bounds(QPoint(0, 0), m_source->levelSize(level));
    const QRect area = QRectF(exposed.x() / scale, exposed.y() / scale, exposed.width() / scale,
                              exposed.height() / scale)
                           .toAlignedRect()
        & bounds;
    QRect missing;
    if (area.isEmpty())
        return missing;
    for (int y = area.top() / Tile; y <= area.bottom() / Tile; ++y)
        for (int x = area.left() / Tile; x <= area.right() / Tile; ++x) {
            const QRect tile = QRect(x * Tile, y * Tile, Tile, Tile) & bounds;
            const QRectF target(tile.x() * scale, tile.y() * scale, tile.width() * scale, tile.height() * scale);
            const QImage image = cache.find(TileCache::Key{m_source->id(), level, x, y});
            if (!image.isNull()) {
                painter.setRenderHint(QPainter::SmoothPixmapTransform, scale < 1.0 || smoothEnlarge());
                painter.drawImage(target, image);
                continue;
            }
            missing |= QRect(x, y, 1, 1);
            paintStandIn(painter, level, tile, target);
        }
    return missing;
}

void SheetLayer::paintStandIn(QPainter &painter, int level, const QRect &tile, const QRectF &target)
{
    TileCache &cache = TileCache::instance();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    for (int coarser = level + 1; coarser <= SheetSource::MaxLevel; ++coarser) {
        const double factor = 1 << (coarser - level);
        // A tile of a coarser level covers whole tiles of this one.
        const QPoint holder(int(tile.x() / factor) / Tile, int(tile.y() / factor) / Tile);
        const QImage image = cache.find(TileCache::Key{m_source->id(), coarser, holder.x(), holder.y()});
        if (image.isNull())
            continue;
        const QRectF source(tile.x() / factor - holder.x() * Tile, tile.y() / factor - holder.y() * Tile,
                            tile.width() / factor, tile.height() / factor);
        painter.drawImage(target, image, source);
        return;
    }
    painter.fillRect(target, Qt::white);
}
