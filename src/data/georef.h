#pragma once
#include <QPointF>
#include <QString>

#include <memory>
#include <optional>

class QSqlDatabase;
class OGRSpatialReference;

// Where a region's stored pixels lie on the ground, from the optional table georef
// (crs, x0, y0, dx, dy) of its database: stored region pixel (X, Y) has its top-left
// corner at (x0 + X*dx, y0 + Y*dy) in the sheets' coordinate system, crs being that
// system as WKT (or any definition GDAL reads without files or network), or unknown.
class Georef {
public:
    Georef(const QString &crs, double x0, double y0, double dx, double dy);

    // The table's row; none when the database has no such table (older data
    // directories) or no row in it. Throws Error on a row that cannot be used.
    static std::optional<Georef> read(QSqlDatabase db);

    // The centre of stored region pixel (X, Y), where a place put on that pixel lies.
    QPointF toCrs(double X, double Y) const;
    // x longitude, y latitude in degrees on WGS 84; none when the system is unknown.
    std::optional<QPointF> toLonLat(QPointF crs) const;

    // The sheets' coordinate system, null when unknown (or unreadable).
    const OGRSpatialReference *crs() const;
    // Decimals that show a position to a tenth of a pixel, at least 2.
    int decimals() const;

    // "D:481668.79 K:4415488.92", then on a second line "39.889266° K 32.785594° D"
    // where the system is known. X, Y are a stored region pixel.
    QString readout(double X, double Y) const;

private:
    struct Transform;
    double m_x0, m_y0, m_dx, m_dy;
    std::shared_ptr<Transform> m_transform; // shared: GDAL's objects do not copy cheaply
};

// "D:481668.79 K:4415488.92": east and north (x and y) in the sheets' system.
QString crsText(QPointF crs, int decimals);
// "39.889266° K 32.785594° D", a southern latitude G, a western longitude B.
QString lonLatText(QPointF lonLat);
