#include "check_report.h"
#include "data/connection.h"
#include "data/postgres.h"
#include "framework/errors.h"

#include <QFileInfo>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <cstdlib>
#include <functional>
#include <numeric>
#include <tuple>
#include <vector>

namespace {

const QString kCheckName = QStringLiteral("zemira-check");

// The nearby-place check's radius (MarkRadius).
constexpr int kRadius = 10;
constexpr int kShown = 5;

struct Finding {
    explicit Finding(QString t) : title(std::move(t)) {}
    QString title;
    qint64 count = 0;
    QStringList examples;

    // The example is made only when shown: a large data set has millions of close pairs.
    template <typename Example>
    void add(const Example &example)
    {
        if (count++ < kShown)
            examples << example();
    }
};

QString text(const QVariant &value)
{
    return value.isNull() ? QStringLiteral("(boş)") : '"' + value.toString() + '"';
}

QSqlQuery run(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(sql))
        throw Error(q.lastError().text());
    return q;
}

// Every place a query lists, each shown as "id N "isim"" and what detail adds.
Finding listed(QSqlDatabase &db, const QString &title, const QString &sql,
               const std::function<QString(const QSqlQuery &)> &detail)
{
    Finding f(title);
    QSqlQuery q = run(db, sql);
    while (q.next())
        f.add([&] { return QStringLiteral("id %1 %2").arg(q.value(0).toString(), text(q.value(1))) + detail(q); });
    return f;
}

Finding unknownSheets(QSqlDatabase &db)
{
    return listed(db, QStringLiteral("Paftası bir pafta numarası olmayan yerler"),
                  QStringLiteral("select id, isim, pafta from harita where pafta is null or pafta not in"
                                 " (select num from pafta where num is not null) order by id"),
                  [](const QSqlQuery &q) { return QStringLiteral(", pafta ") + text(q.value(2)); });
}

Finding outsideSheets(QSqlDatabase &db)
{
    return listed(db, QStringLiteral("Paftasının sınırları dışındaki yerler"),
                  // harita first, each place meeting its sheet by number: SQLite then
                  // indexes pafta for the join, where it would read pafta again for each place.
                  QStringLiteral("select distinct h.id, h.isim, h.pafta, h.px, h.py from harita h cross join pafta p"
                                 " where p.num = h.pafta and (h.px < 0 or h.py < 0 or h.px >= p.px"
                                 " or h.py >= p.py) order by h.id"),
                  [](const QSqlQuery &q) {
                      return QStringLiteral(", pafta %1 (%2, %3)")
                          .arg(text(q.value(2)), q.value(3).toString(), q.value(4).toString());
                  });
}

Finding unknownTypes(QSqlDatabase &db)
{
    return listed(db, QStringLiteral("Tipi tipler tablosunda olmayan yerler"),
                  QStringLiteral("select id, isim, tip from harita where tip is null or tip not in"
                                 " (select ad from tipler where ad is not null) order by id"),
                  [](const QSqlQuery &q) { return QStringLiteral(", tip ") + text(q.value(2)); });
}

// Sorted by sheet and x, each place meets only the few that follow it within the radius.
// Sorted here, not by the database: reading through the index costs a seek a row.
Finding closePairs(QSqlDatabase &db)
{
    Finding f(QStringLiteral("Aynı paftada birbirine %1 pikselden yakın yer çiftleri").arg(kRadius));
    struct Place {
        qint64 id, x, y;
        int sheet; // into sheets, whose texts no inner loop compares
        QVariant name;
    };
    std::vector<Place> places;
    QStringList sheets;
    QHash<QString, int> sheetIndex;
    QSqlQuery q = run(db, QStringLiteral("select id, isim, pafta, px, py from harita where pafta is not null"
                                         " and px is not null and py is not null"));
    while (q.next()) {
        const QString sheet = q.value(2).toString();
        auto index = sheetIndex.constFind(sheet);
        if (index == sheetIndex.constEnd()) {
            index = sheetIndex.insert(sheet, int(sheets.size()));
            sheets << sheet;
        }
        places.push_back({q.value(0).toLongLong(), q.value(3).toLongLong(), q.value(4).toLongLong(), *index,
                          q.value(1)});
    }
    std::vector<int> sheetRank(size_t(sheets.size()));
    {
        std::vector<int> byText(sheetRank.size());
        std::iota(byText.begin(), byText.end(), 0);
        std::sort(byText.begin(), byText.end(), [&](int a, int b) { return sheets[a] < sheets[b]; });
        for (size_t rank = 0; rank < byText.size(); ++rank)
            sheetRank[size_t(byText[rank])] = int(rank);
    }
    std::sort(places.begin(), places.end(), [&](const Place &a, const Place &b) {
        return std::tuple(sheetRank[size_t(a.sheet)], a.x, a.id) < std::tuple(sheetRank[size_t(b.sheet)], b.x, b.id);
    });
    for (size_t i = 0; i < places.size(); ++i)
        for (size_t j = i + 1; j < places.size() && places[j].sheet == places[i].sheet
             && places[j].x - places[i].x <= kRadius;
             ++j)
            if (std::llabs(places[j].y - places[i].y) <= kRadius)
                f.add([&] {
                    return QStringLiteral("id %1 %2 ve id %3 %4, pafta \"%5\" (%6, %7)")
                        .arg(QString::number(places[i].id), text(places[i].name), QString::number(places[j].id),
                             text(places[j].name), sheets[places[i].sheet])
                        .arg(places[i].x)
                        .arg(places[i].y);
                });
    return f;
}

} // namespace

QString placeCheckReport(QSqlDatabase &db)
{
    const Finding findings[] = {unknownSheets(db), outsideSheets(db), unknownTypes(db), closePairs(db)};
    QStringList lines = {QStringLiteral("Denetim:")};
    for (const Finding &f : findings) {
        lines << QStringLiteral("  %1: %2").arg(f.title).arg(f.count);
        for (const QString &e : f.examples)
            lines << QStringLiteral("    ") + e;
        if (f.count > f.examples.size())
            lines << QStringLiteral("    ...");
    }
    return lines.join('\n') + '\n';
}

CheckDatabase::CheckDatabase(const QString &target)
{
    const bool postgres = Connection::isPostgresUri(target);
    db = QSqlDatabase::addDatabase(postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), kCheckName);
    if (postgres) {
        configurePostgres(db, target);
    } else {
        if (!QFileInfo(target).isFile())
            throw Error(QStringLiteral("Veritabanı dosyası bulunamadı: %1").arg(target));
        db.setDatabaseName(target);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    }
    if (!db.open())
        throw Error(withoutPassword(db.lastError().text(), target));
    if (postgres)
        run(db, QStringLiteral("set session characteristics as transaction read only"));
}

CheckDatabase::~CheckDatabase()
{
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(kCheckName);
}

bool CheckDatabase::hasPlaceTables()
{
    QSqlQuery q(db);
    for (const char *table : {"harita", "tipler", "pafta"})
        if (!q.exec(QStringLiteral("select 1 from %1 where 1 = 0").arg(QLatin1String(table))))
            return false;
    return true;
}
