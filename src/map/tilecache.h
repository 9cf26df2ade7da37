#pragma once
#include <QHash>
#include <QImage>
#include <QMutex>
#include <QObject>
#include <QRect>
#include <QThreadPool>

#include <list>
#include <memory>

class SheetSource;

// The decoded parts of sheets, for the whole process, within one memory budget: tiles of a
// level of a sheet read in windows, or a whole picture (level WholePicture). The least recently
// used go first. Decoding runs on the cache's own two threads; arrived() and damaged() come
// from them, queued to receivers in the GUI thread.
class TileCache : public QObject {
    Q_OBJECT
public:
    static constexpr int TileSize = 512;
    static constexpr int WholePicture = -1;
    static constexpr qint64 DefaultBudget = 192LL * 1024 * 1024;

    struct Key {
        quint64 sheet;
        int level;
        int x;
        int y;
        bool operator==(const Key &) const = default;
    };

    static TileCache &instance();

    // The tile, marked as just used; null when it is not held.
    QImage find(const Key &key);
    void insert(const Key &key, const QImage &tile);
    // Forgets every tile of a sheet, and gives their memory back to the system.
    void dropSheet(quint64 sheet);
    qint64 bytes() const;
    qint64 budget() const;
    void setBudget(qint64 bytes);

    // Decodes the given tiles of a level (x, y in tiles) that are neither held nor on their way,
    // as one window; urgent ones go before any prefetch. cancelled is looked at when the work
    // starts.
    void request(const std::shared_ptr<SheetSource> &source, int level, const QRect &tiles, bool urgent,
                 const std::shared_ptr<std::atomic_bool> &cancelled);
    // Decodes a picture held whole into the cache, if it is not there.
    void requestWhole(const std::shared_ptr<SheetSource> &source, const std::shared_ptr<std::atomic_bool> &cancelled);
    // Waits until no decoding is running or queued.
    void waitForIdle();

signals:
    void arrived(quint64 sheet);
    void damaged(quint64 sheet, const QString &warning);

private:
    TileCache();
    void evict();

    struct Entry {
        QImage image;
        std::list<Key>::iterator use;
    };
    mutable QMutex m_mutex;
    QHash<Key, Entry> m_tiles;
    std::list<Key> m_uses; // most recent first
    QHash<Key, bool> m_pending;
    qint64 m_bytes = 0;
    qint64 m_budget = DefaultBudget;
    QThreadPool m_pool;
};

size_t qHash(const TileCache::Key &key, size_t seed = 0);
