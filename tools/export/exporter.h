#pragma once
#include <QString>

#include <functional>
#include <optional>

// The GIS formats places are written in, through GDAL/OGR.
enum class ExportFormat { GeoPackage, GeoJson, Csv, Kml };

// "gpkg", "geojson" or "json", "csv", "kml", in any case: a file extension or a --format value.
std::optional<ExportFormat> exportFormatNamed(const QString &name);

struct ExportOptions {
    QString data;   // a data directory (its HARITA.TXT), an SQLite file or a PostgreSQL URI
    QString output;
    ExportFormat format = ExportFormat::GeoPackage;
    bool force = false; // replace an existing output
};

struct ExportSummary {
    qint64 places = 0;
    qint64 withGeometry = 0;
    QString note; // why no place has a geometry, when that is so
};

// Writes one feature per place of table harita: isim, tip, pafta, dosya (the sheet's
// file), px, py, kod, cx, cy and, in a georeferenced region, a point in the sheets'
// system (WGS 84 for GeoJSON and KML). Rows are streamed from the database into a
// temporary file beside the output, which replaces it only when complete. progress
// hears the number of places written now and then. Reads the database only. Throws Error.
ExportSummary exportPlaces(const ExportOptions &options, const std::function<void(qint64)> &progress = {});
