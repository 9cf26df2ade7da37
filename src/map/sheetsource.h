#pragma once
#include <QImage>
#include <QMutex>
#include <QString>

#include <memory>

// One sheet image file opened for viewing. A large JPEG or GDAL picture is read in windows, at
// full size or reduced by 2, 4 or 8 (its levels), straight from the file and never held whole;
// any other picture is decoded whole, as loadPicture does.
class SheetSource {
public:
    // Levels 0 (full size) to MaxLevel (reduced by 2^MaxLevel).
    static constexpr int MaxLevel = 3;
    // Pictures of up to this many pixels (64 MB) are decoded whole at once, as always: the view
    // shows them, and says whether they are damaged, before a sheet switch ends.
    static constexpr qint64 WholeUpTo = 16LL * 1000 * 1000;

    // Reads the header of a picture to be read in windows; a picture to be held whole is not
    // decoded yet. Throws Error as loadPicture does: a missing file, an unknown extension, a
    // size beyond the limits (MaxWindowedSide for windowed pictures, MaxPictureSide for others).
    static std::shared_ptr<SheetSource> open(const QString &fileName);
    // Its tiles leave the tile cache with it: a sheet nobody shows or prefetches is not kept.
    ~SheetSource();
    SheetSource(const SheetSource &) = delete;
    SheetSource &operator=(const SheetSource &) = delete;

    const QString &fileName() const { return m_fileName; }
    // Key of its tiles in the tile cache, unique in the process.
    quint64 id() const { return m_id; }
    bool windowed() const { return m_windowed; }
    // Full pixel size; empty for a picture held whole until it is decoded.
    QSize size() const;
    QSize levelSize(int level) const;

    // The window (in pixels of the level) decoded now; the part beyond the picture is white.
    // Thread-safe. Throws Error; damage as loadPicture with a warning pointer.
    QImage read(int level, const QRect &window, QString *warning) const;
    // The whole picture at full size, decoded now by loadPicture.
    QImage decodeWhole(QString *warning) const;

    // The first damage reported while reading it; noteDamage returns whether this was the first.
    bool noteDamage(const QString &warning);
    QString damage() const;

private:
    SheetSource() = default;

    QString m_fileName;
    QString m_kind;
    quint64 m_id = 0;
    bool m_windowed = false;
    QSize m_size;
    mutable QMutex m_mutex;
    QString m_damage;
};

// The level whose pixels are closest to the display's without being coarser than it.
int sheetLevelFor(double zoom);
