#include "demo_names.h"
#include "demo_region.h"
#include "demo_world.h"
#include "framework/errors.h"
#include "framework/picture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(DemoOptions)

namespace {

DemoOptions tiny()
{
    DemoOptions o;
    o.columns = 2;
    o.rows = 2;
    o.sheetWidth = 600;
    o.sheetHeight = 450;
    o.places = 40;
    return o;
}

QList<QVariantList> query(const DemoRegion &region, const QString &sql)
{
    QList<QVariantList> rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("test_demo"));
        db.setDatabaseName(region.dir + region.databaseFile);
        QSqlQuery q(db);
        if (!db.open() || !q.exec(sql))
            qWarning() << sql << q.lastError().text() << db.lastError().text();
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < q.record().count(); ++i)
                row << q.value(i);
            rows << row;
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("test_demo"));
    return rows;
}

QStringList startupLines(const DemoRegion &region)
{
    QFile file(region.dir + QStringLiteral("HARITA.TXT"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
}

} // namespace

class TestDemo : public QObject {
    Q_OBJECT

    QTemporaryDir m_temp;
    DemoRegion m_region;

private slots:
    void initTestCase()
    {
        QVERIFY(m_temp.isValid());
        m_region = makeDemoRegion(m_temp.filePath(QStringLiteral("tiny")), tiny());
    }

    void startupFile()
    {
        const QString dir = QDir(m_temp.filePath(QStringLiteral("tiny"))).absolutePath();
        QCOMPARE(m_region.dir, dir + u'/');
        QCOMPARE(m_region.sheetNumbers, QStringList({"K18-a1", "K18-a2", "K18-b1", "K18-b2"}));
        QFile file(m_region.dir + QStringLiteral("HARITA.TXT"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        // Span = region width 1200 × divisor 1; the first sheet in num order is the top-left one.
        QCOMPARE(QString::fromUtf8(file.readAll()),
                 dir + "\r\nharita.sqlite\r\nK18-a1\r\n0\r\n0\r\n1200\r\n0\r\n1\r\n");
    }

    void sheetNumbersSortInReadingOrder()
    {
        // Text order is what "order by num" gives; it must not put sheet 10 before sheet 2.
        for (const QSize grid : {QSize(3, 4), QSize(12, 30)}) {
            QStringList numbers;
            for (int r = 0; r < grid.height(); ++r)
                for (int c = 0; c < grid.width(); ++c)
                    numbers << sheetNumber(c, r, grid.width(), grid.height());
            QStringList sorted = numbers;
            sorted.sort();
            QCOMPARE(sorted, numbers);
            QCOMPARE(QSet<QString>(numbers.begin(), numbers.end()).size(), numbers.size());
        }
    }

    void database()
    {
        QCOMPARE(query(m_region, "select ad from tipler order by id"),
                 QList<QVariantList>({{"Köy"}, {"Mahalle"}, {"İlçe"}, {"Dağ"}, {"Göl"}, {"Akarsu"}, {"Tepe"}, {"Çiftlik"}}));
        QCOMPARE(query(m_region, "select num, px, py, px0, py0, kucuk from pafta order by num"),
                 QList<QVariantList>({{"K18-a1", 600, 450, 0, 0, "kucuk.bmp"},
                                      {"K18-a2", 600, 450, 600, 0, "kucuk.bmp"},
                                      {"K18-b1", 600, 450, 0, 450, "kucuk.bmp"},
                                      {"K18-b2", 600, 450, 600, 450, "kucuk.bmp"}}));
        QCOMPARE(query(m_region, "select count(*) from harita"), QList<QVariantList>({{40}}));
        // Every place names a sheet and a type that exist, lies on its sheet, has a name, and
        // its columns have the kinds that Zemira's statements compare them as.
        QCOMPARE(query(m_region,
                       "select count(*) from harita h left join pafta p on p.num = h.pafta "
                       "where p.num is null or h.tip is null or h.tip not in (select ad from tipler) "
                       "or h.px < 0 or h.py < 0 or h.px >= p.px or h.py >= p.py "
                       "or h.isim is null or trim(h.isim) = '' or typeof(h.pafta) <> 'text' "
                       "or typeof(h.px) <> 'integer' or typeof(h.py) <> 'integer'"),
                 QList<QVariantList>({{0}}));
    }

    void sheetsAndOverview_data()
    {
        QTest::addColumn<int>("divisor");
        QTest::newRow("divisor 1") << 1;
        QTest::newRow("divisor 2") << 2;
    }
    void sheetsAndOverview()
    {
        QFETCH(int, divisor);
        DemoOptions options = tiny();
        options.scaleDivisor = divisor;
        const DemoRegion region = divisor == 1 ? m_region
                                               : makeDemoRegion(m_temp.filePath(QStringLiteral("divisor")), options);
        const QStringList lines = startupLines(region);
        QCOMPARE(lines.value(7), QString::number(divisor));

        QSet<QString> formats;
        for (const QVariantList &sheet : query(region, "select num, ad, px, py, px0, py0 from pafta order by num")) {
            const QString file = sheet[1].toString();
            const QImage image = loadPicture(region.dir + file);
            QCOMPARE(image.size(), QSize(sheet[2].toInt() / divisor, sheet[3].toInt() / divisor));
            formats << QFileInfo(file).suffix().toLower();
            if (!file.endsWith(QLatin1String(".bmp")))
                continue;
            // Lossless, so each place's own pixel must show its dark dot: the database and
            // the picture agree.
            const auto places = query(region, "select px, py from harita where pafta = '" + sheet[0].toString() + "'");
            QVERIFY(!places.isEmpty());
            for (const QVariantList &place : places)
                QVERIFY2(qGray(image.pixel(place[0].toInt() / divisor, place[1].toInt() / divisor)) < 100,
                         qPrintable(QStringLiteral("place at %1, %2").arg(place[0].toInt()).arg(place[1].toInt())));
        }
        QCOMPARE(formats, QSet<QString>({"jpg", "bmp", "gif", "pcx"}));

        // The overview's scale s = span / (width × divisor) is the region's stored width per
        // overview pixel, and each sheet's reduced picture sits where s puts it: it matches its
        // own place on the overview better than any other sheet's place.
        const QImage overview = loadPicture(region.dir + region.overviewFile);
        QVERIFY(overview.width() >= 240 && overview.width() <= 320);
        QCOMPARE(overview.height(), qRound(900.0 * overview.width() / 1200));
        const double s = lines.value(5).toDouble() / (overview.width() * divisor);
        QCOMPARE(s, 1200.0 / overview.width());
        const QSize size(qRound(600 / s), qRound(450 / s));
        QList<QImage> reduced, placed;
        for (const QVariantList &sheet : query(region, "select ad, px0, py0 from pafta")) {
            reduced << loadPicture(region.dir + sheet[0].toString()).scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            placed << overview.copy(QRect(QPoint(qRound(sheet[1].toInt() / s), qRound(sheet[2].toInt() / s)), size));
        }
        auto difference = [&](const QImage &a, const QImage &b) {
            qint64 sum = 0;
            for (int y = 0; y < size.height(); ++y)
                for (int x = 0; x < size.width(); ++x)
                    sum += qAbs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
            return sum;
        };
        for (int i = 0; i < reduced.size(); ++i)
            for (int j = 0; j < placed.size(); ++j)
                if (j != i)
                    QVERIFY(difference(reduced[i], placed[i]) < difference(reduced[i], placed[j]));
    }

    void placesOnFirstSheet()
    {
        DemoOptions options = tiny();
        options.placesOnFirstSheet = 25;
        options.drawPlaces = false;
        const DemoRegion region = makeDemoRegion(m_temp.filePath(QStringLiteral("first")), options);
        QCOMPARE(query(region, "select pafta, count(*) from harita group by pafta order by pafta"),
                 QList<QVariantList>({{"K18-a1", 25}, {"K18-a2", 5}, {"K18-b1", 5}, {"K18-b2", 5}}));
    }

    void sameSeedSameRegion()
    {
        DemoOptions options = tiny();
        options.seed = 7;
        const DemoRegion a = makeDemoRegion(m_temp.filePath(QStringLiteral("seed7a")), options);
        const DemoRegion b = makeDemoRegion(m_temp.filePath(QStringLiteral("seed7b")), options);
        const QString places = QStringLiteral("select * from harita order by id");
        QCOMPARE(query(a, places), query(b, places));
        QCOMPARE(query(a, "select * from pafta order by id"), query(b, "select * from pafta order by id"));
        for (const char *file : {"K18-a1.jpg", "K18-b1.gif", "K18-b2.PCX", "kucuk.bmp"}) {
            QFile fa(a.dir + QLatin1String(file)), fb(b.dir + QLatin1String(file));
            QVERIFY(fa.open(QIODevice::ReadOnly) && fb.open(QIODevice::ReadOnly));
            QVERIFY2(fa.readAll() == fb.readAll(), file);
        }
        QVERIFY(query(a, places) != query(m_region, places));
    }

    void badOptions_data()
    {
        QTest::addColumn<DemoOptions>("options");
        DemoOptions o = tiny();
        o.columns = 0;
        QTest::newRow("no columns") << o;
        o = tiny();
        o.sheetWidth = 60;
        QTest::newRow("sheet too small") << o;
        o = tiny();
        o.sheetWidth = 120;
        o.scaleDivisor = 2;
        QTest::newRow("too small once divided") << o;
        o = tiny();
        o.scaleDivisor = 0;
        QTest::newRow("divisor 0") << o;
        o = tiny();
        o.places = -1;
        QTest::newRow("negative places") << o;
        o = tiny();
        o.placesOnFirstSheet = 41;
        QTest::newRow("more on the first sheet than in all") << o;
        o = tiny();
        o.columns = o.rows = 1;
        o.placesOnFirstSheet = 5;
        QTest::newRow("one sheet, places elsewhere") << o;
        o = tiny();
        o.columns = o.rows = 1;
        o.sheetWidth = o.sheetHeight = 384000;
        o.scaleDivisor = 6000;
        QTest::newRow("span beyond 32 bits") << o;
    }
    void badOptions()
    {
        QFETCH(DemoOptions, options);
        const QString dir = m_temp.filePath(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY_THROWS_EXCEPTION(Error, makeDemoRegion(dir, options));
        QVERIFY(!QFileInfo::exists(dir));
    }

    void replacesNothing()
    {
        const QString dir = m_temp.filePath(QStringLiteral("occupied"));
        QVERIFY(QDir().mkpath(dir));
        QFile mine(dir + QStringLiteral("/harita.sqlite"));
        QVERIFY(mine.open(QIODevice::WriteOnly) && mine.write("mine") == 4);
        mine.close();
        QVERIFY_THROWS_EXCEPTION(Error, makeDemoRegion(dir, tiny()));
        QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList({"harita.sqlite"}));
        QVERIFY(mine.open(QIODevice::ReadOnly));
        QCOMPARE(mine.readAll(), QByteArray("mine"));
    }

    void placeNames()
    {
        QString letters;
        for (int t = 0; t < PlaceTypeCount; ++t)
            for (uint64_t seed = 0; seed < 300; ++seed) {
                const QString name = placeName(PlaceType(t), seed);
                QVERIFY(!name.isEmpty() && name == name.trimmed() && name[0].isUpper());
                QCOMPARE(placeName(PlaceType(t), seed), name);
                letters += name;
            }
        for (const QChar c : QStringLiteral("İıŞşğÜüÖöÇç"))
            QVERIFY2(letters.contains(c), qPrintable(QString(c)));
    }
};

QTEST_MAIN(TestDemo)
#include "test_demo.moc"
