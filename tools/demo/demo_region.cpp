#include "demo_region.h"
#include "demo_database.h"
#include "demo_sheet.h"
#include "demo_world.h"
#include "framework/errors.h"
#include "framework/picture.h"
#include "image_writers.h"
#include "region_files.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <limits>

namespace {

constexpr int MostSheets = 2500;
constexpr int MostPlaces = 10'000'000;
constexpr int SmallestSide = 64; // image pixels

void validate(const DemoOptions &o)
{
    if (o.columns < 1 || o.rows < 1)
        throw Error(QStringLiteral("The region needs at least one column and one row of sheets."));
    if (qint64(o.columns) * o.rows > MostSheets)
        throw Error(QStringLiteral("The region may have at most %1 sheets.").arg(MostSheets));
    if (o.scaleDivisor < 1)
        throw Error(QStringLiteral("The scale divisor must be at least 1."));
    const qint64 width = o.sheetWidth / o.scaleDivisor, height = o.sheetHeight / o.scaleDivisor;
    if (width < SmallestSide || height < SmallestSide)
        throw Error(QStringLiteral("Sheet images must be at least %1 × %1 pixels after the scale divisor.")
                        .arg(SmallestSide));
    if (width > MaxPictureSide || height > MaxPictureSide || width * height > MaxPicturePixels)
        throw Error(QStringLiteral("Sheet images may be at most %1 pixels a side and %2 pixels in all.")
                        .arg(MaxPictureSide).arg(MaxPicturePixels));
    if (qint64(o.columns) * o.sheetWidth * o.scaleDivisor > std::numeric_limits<int>::max()
        || qint64(o.rows) * o.sheetHeight > std::numeric_limits<int>::max())
        throw Error(QStringLiteral("The region is too large for 32-bit coordinates."));
    if (o.places < 0 || o.places > MostPlaces)
        throw Error(QStringLiteral("The number of places must be between 0 and %1.").arg(MostPlaces));
    if (o.placesOnFirstSheet < -1 || o.placesOnFirstSheet > o.places)
        throw Error(QStringLiteral("The places on the first sheet must be between 0 and the number of places."));
    if (o.columns * o.rows == 1 && o.placesOnFirstSheet >= 0 && o.placesOnFirstSheet != o.places)
        throw Error(QStringLiteral("A region of one sheet has every place on its first sheet."));
}

// Files of this run, removed again unless the whole region was written.
class WrittenFiles {
public:
    WrittenFiles(QString dir, bool dirIsNew) : m_dir(std::move(dir)), m_dirIsNew(dirIsNew) {}
    ~WrittenFiles()
    {
        if (m_kept)
            return;
        for (const QString &path : m_paths)
            QFile::remove(path);
        if (m_dirIsNew)
            QDir().rmdir(m_dir);
    }
    QString add(const QString &name)
    {
        m_paths << m_dir + name;
        return m_paths.back();
    }
    void keep() { m_kept = true; }

private:
    QString m_dir;
    bool m_dirIsNew;
    QStringList m_paths;
    bool m_kept = false;
};

// A width near 300 that divides the region's width, so that an overview pixel is a whole
// number of stored pixels where possible.
int overviewWidth(int regionWidth)
{
    for (int w = 320; w >= 240; --w)
        if (regionWidth % w == 0)
            return w;
    return 300;
}

void saveSheet(const QImage &image, const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("gif"))
        writeGif(image, path);
    else if (suffix == QLatin1String("pcx"))
        writePcx(image, path);
    else if (!image.save(path, suffix == QLatin1String("bmp") ? "BMP" : "JPG", suffix == QLatin1String("bmp") ? -1 : 85))
        throw Error(QStringLiteral("Cannot write %1.").arg(path));
}

} // namespace

DemoRegion makeDemoRegion(const QString &dir, const DemoOptions &options)
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        throw Error(QStringLiteral("Drawing the demo region needs a QGuiApplication (for its fonts)."));
    validate(options);
    const QString absolute = QDir(dir).absolutePath();
    const bool dirIsNew = !QFileInfo::exists(absolute);
    if (!QDir().mkpath(absolute))
        throw Error(QStringLiteral("Cannot create the directory %1.").arg(absolute));

    DemoRegion region{absolute + u'/', QStringLiteral("harita.sqlite"), {}, QStringLiteral("kucuk.bmp")};
    const DemoWorld world = buildWorld(options);
    QStringList names{QStringLiteral("HARITA.TXT"), region.databaseFile, region.overviewFile};
    for (const DemoSheet &s : world.sheets) {
        region.sheetNumbers << s.num;
        names << s.file;
    }
    for (const QString &name : names)
        if (QFileInfo::exists(region.dir + name))
            throw Error(QStringLiteral("%1 already exists; the demo region is written only where it replaces nothing.")
                            .arg(region.dir + name));

    WrittenFiles written(region.dir, dirIsNew);
    writeDatabase(written.add(region.databaseFile), world, region.overviewFile);

    const int regionWidth = world.regionWidth(), regionHeight = world.regionHeight();
    const int ow = overviewWidth(regionWidth);
    QImage overview(ow, std::max(1, overviewPixel(regionHeight, ow, regionWidth)), QImage::Format_RGB32);
    overview.fill(Qt::white);
    QPainter overviewPainter(&overview);
    for (int i = 0; i < int(world.sheets.size()); ++i) {
        const DemoSheet &s = world.sheets[i];
        const QImage image = drawSheet(world, i);
        if (image.isNull())
            throw Error(QStringLiteral("Not enough memory to draw sheet %1.").arg(s.num));
        saveSheet(image, written.add(s.file));
        const QRect target(QPoint(overviewPixel(s.px0, ow, regionWidth), overviewPixel(s.py0, ow, regionWidth)),
                           QPoint(overviewPixel(s.px0 + options.sheetWidth, ow, regionWidth) - 1,
                                  overviewPixel(s.py0 + options.sheetHeight, ow, regionWidth) - 1));
        if (!target.isEmpty())
            overviewPainter.drawImage(target.topLeft(),
                                      image.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    overviewPainter.end();
    const QString overviewPath = written.add(region.overviewFile);
    if (!overview.save(overviewPath, "BMP"))
        throw Error(QStringLiteral("Cannot write %1.").arg(overviewPath));

    // Written last: a region without it is unfinished, and the start scripts test for it.
    const qint64 span = qint64(regionWidth) * options.scaleDivisor;
    writeStartupFile(written.add(QStringLiteral("HARITA.TXT")),
                     startupLines(absolute, region.databaseFile, region.sheetNumbers.first(), span,
                                  options.scaleDivisor));
    written.keep();
    return region;
}
