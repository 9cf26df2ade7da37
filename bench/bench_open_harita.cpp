// Opening the place dataset on 1,000,000 places: the sqlite3 shell printing
// "select * from harita order by px" to /dev/null (the baseline) against Dataset::open of
// the same statement on the same file, in the same run. Prints medians, the ratio (goal
// <= 2) and the snapshot's bytes per row; QtSql's forward-only QSqlQuery reading every
// value, and a walk over all rows as the marking pass does it, are shown for comparison.
// Zemira's own qHarita no longer reads the whole table (bench_startup_places measures it);
// this is what any dataset read whole, such as a search's, costs.
#include "benchsupport.h"
#include "data/connection.h"
#include "data/schema.h"
#include "demo_names.h"
#include "demo_random.h"
#include "framework/dataset.h"
#include "framework/errors.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

#include <sqlite3.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

const QString kStatement = QStringLiteral("select * from harita order by px");
constexpr int kPlaces = 1000000;
constexpr int kRounds = 5;

void check(int rc, sqlite3 *db)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE)
        throw Error(QString::fromUtf8(sqlite3_errmsg(db)));
}

// Inserted through SQLite directly: a million QtSql executions would take longer than the runs.
void fill(const QString &file)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
    db.setDatabaseName(file);
    if (!db.open())
        throw Error(db.lastError().text());
    createSchema(db);
    sqlite3 *raw = *static_cast<sqlite3 *const *>(db.driver()->handle().constData());
    check(sqlite3_exec(raw, "begin", nullptr, nullptr, nullptr), raw);
    sqlite3_stmt *insert = nullptr;
    check(sqlite3_prepare_v2(raw,
                             "insert into harita (isim, tip, px, py, pafta, kod, cx, cy) values (?, ?, ?, ?, ?, ?, ?, ?)",
                             -1, &insert, nullptr),
          raw);
    const QStringList types = placeTypeNames();
    std::vector<QByteArray> typeNames;
    for (const QString &t : types)
        typeNames.push_back(t.toUtf8());
    Rng random(11);
    for (int i = 0; i < kPlaces; ++i) {
        const int type = random.below(int(typeNames.size()));
        const QByteArray name = placeName(PlaceType(type), uint64_t(i)).toUtf8();
        const QByteArray sheet = QByteArray::number(1 + random.below(12));
        sqlite3_bind_text(insert, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, typeNames[std::size_t(type)].constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 3, random.below(2400));
        sqlite3_bind_int(insert, 4, random.below(1800));
        sqlite3_bind_text(insert, 5, sheet.constData(), int(sheet.size()), SQLITE_TRANSIENT);
        if (random.chance(0.3)) {
            const QByteArray code = QByteArray::number(random.below(100000));
            sqlite3_bind_text(insert, 6, code.constData(), int(code.size()), SQLITE_TRANSIENT);
        } else {
            sqlite3_bind_null(insert, 6);
        }
        sqlite3_bind_int(insert, 7, random.below(100000));
        sqlite3_bind_int(insert, 8, random.below(100000));
        check(sqlite3_step(insert), raw);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    check(sqlite3_exec(raw, "commit", nullptr, nullptr, nullptr), raw);
    db.close();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    try {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("harita.sqlite"));
        fill(file);
        QSqlDatabase::removeDatabase(QStringLiteral("fill"));
        Connection connection(QStringLiteral("bench"));
        connection.open(file);
        Dataset places(QStringLiteral("qHarita"), connection);
        places.setSql(kStatement);

        const auto shellRun = [&] { runBaseline(QStringLiteral("sqlite3"), {file, kStatement}); };
        shellRun(); // brings the file into the page cache for every contender alike
        std::vector<double> shell, dataset, qtSql, walk;
        for (int round = 0; round < kRounds; ++round) {
            shell.push_back(timedMs(shellRun));
            places.close();
            dataset.push_back(timedMs([&] { places.open(); }));
            if (round < 3)
                qtSql.push_back(timedMs([&] { readAllRows(connection, kStatement); }));
            walk.push_back(timedMs([&] {
                int onSheet = 0;
                for (places.first(); !places.eof(); places.next())
                    onSheet += places.asString(QStringLiteral("pafta")) == QLatin1String("7");
                if (onSheet == 0)
                    throw Error(QStringLiteral("no place on sheet 7"));
            }));
        }
        const auto ratio = [](double a, double b) { return QString::number(a / b, 'f', 2); };
        const auto ms = [](double v) { return QString::number(qRound64(v)); };
        const double base = median(shell);
        out << "bench_open_harita: " << places.recordCount() << " places, medians of " << kRounds << " runs\n"
            << "  sqlite3 shell:        " << ms(base) << " ms (baseline)\n"
            << "  Dataset::open:        " << ms(median(dataset)) << " ms, ratio " << ratio(median(dataset), base)
            << " (goal <= 2)\n"
            << "  QSqlQuery, for scale: " << ms(median(qtSql)) << " ms, ratio " << ratio(median(qtSql), base) << "\n"
            << "  walk all rows (first/next, asString pafta): " << ms(median(walk)) << " ms, ratio "
            << ratio(median(walk), base) << "\n"
            << "  snapshot: " << places.snapshotBytes() / std::size_t(places.recordCount()) << " bytes per row\n";
    } catch (const Error &e) {
        out << "bench_open_harita failed: " << e.text() << "\n";
        return 1;
    }
    return 0;
}
