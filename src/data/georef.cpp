#include "georef.h"
#include "framework/errors.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <cpl_error.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <cmath>

struct Georef::Transform {
    OGRSpatialReference crs;
    std::unique_ptr<OGRCoordinateTransformation> toWgs84;
};

Georef::Georef(const QString &crs, double x0, double y0, double dx, double dy)
    : m_x0(x0), m_y0(y0), m_dx(dx), m_dy(dy)
{
    const QByteArray definition = crs.trimmed().toUtf8();
    if (definition.isEmpty())
        return;
    auto t = std::make_shared<Transform>();
    // x east (longitude), y north (latitude), whatever axis order the system declares.
    t->crs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    OGRSpatialReference wgs84;
    wgs84.SetWellKnownGeogCS("WGS84");
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    // A definition naming a file or URL is not followed: the text comes from a data set.
    const char *options[] = {"ALLOW_NETWORK_ACCESS=NO", "ALLOW_FILE_ACCESS=NO", nullptr};
    CPLPushErrorHandler(CPLQuietErrorHandler);
    if (t->crs.SetFromUserInput(definition.constData(), options) == OGRERR_NONE)
        t->toWgs84.reset(OGRCreateCoordinateTransformation(&t->crs, &wgs84));
    CPLPopErrorHandler();
    if (t->toWgs84)
        m_transform = std::move(t);
}

std::optional<Georef> Georef::read(QSqlDatabase db)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    // The table as the statements below find it (on PostgreSQL, along the search path).
    const QString exists = db.driverName() == QLatin1String("QPSQL")
                               ? QStringLiteral("select to_regclass('georef') is not null")
                               : QStringLiteral("select count(*) from sqlite_master where type = 'table' "
                                                "and lower(name) = 'georef'");
    if (!q.exec(exists) || !q.next())
        throw Error(QStringLiteral("georef tablosu aranamadı: %1").arg(q.lastError().text()));
    if (!q.value(0).toBool())
        return std::nullopt;
    if (!q.exec(QStringLiteral("select crs, x0, y0, dx, dy from georef")))
        throw Error(QStringLiteral("georef tablosu okunamadı: %1").arg(q.lastError().text()));
    if (!q.next())
        return std::nullopt;
    double v[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        v[i] = q.value(i + 1).toDouble(&ok);
        if (!ok || !std::isfinite(v[i]))
            throw Error(QStringLiteral("georef tablosunda geçersiz değer: %1 = \"%2\"")
                            .arg(QStringList{"x0", "y0", "dx", "dy"}.at(i), q.value(i + 1).toString()));
    }
    if (v[2] == 0 || v[3] == 0)
        throw Error(QStringLiteral("georef tablosunda piksel boyu sıfır (dx = %1, dy = %2).").arg(v[2]).arg(v[3]));
    Georef georef(q.value(0).toString(), v[0], v[1], v[2], v[3]);
    if (q.next())
        throw Error(QStringLiteral("georef tablosunda birden çok satır var; bir tane olmalı."));
    return georef;
}

QPointF Georef::toCrs(double X, double Y) const
{
    return {m_x0 + (X + 0.5) * m_dx, m_y0 + (Y + 0.5) * m_dy};
}

std::optional<QPointF> Georef::toLonLat(QPointF crs) const
{
    if (!m_transform)
        return std::nullopt;
    double x = crs.x(), y = crs.y();
    CPLPushErrorHandler(CPLQuietErrorHandler);
    const bool ok = m_transform->toWgs84->Transform(1, &x, &y);
    CPLPopErrorHandler();
    if (!ok || !std::isfinite(x) || !std::isfinite(y))
        return std::nullopt;
    return QPointF(x, y);
}

const OGRSpatialReference *Georef::crs() const
{
    return m_transform ? &m_transform->crs : nullptr;
}

int Georef::decimals() const
{
    const double step = std::min(std::abs(m_dx), std::abs(m_dy)) / 10;
    return std::clamp(int(std::ceil(-std::log10(step))), 2, 9);
}

QString Georef::readout(double X, double Y) const
{
    const QPointF at = toCrs(X, Y);
    QString text = crsText(at, decimals());
    if (const auto lonLat = toLonLat(at))
        text += '\n' + lonLatText(*lonLat);
    return text;
}

QString crsText(QPointF crs, int decimals)
{
    // QString::number never uses the locale: a point, no grouping.
    return QStringLiteral("D:%1 K:%2").arg(QString::number(crs.x(), 'f', decimals),
                                           QString::number(crs.y(), 'f', decimals));
}

QString lonLatText(QPointF lonLat)
{
    const auto part = [](double v, QChar positive, QChar negative) {
        return QStringLiteral("%1° %2").arg(QString::number(std::abs(v), 'f', 6), v < 0 ? negative : positive);
    };
    return part(lonLat.y(), u'K', u'G') + ' ' + part(lonLat.x(), u'D', u'B');
}
