// The overview's place dots on 1,000,000 places (or as many as the first argument says) on
// 100 sheets: the sqlite3 shell grouping the whole table into the same cells in one
// statement (the baseline) against PlaceDots reading them in id ranges on its own thread,
// from load() to its result on the GUI thread. Also how long load() holds up the caller.
#include "benchsupport.h"
#include "data/schema.h"
#include "framework/errors.h"
#include "overview/overview_layers.h"
#include "overview/overview_places.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

#include <vector>

namespace {

constexpr int kUnit = 72; // the demo region's cell side
constexpr int kRounds = 3;

void fill(const QString &file, int places)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(file);
        if (!db.open())
            throw Error(db.lastError().text());
        createSchema(db);
        QSqlQuery q(db);
        const QStringList statements{
            QStringLiteral("with recursive c(i) as (select 0 union all select i + 1 from c where i < 99) "
                           "insert into pafta (num, px, py, px0, py0) "
                           "select printf('P%03d', i), 2400, 1800, (i % 10) * 2400, (i / 10) * 1800 from c"),
            QStringLiteral("with recursive c(i) as (select 1 union all select i + 1 from c where i < %1) "
                           "insert into harita (isim, tip, px, py, pafta) select 'yer ' || i, 'Köy', "
                           "abs(random()) % 2400, abs(random()) % 1800, printf('P%03d', abs(random()) % 100) from c")
                .arg(places)};
        for (const QString &s : statements)
            if (!q.exec(s))
                throw Error(q.lastError().text());
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
}

QString wholeTableStatement()
{
    // The same statement over every id at once, with the cell side written in.
    QString s = overview_layers::cellStatement();
    for (const QString &value : {QString::number(kUnit), QString::number(kUnit), QString::number(kUnit),
                                 QString::number(kUnit), QStringLiteral("0"), QStringLiteral("9223372036854775807")})
        s.replace(s.indexOf(u'?'), 1, value);
    return s;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const int places = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000000;
    try {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("harita.sqlite"));
        fill(file, places);
        const QString statement = wholeTableStatement();
        const auto shellRun = [&] { runBaseline(QStringLiteral("sqlite3"), {file, statement}); };
        shellRun(); // brings the file into the page cache for both alike
        std::vector<double> shell, dots, call;
        qsizetype cells = 0;
        for (int round = 0; round < kRounds; ++round) {
            shell.push_back(timedMs(shellRun));
            PlaceDots reader;
            QEventLoop loop;
            QObject::connect(&reader, &PlaceDots::changed, &loop, &QEventLoop::quit);
            QString failure;
            QObject::connect(&reader, &PlaceDots::failed, &loop, [&](const QString &m) {
                failure = m;
                loop.quit();
            });
            dots.push_back(timedMs([&] {
                call.push_back(timedMs([&] { reader.load(file, kUnit); }));
                loop.exec();
            }));
            if (!failure.isEmpty())
                throw Error(failure);
            cells = reader.cells().size();
        }
        const double base = median(shell);
        out << "bench_overview_places: " << places << " places, " << cells << " cells, medians of " << kRounds
            << " runs\n"
            << "  sqlite3 shell, one statement: " << qRound64(base) << " ms (baseline)\n"
            << "  PlaceDots, load to result:    " << qRound64(median(dots)) << " ms, ratio "
            << QString::number(median(dots) / base, 'f', 2) << "\n"
            << "  load() itself, on the caller: " << QString::number(median(call), 'f', 2) << " ms\n";
    } catch (const Error &e) {
        out << "bench_overview_places failed: " << e.text() << "\n";
        return 1;
    }
    return 0;
}
