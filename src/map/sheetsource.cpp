#include "map/sheetsource.h"

#include "framework/errors.h"
#include "framework/picture.h"
#include "framework/picture_decoders.h"
#include "map/tilecache.h"

#include <atomic>

namespace {

QString kindOf(const QString &fileName)
{
    const qsizetype slash = qMax(fileName.lastIndexOf(u'/'), fileName.lastIndexOf(u'\\'));
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot > slash ? fileName.mid(dot + 1).toLower() : QString();
}

bool isGdalKind(const QString &kind)
{
    return kind == u"tif" || kind == u"tiff" || kind == u"png" || kind == u"jp2";
}

bool isJpegKind(const QString &kind)
{
    return kind == u"jpg" || kind == u"jpeg";
}

} // namespace

std::shared_ptr<SheetSource> SheetSource::open(const QString &fileName)
{
    static std::atomic<quint64> serial{0};
    std::shared_ptr<SheetSource> source(new SheetSource);
    source->m_fileName = fileName;
    source->m_kind = kindOf(fileName);
    source->m_id = ++serial;
    if (!isJpegKind(source->m_kind) && !isGdalKind(source->m_kind))
        return source;
    QSize size;
    try {
        size = isJpegKind(source->m_kind) ? jpegFileSize(fileName) : gdalFileSize(fileName, source->m_kind);
    } catch (const Error &) {
        // The whole decode reports a broken file as it always has.
        return source;
    }
    if (qint64(size.width()) * size.height() > WholeUpTo) {
        source->m_windowed = true;
        source->m_size = size;
    }
    return source;
}

SheetSource::~SheetSource()
{
    TileCache::instance().dropSheet(m_id);
}

QSize SheetSource::size() const
{
    return m_size;
}

QSize SheetSource::levelSize(int level) const
{
    const int step = 1 << level;
    return QSize((m_size.width() + step - 1) / step, (m_size.height() + step - 1) / step);
}

QImage SheetSource::read(int level, const QRect &window, QString *warning) const
{
    if (isJpegKind(m_kind))
        return readJpegWindow(m_fileName, level, window, warning);
    return readGdalWindow(m_fileName, m_kind, level, window, warning);
}

QImage SheetSource::decodeWhole(QString *warning) const
{
    return loadPicture(m_fileName, warning);
}

bool SheetSource::noteDamage(const QString &warning)
{
    const QMutexLocker lock(&m_mutex);
    if (!m_damage.isEmpty())
        return false;
    m_damage = warning;
    return true;
}

QString SheetSource::damage() const
{
    const QMutexLocker lock(&m_mutex);
    return m_damage;
}

int sheetLevelFor(double zoom)
{
    int level = 0;
    while (level < SheetSource::MaxLevel && zoom * (2 << level) <= 1.0)
        ++level;
    return level;
}
