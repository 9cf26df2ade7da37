#include "exporter.h"
#include "check_report.h"
#include "duplicates.h"
#include "data/georef.h"
#include "data/postgres.h"
#include "framework/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QScopeGuard>
#include <QTemporaryFile>

#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>

namespace {

struct FormatInfo {
    ExportFormat format;
    const char *driver;
    const char *extension;
    bool wgs84; // the format allows no other system
};

constexpr FormatInfo kFormats[] = {
    {ExportFormat::GeoPackage, "GPKG", "gpkg", false},
    {ExportFormat::GeoJson, "GeoJSON", "geojson", true},
    {ExportFormat::Csv, "CSV", "csv", false},
    {ExportFormat::Kml, "KML", "kml", true},
};

const FormatInfo &infoOf(ExportFormat format)
{
    for (const FormatInfo &f : kFormats)
        if (f.format == format)
            return f;
    return kFormats[0];
}

QString gdalError()
{
    const QString text = QString::fromUtf8(CPLGetLastErrorMsg());
    return text.isEmpty() ? QStringLiteral("GDAL bir hata bildirdi.") : text;
}

struct Sheet {
    QString file;
    qint64 x0 = 0, y0 = 0;
    bool placed = false; // px0 and py0 are both numbers
};

QHash<QString, Sheet> readSheets(QSqlDatabase db)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("select num, ad, px0, py0 from pafta order by num")))
        throw Error(q.lastError().text());
    QHash<QString, Sheet> sheets;
    while (q.next()) {
        bool okX = false, okY = false;
        const Sheet s{q.value(1).toString(), q.value(2).toLongLong(&okX), q.value(3).toLongLong(&okY),
                      okX && okY && !q.value(2).isNull() && !q.value(3).isNull()};
        if (!q.value(0).isNull() && !sheets.contains(q.value(0).toString()))
            sheets.insert(q.value(0).toString(), s);
    }
    return sheets;
}

// The field a column of harita becomes: its values' kind where the database declares one.
OGRFieldType fieldTypeOf(const QSqlField &column)
{
    switch (column.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return OFTInteger64;
    case QMetaType::Double:
        return OFTReal;
    default:
        return OFTString;
    }
}

QString existsMessage(const QString &output)
{
    return QStringLiteral("%1 zaten var; üzerine yazmak için --force verin.").arg(output);
}

// The temporary file beside the output, its side files, and their removal unless kept.
class PartFile {
public:
    PartFile(const QString &output, const char *extension)
    {
        const QFileInfo info(output);
        QTemporaryFile reserve(info.absoluteDir().filePath(
            QStringLiteral(".%1.XXXXXX.%2").arg(info.fileName(), QLatin1String(extension))));
        if (!reserve.open())
            throw Error(QStringLiteral("%1 klasörüne yazılamıyor: %2").arg(info.absolutePath(), reserve.errorString()));
        // Only the unique name is kept: GDAL makes the file itself, some drivers refuse one that exists.
        path = reserve.fileName();
    }
    ~PartFile()
    {
        if (kept)
            return;
        for (const char *side : {"", "-journal", "-wal", "-shm"})
            QFile::remove(path + QLatin1String(side));
    }
    // Moves it to output; replaces an existing one only when asked.
    void moveTo(const QString &output, bool replace)
    {
        const QByteArray from = QFile::encodeName(path), to = QFile::encodeName(output);
        int result = renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), replace ? 0 : RENAME_NOREPLACE);
        if (result != 0 && errno == EINVAL && !replace && !QFileInfo::exists(output))
            result = std::rename(from.constData(), to.constData()); // a file system without no-replace
        if (result != 0)
            throw Error(errno == EEXIST ? existsMessage(output)
                                        : QStringLiteral("%1 yazılamadı: %2").arg(output, QString::fromLocal8Bit(strerror(errno))));
        kept = true;
    }
    QString path;

private:
    bool kept = false;
};

class Writer {
public:
    Writer(const QString &path, const FormatInfo &format, const OGRSpatialReference *srs, bool points,
           const QSqlRecord &columns)
    {
        GDALAllRegister();
        GDALDriver *driver = GetGDALDriverManager()->GetDriverByName(format.driver);
        if (!driver)
            throw Error(QStringLiteral("GDAL'ın %1 sürücüsü yok.").arg(QLatin1String(format.driver)));
        CPLStringList datasetOptions, layerOptions;
        if (format.format == ExportFormat::Kml)
            datasetOptions.SetNameValue("NameField", "isim");
        if (points && format.format == ExportFormat::Csv)
            layerOptions.SetNameValue("GEOMETRY", "AS_XY");
        if (format.format == ExportFormat::Csv)
            layerOptions.SetNameValue("STRING_QUOTING", "IF_NEEDED");
        if (points && format.format == ExportFormat::GeoJson)
            layerOptions.SetNameValue("RFC7946", "YES");
        CPLErrorReset();
        m_dataset.reset(driver->Create(QFile::encodeName(path).constData(), 0, 0, 0, GDT_Unknown, datasetOptions.List()));
        if (!m_dataset)
            throw Error(QStringLiteral("%1 yaratılamadı: %2").arg(path, gdalError()));
        m_layer = m_dataset->CreateLayer("yerler", const_cast<OGRSpatialReference *>(srs), points ? wkbPoint : wkbNone,
                                         layerOptions.List());
        if (!m_layer)
            throw Error(QStringLiteral("Katman yaratılamadı: %1").arg(gdalError()));
        for (int i = 0; i < columns.count(); ++i) {
            const QSqlField column = columns.field(i);
            const QString name = column.name().toLower();
            OGRFieldType type = fieldTypeOf(column);
            if (name == QLatin1String("px") || name == QLatin1String("py"))
                type = OFTInteger;
            else if (name != QLatin1String("cx") && name != QLatin1String("cy"))
                type = OFTString;
            addField(name, type);
            if (name == QLatin1String("pafta"))
                addField(QStringLiteral("dosya"), OFTString);
        }
        // Made only now: a feature does not follow fields added to its layer after it.
        m_feature.reset(OGRFeature::CreateFeature(m_layer->GetLayerDefn()));
        m_dataset->StartTransaction();
    }

    OGRFeature &feature() { return *m_feature; }
    OGRFeatureDefn &definition() { return *m_layer->GetLayerDefn(); }
    // The field of each column in order, dosya after pafta (a driver may add fields of its own).
    const QList<int> &fields() const { return m_fields; }

    void write()
    {
        if (m_layer->CreateFeature(m_feature.get()) != OGRERR_NONE)
            throw Error(QStringLiteral("Yer yazılamadı: %1").arg(gdalError()));
        // A transaction per feature would make a GeoPackage crawl; one for all, a huge journal.
        if (++m_inTransaction == 100000) {
            commit();
            m_dataset->StartTransaction();
        }
        m_feature.reset(OGRFeature::CreateFeature(m_layer->GetLayerDefn()));
    }

    void close()
    {
        commit();
        CPLErrorReset();
        m_dataset.reset();
        if (CPLGetLastErrorType() >= CE_Failure)
            throw Error(QStringLiteral("Dosya kapatılamadı: %1").arg(gdalError()));
    }

private:
    void addField(const QString &name, OGRFieldType type)
    {
        OGRFieldDefn field(name.toUtf8().constData(), type);
        if (m_layer->CreateField(&field) != OGRERR_NONE)
            throw Error(QStringLiteral("Alan yaratılamadı: %1").arg(gdalError()));
        m_fields << m_layer->GetLayerDefn()->GetFieldIndex(field.GetNameRef());
    }
    void commit()
    {
        const OGRErr result = m_dataset->CommitTransaction();
        if (result != OGRERR_NONE && result != OGRERR_UNSUPPORTED_OPERATION)
            throw Error(QStringLiteral("Yazılamadı: %1").arg(gdalError()));
        m_inTransaction = 0;
    }

    GDALDatasetUniquePtr m_dataset;
    OGRLayer *m_layer = nullptr;
    OGRFeatureUniquePtr m_feature;
    QList<int> m_fields;
    int m_inTransaction = 0;
};

} // namespace

std::optional<ExportFormat> exportFormatNamed(const QString &name)
{
    const QString lower = name.toLower();
    if (lower == QLatin1String("json"))
        return ExportFormat::GeoJson;
    for (const FormatInfo &f : kFormats)
        if (lower == QLatin1String(f.extension))
            return f.format;
    return std::nullopt;
}

ExportSummary exportPlaces(const ExportOptions &options, const std::function<void(qint64)> &progress)
{
    // GDAL's errors reach the user in ours (gdalError), once; a failed file is removed unread.
    CPLPushErrorHandler(CPLQuietErrorHandler);
    const auto popHandler = qScopeGuard([] { CPLPopErrorHandler(); });
    if (QFileInfo::exists(options.output) && !options.force)
        throw Error(existsMessage(options.output));
    const QString target = checkTargetOf(options.data);
    CheckDatabase database(target);
    if (!database.hasPlaceTables())
        throw Error(QStringLiteral("Bir Zemira veritabanı değil (harita, tipler ve pafta tabloları gerekli): %1")
                        .arg(withoutPassword(target)));
    QSqlDatabase &db = database.db;
    const FormatInfo &format = infoOf(options.format);
    const std::optional<Georef> georef = Georef::read(db);
    const QHash<QString, Sheet> sheets = readSheets(db);

    ExportSummary summary;
    OGRSpatialReference wgs84;
    wgs84.SetWellKnownGeogCS("WGS84");
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    const bool points = georef && (!format.wgs84 || georef->crs());
    if (!georef)
        summary.note = QStringLiteral("Bölge coğrafi olarak konumlandırılmamış (georef tablosu yok): "
                                      "yerler konumsuz yazıldı.");
    else if (!points)
        summary.note = QStringLiteral("Paftaların koordinat sistemi bilinmiyor, %1 ise WGS 84 ister: "
                                      "yerler konumsuz yazıldı.")
                           .arg(QString::fromLatin1(format.driver));
    const OGRSpatialReference *srs = !points ? nullptr : format.wgs84 ? &wgs84 : georef->crs();

    QSqlQuery q(db);
    q.setForwardOnly(true); // rows are streamed, not held (on PostgreSQL one at a time)
    if (!q.exec(QStringLiteral("select isim, tip, pafta, px, py, kod, cx, cy from harita order by id")))
        throw Error(q.lastError().text());
    PartFile part(options.output, format.extension);
    {
        Writer writer(part.path, format, srs, points, q.record());
        const OGRFeatureDefn &definition = writer.definition();
        const QList<int> &fields = writer.fields();
        const int dosya = fields.at(3);
        while (q.next()) {
            OGRFeature &f = writer.feature();
            for (int column = 0; column < 8; ++column) {
                const int field = fields.at(column < 3 ? column : column + 1);
                const QVariant value = q.value(column);
                if (value.isNull()) {
                    f.SetFieldNull(field);
                    continue;
                }
                bool ok = true;
                switch (definition.GetFieldDefn(field)->GetType()) {
                case OFTInteger: {
                    const qint64 v = value.toLongLong(&ok);
                    ok = ok && v == int(v);
                    f.SetField(field, int(v));
                    break;
                }
                case OFTInteger64:
                    f.SetField(field, GIntBig(value.toLongLong(&ok)));
                    break;
                case OFTReal:
                    f.SetField(field, value.toDouble(&ok));
                    break;
                default:
                    f.SetField(field, value.toString().toUtf8().constData());
                }
                if (!ok)
                    throw Error(QStringLiteral("Yer %1: %2 sütununda sayı olmayan değer \"%3\".")
                                    .arg(summary.places + 1)
                                    .arg(q.record().fieldName(column), value.toString()));
            }
            const auto sheet = q.value(2).isNull() ? sheets.end() : sheets.find(q.value(2).toString());
            if (sheet != sheets.end()) {
                f.SetField(dosya, sheet->file.toUtf8().constData());
                bool okX = false, okY = false;
                const qint64 px = q.value(3).toLongLong(&okX), py = q.value(4).toLongLong(&okY);
                // A null converts without complaint, to 0.
                if (points && sheet->placed && okX && okY && !q.value(3).isNull() && !q.value(4).isNull()) {
                    QPointF at = georef->toCrs(double(sheet->x0 + px), double(sheet->y0 + py));
                    const auto lonLat = format.wgs84 ? georef->toLonLat(at) : std::optional<QPointF>(at);
                    if (lonLat) {
                        f.SetGeometryDirectly(new OGRPoint(lonLat->x(), lonLat->y()));
                        ++summary.withGeometry;
                    }
                }
            }
            writer.write();
            if (++summary.places % 10000 == 0 && progress)
                progress(summary.places);
        }
        if (q.lastError().isValid())
            throw Error(q.lastError().text());
        writer.close();
    }
    part.moveTo(options.output, options.force);
    return summary;
}
