#include "data/postgres.h"
#include "pgtestsupport.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

namespace {

const QString kLink = QStringLiteral("export-check");
const QStringList kFields = {"isim", "tip", "pafta", "dosya", "px", "py", "kod", "cx", "cy"};

// A mailing-list example of PROJ (proj -I +proj=utm +zone=36 +ellps=WGS84): UTM 36N
// 481668.789218 E, 4415488.923061 N is 32.785593500 E, 39.889265833 N. Place 1's pixel
// centre is put there.
constexpr double kEast = 481668.789218, kNorth = 4415488.923061, kLon = 32.785593500, kLat = 39.889265833;
constexpr double kDx = 2.5, kDy = -2.5;

QString utm36nWkt()
{
    OGRSpatialReference srs;
    srs.importFromEPSG(32636);
    char *wkt = nullptr;
    srs.exportToWkt(&wkt);
    const QString text = QString::fromUtf8(wkt);
    CPLFree(wkt);
    return text;
}

QString run(QSqlDatabase db, const QString &statement)
{
    QSqlQuery q(db);
    return q.exec(statement) ? QString() : q.lastError().text() + " in " + statement;
}

// Turkish letters of every kind, a place on no sheet, a place without a position and nulls.
QString addCases(QSqlDatabase db)
{
    for (const QString &s : {QStringLiteral("update harita set isim = 'Ğüşıöç İçmeleri ĞÜŞIÖÇ', tip = 'Dağ' where id = 2"),
                             QStringLiteral("update harita set pafta = 'YOK-1' where id = 3"),
                             QStringLiteral("update harita set px = null, kod = null, cx = null where id = 4"),
                             QStringLiteral("update harita set isim = null where id = 5")})
        if (const QString e = run(db, s); !e.isEmpty())
            return e;
    return {};
}

// Place 1 at (kEast, kNorth); crs as given (empty: an unknown system).
QString addGeoref(QSqlDatabase db, const QString &crs)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("select h.px + p.px0, h.py + p.py0 from harita h join pafta p on p.num = h.pafta "
                               "where h.id = 1"))
        || !q.next())
        return q.lastError().text();
    const double X = q.value(0).toDouble(), Y = q.value(1).toDouble();
    // PostgreSQL's real has 4 bytes, SQLite's 8.
    const QString real = db.driverName() == "QPSQL" ? QStringLiteral("double precision") : QStringLiteral("real");
    if (const QString e = run(db, QStringLiteral("create table georef (crs text, x0 %1 not null, y0 %1 not null, "
                                                 "dx %1 not null, dy %1 not null)").arg(real));
        !e.isEmpty())
        return e;
    q.prepare(QStringLiteral("insert into georef values (?, ?, ?, ?, ?)"));
    for (const QVariant &v : {QVariant(crs.isEmpty() ? QVariant() : crs), QVariant(kEast - (X + 0.5) * kDx),
                              QVariant(kNorth - (Y + 0.5) * kDy), QVariant(kDx), QVariant(kDy)})
        q.addBindValue(v);
    return q.exec() ? QString() : q.lastError().text();
}

struct Expected {
    QStringList values; // kFields in order, a null as a null QString
    std::optional<QPointF> point; // in the sheets' system
};

// Every place as the export should give it, from the database itself.
QList<Expected> expectedPlaces(QSqlDatabase db, bool georeferenced)
{
    QList<Expected> places;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("select h.isim, h.tip, h.pafta, p.ad, h.px, h.py, h.kod, h.cx, h.cy, p.px0, p.py0 "
                               "from harita h left join pafta p on p.num = h.pafta order by h.id")))
        qFatal("%s", qPrintable(q.lastError().text()));
    double x0 = 0, y0 = 0;
    if (georeferenced) {
        QSqlQuery g(db);
        g.exec(QStringLiteral("select x0, y0 from georef"));
        g.next();
        x0 = g.value(0).toDouble();
        y0 = g.value(1).toDouble();
    }
    while (q.next()) {
        Expected e;
        for (int i = 0; i < kFields.size(); ++i)
            e.values << (q.value(i).isNull() ? QString() : q.value(i).toString());
        if (georeferenced && !q.value(3).isNull() && !q.value(4).isNull())
            e.point = QPointF(x0 + (q.value(9).toDouble() + q.value(4).toDouble() + 0.5) * kDx,
                              y0 + (q.value(10).toDouble() + q.value(5).toDouble() + 0.5) * kDy);
        places << e;
    }
    return places;
}

QString fieldOf(OGRFeature &f, const char *name)
{
    const int i = f.GetFieldIndex(name);
    return i < 0 || !f.IsFieldSetAndNotNull(i) ? QString() : QString::fromUtf8(f.GetFieldAsString(i));
}

// Reads the file back through OGR and compares each feature with the database's place.
void compareExport(const QString &file, QSqlDatabase db, bool withPoints)
{
    const QString extension = QFileInfo(file).suffix();
    const bool wgs84 = extension == "geojson" || extension == "json" || extension == "kml";
    const bool csv = extension == "csv";
    const QList<Expected> places = expectedPlaces(db, withPoints);
    GDALAllRegister();
    GDALDatasetUniquePtr ds(GDALDataset::Open(QFile::encodeName(file).constData(), GDAL_OF_VECTOR));
    QVERIFY2(ds, qPrintable(file));
    QCOMPARE(ds->GetLayerCount(), 1);
    OGRLayer *layer = ds->GetLayer(0);
    QCOMPARE(layer->GetFeatureCount(), qint64(places.size()));
    std::unique_ptr<OGRCoordinateTransformation> toWgs84;
    if (withPoints && wgs84) {
        OGRSpatialReference utm, geographic;
        utm.importFromEPSG(32636);
        utm.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        geographic.SetWellKnownGeogCS("WGS84");
        geographic.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        toWgs84.reset(OGRCreateCoordinateTransformation(&utm, &geographic));
    }
    const double tolerance = wgs84 ? 1e-7 : 1e-6;
    int row = 0;
    layer->ResetReading();
    while (OGRFeatureUniquePtr f{layer->GetNextFeature()}) {
        const Expected &e = places.at(row);
        for (int i = 0; i < kFields.size(); ++i) {
            // KML keeps the name as the placemark's.
            const QByteArray name = extension == "kml" && kFields[i] == "isim" ? "Name" : kFields[i].toUtf8();
            const QString got = fieldOf(*f, name.constData());
            QVERIFY2(got == e.values[i],
                     qPrintable(QStringLiteral("%1 place %2 %3: \"%4\", database \"%5\"")
                                    .arg(extension).arg(row + 1).arg(kFields[i], got, e.values[i])));
        }
        std::optional<QPointF> at;
        if (csv) {
            if (!fieldOf(*f, "X").isEmpty())
                at = QPointF(fieldOf(*f, "X").toDouble(), fieldOf(*f, "Y").toDouble());
        } else if (const OGRGeometry *g = f->GetGeometryRef()) {
            QCOMPARE(wkbFlatten(g->getGeometryType()), wkbPoint);
            at = QPointF(g->toPoint()->getX(), g->toPoint()->getY());
        }
        QVERIFY2(bool(at) == bool(e.point), qPrintable(QStringLiteral("%1 place %2: point %3, expected %4")
                                                           .arg(extension)
                                                           .arg(row + 1)
                                                           .arg(bool(at))
                                                           .arg(bool(e.point))));
        if (at) {
            QPointF want = *e.point;
            if (toWgs84) {
                double x = want.x(), y = want.y();
                QVERIFY(toWgs84->Transform(1, &x, &y));
                want = {x, y};
            }
            QVERIFY2(qAbs(at->x() - want.x()) < tolerance && qAbs(at->y() - want.y()) < tolerance,
                     qPrintable(QStringLiteral("%1 place %2 at %3 %4, expected %5 %6")
                                    .arg(extension).arg(row + 1).arg(at->x(), 0, 'f', 8).arg(at->y(), 0, 'f', 8)
                                    .arg(want.x(), 0, 'f', 8).arg(want.y(), 0, 'f', 8)));
            if (row == 0) {
                const QPointF published = wgs84 ? QPointF(kLon, kLat) : QPointF(kEast, kNorth);
                QVERIFY(qAbs(at->x() - published.x()) < 1e-6 && qAbs(at->y() - published.y()) < 1e-6);
            }
        }
        ++row;
    }
    QCOMPARE(row, places.size());
    if (wgs84 && withPoints) {
        QVERIFY(layer->GetSpatialRef());
        QCOMPARE(layer->GetSpatialRef()->GetAuthorityCode(nullptr), "4326");
    }
}

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden);
}

} // namespace

class TestExport : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_region = std::make_unique<TempRegion>();
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kLink);
        m_db.setDatabaseName(m_region->dir() + m_region->region.databaseFile);
        QVERIFY(m_db.open());
        QCOMPARE(addCases(m_db), QString());
    }
    void cleanup()
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(kLink);
        m_region.reset();
    }

    void everyFormat_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("locale");
        QTest::newRow("gpkg") << "yerler.gpkg" << QStringList{} << QString();
        QTest::newRow("geojson") << "yerler.geojson" << QStringList{} << QString();
        QTest::newRow("json") << "yerler.json" << QStringList{} << QString();
        QTest::newRow("csv, Turkish locale") << "yerler.csv" << QStringList{} << "tr_TR.UTF-8";
        QTest::newRow("kml") << "yerler.kml" << QStringList{} << QString();
        QTest::newRow("--format over the extension") << "yerler.dat" << QStringList{"--format", "GPKG"} << QString();
    }
    void everyFormat()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, options);
        QFETCH(QString, locale);
        QCOMPARE(addGeoref(m_db, utm36nWkt()), QString());
        QTemporaryDir out;
        const QString file = out.filePath(name);
        const ToolRun r = runTool(QStringLiteral("zemira-export"), options + QStringList{m_region->dir(), file}, locale);
        QCOMPARE(r.err, QString());
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("40 yer yazıldı (38 tanesi noktalı): %1\n").arg(file));
        compareExport(file, m_db, true);
        QCOMPARE(filesIn(out.path()), QStringList{name});
    }

    void withoutPoints_data()
    {
        QTest::addColumn<bool>("georef");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("note");
        QTest::newRow("no georef table") << false << "yerler.gpkg"
                                         << "Bölge coğrafi olarak konumlandırılmamış (georef tablosu yok): yerler "
                                            "konumsuz yazıldı.";
        QTest::newRow("unknown system, GeoJSON") << true << "yerler.geojson"
                                                 << "Paftaların koordinat sistemi bilinmiyor, GeoJSON ise WGS 84 ister: "
                                                    "yerler konumsuz yazıldı.";
        QTest::newRow("unknown system, KML") << true << "yerler.kml"
                                             << "Paftaların koordinat sistemi bilinmiyor, KML ise WGS 84 ister: "
                                                "yerler konumsuz yazıldı.";
    }
    void withoutPoints()
    {
        QFETCH(bool, georef);
        QFETCH(QString, name);
        QFETCH(QString, note);
        if (georef)
            QCOMPARE(addGeoref(m_db, QString()), QString());
        QTemporaryDir out;
        const ToolRun r = runTool(QStringLiteral("zemira-export"), {m_region->dir(), out.filePath(name)});
        QCOMPARE(r.err, "zemira-export: " + note + '\n');
        QCOMPARE(r.code, 0);
        compareExport(out.filePath(name), m_db, false);
    }

    // Without a known system a GeoPackage or CSV still has the points, in the sheets' units.
    void unknownSystemKeepsSheetCoordinates()
    {
        QCOMPARE(addGeoref(m_db, QString()), QString());
        QTemporaryDir out;
        for (const QString &name : {QStringLiteral("yerler.gpkg"), QStringLiteral("yerler.csv")}) {
            const ToolRun r = runTool(QStringLiteral("zemira-export"), {m_region->dir(), out.filePath(name)});
            QCOMPARE(r.code, 0);
            compareExport(out.filePath(name), m_db, true);
        }
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("damage"); // a statement run on the database first
        QTest::addColumn<QStringList>("arguments"); // DIR and OUT stand for the data and the output
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("existing output") << QString() << QStringList{"DIR", "OUT/eski.gpkg"} << 1
                                         << "zemira-export: OUT/eski.gpkg zaten var; üzerine yazmak için --force verin.\n";
        QTest::newRow("a value that is no number, midway")
            << "update harita set px = 'on iki' where id = 30" << QStringList{"DIR", "OUT/yeni.gpkg"} << 1
            << "zemira-export: Yer 30: px sütununda sayı olmayan değer \"on iki\".\n";
        QTest::newRow("unknown format") << QString() << QStringList{"DIR", "OUT/yeni.shp"} << 2
                                        << "zemira-export: bilinmeyen biçim \"shp\": .gpkg, .geojson, .json, .csv ya "
                                           "da .kml uzantısı ya da --format verin.\n";
        QTest::newRow("no data") << QString() << QStringList{"OUT", "OUT/yeni.csv"} << 1
                                 << "zemira-export: HARITA.TXT dosyası bulunamadı: OUT/\n";
    }
    void refusals()
    {
        QFETCH(QString, damage);
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, message);
        if (!damage.isEmpty())
            QCOMPARE(run(m_db, damage), QString());
        QTemporaryDir out;
        QFile old(out.filePath(QStringLiteral("eski.gpkg")));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("eski");
        old.close();
        arguments.replaceInStrings(QStringLiteral("DIR"), m_region->dir());
        arguments.replaceInStrings(QStringLiteral("OUT"), out.path());
        const ToolRun r = runTool(QStringLiteral("zemira-export"), arguments);
        QCOMPARE(r.err, QString(message).replace(QStringLiteral("OUT"), out.path()));
        QCOMPARE(r.code, code);
        QCOMPARE(r.out, QString());
        QCOMPARE(filesIn(out.path()), QStringList{"eski.gpkg"});
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("eski"));
    }

    void forceReplaces()
    {
        QTemporaryDir out;
        const QString file = out.filePath(QStringLiteral("yerler.csv"));
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("eski");
        old.close();
        const ToolRun r = runTool(QStringLiteral("zemira-export"), {"--force", m_region->dir(), file});
        QCOMPARE(r.code, 0);
        compareExport(file, m_db, false);
        QCOMPARE(filesIn(out.path()), QStringList{"yerler.csv"});
    }

    void helpAndVersion()
    {
        const ToolRun help = runTool(QStringLiteral("zemira-export"), {"--help"});
        QCOMPARE(help.code, 0);
        QVERIFY(help.out.startsWith(QStringLiteral("Kullanım: zemira-export [seçenekler] VERİ ÇIKTI\n")));
        const ToolRun version = runTool(QStringLiteral("zemira-export"), {"--version"});
        QCOMPARE(version.code, 0);
        QCOMPARE(version.out, QStringLiteral("zemira-export " ZEMIRA_VERSION "\n"));
    }

    void postgres()
    {
        PgScratchDatabase pg;
        const QString error = pg.create(QStringLiteral("export"));
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const ToolRun import = runTool(QStringLiteral("zemira-import"),
                                       {m_region->dir() + m_region->region.databaseFile, pg.uri()});
        QVERIFY2(import.code == 0, qPrintable(import.err));
        m_region->setStartupLine(2, pg.uri());
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("export-pg"));
            configurePostgres(db, pg.uri());
            QVERIFY2(db.open(), qPrintable(db.lastError().text()));
            QCOMPARE(addGeoref(db, utm36nWkt()), QString());
            QTemporaryDir out;
            for (const QString &name : {QStringLiteral("yerler.gpkg"), QStringLiteral("yerler.kml")}) {
                const ToolRun r = runTool(QStringLiteral("zemira-export"), {m_region->dir(), out.filePath(name)});
                QCOMPARE(r.err, QString());
                QCOMPARE(r.code, 0);
                compareExport(out.filePath(name), db, true);
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("export-pg"));
    }

private:
    std::unique_ptr<TempRegion> m_region;
    QSqlDatabase m_db;
};

QTEST_MAIN(TestExport)
#include "test_export.moc"
