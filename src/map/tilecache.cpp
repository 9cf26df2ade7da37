#include "map/tilecache.h"

#include "framework/errors.h"
#include "map/sheetsource.h"

#include <QCoreApplication>

#include <malloc.h>

TileCache::TileCache()
{
    // One thread for what is on screen and one for what may be next; more would only share
    // the cores with the GUI thread.
    m_pool.setMaxThreadCount(2);
    // Tiles come and go by the thousand: each in memory of its own, returned to the system when
    // it goes, rather than in the allocator's heaps, which would keep the worst case for good.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    if (QCoreApplication::instance())
        moveToThread(QCoreApplication::instance()->thread());
    // Nothing decodes on while the program ends: what waits is dropped, what runs is finished.
    qAddPostRoutine([] {
        instance().m_pool.clear();
        instance().m_pool.waitForDone();
    });
}

TileCache &TileCache::instance()
{
    // Never destroyed: decoding threads may still finish while the program ends.
    static TileCache *cache = new TileCache;
    return *cache;
}

size_t qHash(const TileCache::Key &key, size_t seed)
{
    return qHashMulti(seed, key.sheet, key.level, key.x, key.y);
}

QImage TileCache::find(const Key &key)
{
    const QMutexLocker lock(&m_mutex);
    const auto it = m_tiles.find(key);
    if (it == m_tiles.end())
        return QImage();
    m_uses.splice(m_uses.begin(), m_uses, it->use);
    return it->image;
}

void TileCache::insert(const Key &key, const QImage &tile)
{
    const QMutexLocker lock(&m_mutex);
    m_pending.remove(key);
    if (const auto it = m_tiles.find(key); it != m_tiles.end()) {
        m_bytes -= it->image.sizeInBytes();
        m_uses.erase(it->use);
        m_tiles.erase(it);
    }
    m_uses.push_front(key);
    m_tiles.insert(key, Entry{tile, m_uses.begin()});
    m_bytes += tile.sizeInBytes();
    evict();
}

void TileCache::dropSheet(quint64 sheet)
{
    bool dropped = false;
    {
        const QMutexLocker lock(&m_mutex);
        for (auto it = m_tiles.begin(); it != m_tiles.end();) {
            if (it.key().sheet != sheet) {
                ++it;
                continue;
            }
            m_bytes -= it->image.sizeInBytes();
            m_uses.erase(it->use);
            it = m_tiles.erase(it);
            dropped = true;
        }
    }
    // The decoders' scratch and the smaller tiles live in the allocator's heaps, which keep
    // what they were given unless asked.
    if (dropped)
        malloc_trim(0);
}

// The newest stays even alone above the budget: it is the one about to be shown.
void TileCache::evict()
{
    while (m_bytes > m_budget && m_uses.size() > 1) {
        const auto it = m_tiles.find(m_uses.back());
        m_bytes -= it->image.sizeInBytes();
        m_tiles.erase(it);
        m_uses.pop_back();
    }
}

qint64 TileCache::bytes() const
{
    const QMutexLocker lock(&m_mutex);
    return m_bytes;
}

qint64 TileCache::budget() const
{
    const QMutexLocker lock(&m_mutex);
    return m_budget;
}

void TileCache::setBudget(qint64 bytes)
{
    const QMutexLocker lock(&m_mutex);
    m_budget = bytes;
    evict();
}

void TileCache::request(const std::shared_ptr<SheetSource> &source, int level, const QRect &tiles, bool urgent,
                        const std::shared_ptr<std::atomic_bool> &cancelled)
{
    const QRect bounds(QPoint(0, 0), source->levelSize(level));
    const QRect grid(0, 0, (bounds.width() + TileSize - 1) / TileSize, (bounds.height() + TileSize - 1) / TileSize);
    QRect wanted;
    {
        const QMutexLocker lock(&m_mutex);
        const QRect asked = tiles & grid;
        for (int y = asked.top(); y <= asked.bottom(); ++y)
            for (int x = asked.left(); x <= asked.right(); ++x) {
                const Key key{source->id(), level, x, y};
                if (!m_tiles.contains(key) && !m_pending.contains(key))
                    wanted |= QRect(x, y, 1, 1);
            }
        for (int y = wanted.top(); y <= wanted.bottom(); ++y)
            for (int x = wanted.left(); x <= wanted.right(); ++x)
                m_pending.insert(Key{source->id(), level, x, y}, true);
    }
    if (wanted.isEmpty())
        return;
    m_pool.start(
        [this, source, level, wanted, bounds, cancelled] {
            const QRect window = QRect(wanted.topLeft() * TileSize, wanted.size() * TileSize) & bounds;
            if (*cancelled) {
                {
                    const QMutexLocker lock(&m_mutex);
                    for (int y = wanted.top(); y <= wanted.bottom(); ++y)
                        for (int x = wanted.left(); x <= wanted.right(); ++x)
                            m_pending.remove(Key{source->id(), level, x, y});
                }
                // Whoever shows the sheet now asks again.
                emit arrived(source->id());
                return;
            }
            QImage pixels;
            QString warning;
            try {
                pixels = source->read(level, window, &warning);
            } catch (const Error &error) {
                // White, so that a file gone bad is not read again and again.
                pixels = QImage(window.size(), QImage::Format_RGB32);
                pixels.fill(Qt::white);
                warning = error.text();
            }
            for (int y = wanted.top(); y <= wanted.bottom(); ++y)
                for (int x = wanted.left(); x <= wanted.right(); ++x) {
                    const QRect tile = QRect(x * TileSize, y * TileSize, TileSize, TileSize) & bounds;
                    insert(Key{source->id(), level, x, y}, pixels.copy(tile.translated(-window.topLeft())));
                }
            if (!warning.isEmpty() && source->noteDamage(warning))
                emit damaged(source->id(), warning);
            emit arrived(source->id());
        },
        urgent ? 1 : 0);
}

void TileCache::requestWhole(const std::shared_ptr<SheetSource> &source,
                             const std::shared_ptr<std::atomic_bool> &cancelled)
{
    const Key key{source->id(), WholePicture, 0, 0};
    {
        const QMutexLocker lock(&m_mutex);
        if (m_tiles.contains(key) || m_pending.contains(key))
            return;
        m_pending.insert(key, true);
    }
    m_pool.start([this, source, key, cancelled] {
        QImage picture;
        QString warning;
        if (!*cancelled) {
            try {
                picture = source->decodeWhole(&warning);
            } catch (const Error &) {
                // Shown when the sheet is selected and decoded again.
            }
        }
        if (picture.isNull()) {
            const QMutexLocker lock(&m_mutex);
            m_pending.remove(key);
            return;
        }
        if (!warning.isEmpty())
            source->noteDamage(warning);
        insert(key, picture);
        emit arrived(source->id());
    });
}

void TileCache::waitForIdle()
{
    m_pool.waitForDone();
}
