// The indexed place search on a demo region: for each name fragment, the sqlite3 shell's
// LIKE scan over the file (the baseline) against Zemira's search dataset on the file
// (through its trigram index) and, given an address, on a PostgreSQL database holding the
// same rows (through pg_trgm): "first" is the open that shows the first hit, "all" that
// and walking every row to the end. Both must walk exactly the rows of Zemira's own scan of
// the file, in its order. "whole" is the result read whole at the open, as before paging.
// Goal: at most 0.1 for fragments with a run of three letters or more between the
// wildcards; shorter ones are answered by the scan.
//   bench_search [FILE [POSTGRESQL-ADDRESS [FRAGMENT,...]]]
// FILE is a region's harita.sqlite (zemira-demo --places 10000000 --no-symbols DIR);
// without it a region of 1,000,000 places is made in a temporary folder.
#include "benchsupport.h"
#include "data/connection.h"
#include "data/searchindex.h"
#include "demo_region.h"
#include "framework/dataset.h"
#include "framework/errors.h"
#include "places/statements.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlError>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace {

// The search as the window runs it: the ids of the rows walked in order; first, when given,
// gets the time to the first row.
QList<qint64> walk(Connection &connection, const QString &fragment, const QString &narrowing, double *first = nullptr)
{
    Dataset q(QStringLiteral("qAra"), connection);
    q.setSql(statements::search({}, {}, fragment, narrowing));
    q.setPagedOrder(QStringLiteral("px"), statements::searchCondition({}, {}, fragment, narrowing));
    QList<qint64> walked;
    const double opened = timedMs([&] {
        q.open();
        q.asString(QStringLiteral("pafta"));
        q.recordCount();
    });
    if (first)
        *first = opened;
    for (; !q.eof(); q.next())
        walked << q.value(QStringLiteral("id")).toLongLong();
    return walked;
}

QList<qint64> orderedIds(Connection &connection, const QString &statement)
{
    QSqlQuery q(connection.database());
    q.setForwardOnly(true);
    if (!q.exec(statement))
        throw Error(q.lastError().text());
    QList<qint64> found;
    while (q.next())
        found << q.value(0).toLongLong();
    return found;
}

double bestMs(int rounds, const std::function<void()> &work)
{
    double best = std::numeric_limits<double>::max();
    for (int i = 0; i < rounds; ++i)
        best = std::min(best, timedMs(work));
    return best;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    try {
        QTemporaryDir temp;
        QString file = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
        if (file.isEmpty()) {
            DemoOptions o;
            o.places = 1000000;
            o.drawPlaces = false;
            o.mixedFormats = false;
            const DemoRegion region = makeDemoRegion(temp.filePath("region"), o);
            file = region.dir + region.databaseFile;
        }
        Connection sqlite(QStringLiteral("file"));
        const double fileIndex = timedMs([&] { sqlite.open(file); });
        Connection server(QStringLiteral("server"));
        const bool withServer = argc > 2 && argv[2][0] != 0; // "" for none, to name fragments alone
        QList<int> heard; // the server's progress of an index build
        const double serverIndex = withServer ? timedMs([&] {
            server.open(QString::fromLocal8Bit(argv[2]), [&](int percent) { heard << percent; });
        }) : 0;
        QSqlQuery count(sqlite.database());
        count.exec("select count(*) from harita");
        count.next();
        std::printf("bench_search: %lld places; opening (building the index where missing): file %.0f ms%s\n",
                    count.value(0).toLongLong(), fileIndex,
                    withServer ? qPrintable(QStringLiteral(", server %1 ms, %2 progress reports, last %3")
                                                .arg(serverIndex, 0, 'f', 0)
                                                .arg(heard.size())
                                                .arg(heard.value(heard.size() - 1, -1)))
                               : "");
        std::printf("  %-12s %5s %9s %9s | %7s %6s | %7s %7s %6s %6s | %7s %7s %6s %6s | same\n", "fragment", "run", "found",
                    "shell ms", "whole", "ratio", "first", "all", "ratio", "ratio", "pgfirst", "pgall", "ratio", "ratio");
        bool allSame = true;
        QStringList fragments = {"ğ", "çi", "k_ra", "ova", "kara", "pınar", "ÇİFTLİĞ", "çift_i", "HACILAR", "bağova",
                                 "kara%dere"};
        if (argc > 3)
            fragments = QString::fromLocal8Bit(argv[3]).split(',');
        for (const QString &fragment : fragments) {
            const QByteArray text = fragment.toUtf8();
            const QString scan = statements::search({}, {}, fragment);
            const QString narrowing = searchindex::narrowing(sqlite.database(), '%' + fragment + '%');
            // Longest run of letters between the wildcards: the index answers from three.
            int run = 0;
            for (const QString &piece : fragment.split(QRegularExpression("[%_]")))
                run = std::max(run, int(piece.size()));
            const int rounds = run >= 3 ? 3 : 1;
            // Today's rows in today's order: the shown statement read whole.
            QString ids = scan;
            ids.replace(QStringLiteral("SELECT *"), QStringLiteral("SELECT id"));
            const QList<qint64> expected = orderedIds(sqlite, ids);
            const double shell = bestMs(rounds, [&] { runBaseline("sqlite3", {file, scan}); });
            // As before paging: the whole result read at the open.
            const double whole = bestMs(rounds, [&] {
                Dataset q(QStringLiteral("qAra"), sqlite);
                q.setSql(narrowing.isEmpty() ? scan : statements::search({}, {}, fragment, narrowing));
                q.open();
            });
            double first = std::numeric_limits<double>::max(), onServerFirst = 0;
            const double all = bestMs(rounds, [&] {
                double f = 0;
                walk(sqlite, fragment, narrowing, &f);
                first = std::min(first, f);
            });
            bool same = walk(sqlite, fragment, narrowing) == expected;
            double onServer = 0;
            if (withServer) {
                onServerFirst = std::numeric_limits<double>::max();
                onServer = bestMs(rounds, [&] {
                    double f = 0;
                    walk(server, fragment, {}, &f);
                    onServerFirst = std::min(onServerFirst, f);
                });
                same = same && walk(server, fragment, {}) == expected;
            }
            allSame = allSame && same;
            std::printf("  %-*s %5d %9lld %9.0f | %7.0f %6.3f | %7.0f %7.0f %6.3f %6.3f | %7.0f %7.0f %6.3f %6.3f | %s\n",
                        12 + int(text.size()) - int(fragment.size()), text.constData(), run,
                        qlonglong(expected.size()), shell, whole, whole / shell, first, all, first / shell, all / shell, onServerFirst,
                        onServer, onServerFirst / shell, onServer / shell, same ? "yes" : "NO");
            std::fflush(stdout);
        }
        return allSame ? 0 : 1;
    } catch (const Error &e) {
        std::printf("bench_search: %s\n", qPrintable(e.text()));
        return 1;
    }
}
