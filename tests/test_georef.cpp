#include "data/georef.h"
#include "map/uHarita.h"
#include "places/uBilgigir.h"
#include "framework/dbedit.h"
#include "testsupport.h"

#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <ogr_spatialref.h>

namespace {

QString wktOf(int epsg)
{
    OGRSpatialReference srs;
    srs.importFromEPSG(epsg);
    char *wkt = nullptr;
    srs.exportToWkt(&wkt);
    const QString text = QString::fromUtf8(wkt);
    CPLFree(wkt);
    return text;
}

QString runOn(const TempRegion &r, const QStringList &statements)
{
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("region"));
        db.setDatabaseName(r.dir() + r.region.databaseFile);
        db.open();
        QSqlQuery q(db);
        for (const QString &s : statements)
            if (error.isEmpty() && !q.exec(s))
                error = s;
    }
    QSqlDatabase::removeDatabase(QStringLiteral("region"));
    return error;
}

} // namespace

class TestGeoref : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey)); }

    // A point of a mailing-list example of PROJ (proj -I +proj=utm +zone=36 +ellps=WGS84):
    // UTM 36N 481668.789218 E, 4415488.923061 N is 39.889265833 N, 32.785593500 E.
    void publishedUtmPoint()
    {
        const Georef g(wktOf(32636), 481668.789218 - 0.5, 4415488.923061 + 0.5, 1, -1);
        const QPointF at = g.toCrs(0, 0);
        QCOMPARE(at, QPointF(481668.789218, 4415488.923061));
        const auto lonLat = g.toLonLat(at);
        QVERIFY(lonLat);
        QVERIFY(qAbs(lonLat->x() - 32.785593500) < 1e-8);
        QVERIFY(qAbs(lonLat->y() - 39.889265833) < 1e-8);
    }

    void readout_data()
    {
        QTest::addColumn<QString>("crs");
        QTest::addColumn<QList<double>>("transform"); // x0, y0, dx, dy
        QTest::addColumn<QPointF>("pixel");
        QTest::addColumn<QString>("expected");
        QTest::newRow("utm 36N, 2 m pixels") << wktOf(32636) << QList<double>{480000, 4416000, 2, -2}
                                             << QPointF(834, 255)
                                             << "D:481669.00 K:4415489.00\n39.889267° K 32.785596° D";
        QTest::newRow("geographic south-west: lon/lat order kept")
            << wktOf(4326) << QList<double>{-70.5, -33.4, 0.001, -0.001} << QPointF(0, 0)
            << "D:-70.4995 K:-33.4005\n33.400500° G 70.499500° B";
        QTest::newRow("unknown system: no latitude") << QString() << QList<double>{1000, 2000, 0.5, -0.5}
                                                     << QPointF(10, 20) << "D:1005.25 K:1989.75";
        QTest::newRow("unreadable system: no latitude") << "not a coordinate system" << QList<double>{0, 0, 1, 1}
                                                        << QPointF(1, 2) << "D:1.50 K:2.50";
        QTest::newRow("a file name is not opened") << "/etc/passwd" << QList<double>{0, 0, 1, 1} << QPointF(0, 0)
                                                   << "D:0.50 K:0.50";
    }
    void readout()
    {
        QFETCH(QString, crs);
        QFETCH(QList<double>, transform);
        QFETCH(QPointF, pixel);
        QFETCH(QString, expected);
        const Georef g(crs, transform[0], transform[1], transform[2], transform[3]);
        QCOMPARE(g.readout(pixel.x(), pixel.y()), expected);
        QCOMPARE(g.crs() != nullptr, expected.contains('\n'));
    }

    void readTable_data()
    {
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<QString>("expected"); // readout of pixel (0, 0), "-" for none, or the error
        QTest::newRow("no table") << QStringList{} << "-";
        QTest::newRow("empty table") << QStringList{"create table georef (crs text, x0 real not null, "
                                                    "y0 real not null, dx real not null, dy real not null)"}
                                     << "-";
        const QString create = "create table georef (crs text, x0 real, y0 real, dx real, dy real)";
        QTest::newRow("unknown system") << QStringList{create, "insert into georef values (null, 10, 20, 1, -1)"}
                                        << "D:10.50 K:19.50";
        QTest::newRow("zero pixel size") << QStringList{create, "insert into georef values ('', 10, 20, 0, -1)"}
                                         << "georef tablosunda piksel boyu sıfır (dx = 0, dy = -1).";
        QTest::newRow("text for a number") << QStringList{create, "insert into georef values ('', 'a', 20, 1, -1)"}
                                           << "georef tablosunda geçersiz değer: x0 = \"a\"";
        QTest::newRow("two rows") << QStringList{create, "insert into georef values ('', 1, 2, 1, -1)",
                                                 "insert into georef values ('', 1, 2, 1, -1)"}
                                  << "georef tablosunda birden çok satır var; bir tane olmalı.";
    }
    void readTable()
    {
        QFETCH(QStringList, statements);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("georef"));
            db.setDatabaseName(dir.filePath(QStringLiteral("g.sqlite")));
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec(QStringLiteral("create table harita (id integer primary key, isim text)")));
            for (const QString &s : statements)
                QVERIFY2(q.exec(s), qPrintable(s));
            QString got;
            const QString error = errorOf([&] {
                const auto g = Georef::read(db);
                got = g ? g->readout(0, 0) : QStringLiteral("-");
            });
            QCOMPARE(error == QLatin1String("<no error>") ? got : error, expected);
        }
        QSqlDatabase::removeDatabase(QStringLiteral("georef"));
    }

    // A new place begun by a click in add mode shows where it lies; other regions show nothing new.
    void entryWindow_data()
    {
        QTest::addColumn<QString>("georef"); // the row's values, empty for no table
        QTest::addColumn<QString>("position");
        QTest::addColumn<QString>("latLon"); // "-" for no such label
        QTest::newRow("utm 36N") << "'" + wktOf(32636).replace("'", "''") + "', 480000, 4416000, 2, -2"
                                 << "D:480223.00 K:4415799.00" << "39.892027° K 32.768674° D";
        QTest::newRow("unknown system") << "null, 480000, 4416000, 2, -2" << "D:480223.00 K:4415799.00" << "-";
        QTest::newRow("not georeferenced") << QString() << "-" << "-";
    }
    void entryWindow()
    {
        QFETCH(QString, georef);
        QFETCH(QString, position);
        QFETCH(QString, latLon);
        TempRegion r;
        QStringList statements{QStringLiteral("delete from harita")};
        if (!georef.isEmpty())
            statements << QStringLiteral("create table georef (crs text, x0 real not null, y0 real not null, "
                                         "dx real not null, dy real not null)")
                       << QStringLiteral("insert into georef values (%1)").arg(georef);
        QCOMPARE(runOn(r, statements), QString());
        RunningZemira z(r.dir());
        fHarita->show();
        QTest::mouseClick(fHarita->Button4, Qt::LeftButton);
        clickAt(fHarita->Image2, QPoint(111, 100));
        QCOMPARE(fBilgigir->DBEdit1->text(), QString("111"));
        QCoreApplication::processEvents();

        const auto *labelKonum = fBilgigir->findChild<QLabel *>(QStringLiteral("LabelKonum"));
        const auto *labelLatLon = fBilgigir->findChild<QLabel *>(QStringLiteral("LabelEnlemBoylam"));
        QCOMPARE(labelKonum ? labelKonum->text() : QStringLiteral("-"), position);
        QCOMPARE(labelLatLon ? labelLatLon->text() : QStringLiteral("-"), latLon);
        // The main window's pointer readout over the same point.
        moveTo(fHarita->Image2, QPoint(5, 5));
        moveTo(fHarita->Image2, QPoint(111, 100));
        QCOMPARE(fHarita->Label1->text(), QStringLiteral(" X:111 Y:100"));
        QCOMPARE(fHarita->LabelKonum ? fHarita->LabelKonum->text() : QStringLiteral("-"),
                 georef.isEmpty() ? QStringLiteral("-") : latLon == "-" ? position : position + '\n' + latLon);
    }
};

QTEST_MAIN(TestGeoref)
#include "test_georef.moc"
