// The search statement over 1,000,000 places (or as many as the argument says): the sqlite3 shell with SQLite's own LIKE
// (the baseline) against QSqlQuery through Zemira's connection with the Turkish LIKE,
// reading every row. Prints both times and their ratio; the goal is at most 1.5.
// The same condition counted alone shows the cost of the LIKE itself, which the
// reading of the rows hides in the first figure. A 5,000-letter name fragment beside
// the type's LIKE, against the name's LIKE alone, shows that two LIKEs of one statement
// do not compile their patterns again for each row. The indexed search has its own
// benchmark, bench_search.
#include "benchsupport.h"
#include "data/connection.h"
#include "data/schema.h"
#include "framework/errors.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <limits>

namespace {

const QString kStatement = QStringLiteral("SELECT * FROM harita WHERE tip LIKE '%'  AND isim LIKE '%kara%'  ORDER BY PX");
const QString kCount = QStringLiteral("SELECT count(*) FROM harita WHERE tip LIKE '%'  AND isim LIKE '%kara%'");
const QString kLongFragment = QStringLiteral("kara").repeated(1250);
const QString kLongBoth = "SELECT count(*) FROM harita WHERE tip LIKE '%'  AND isim LIKE '%" + kLongFragment + "%'";
const QString kLongAlone = "SELECT count(*) FROM harita WHERE isim LIKE '%" + kLongFragment + "%'";
int places = 1000000;
constexpr int kRounds = 3;

void fill(const QString &file)
{
    const QStringList syllables = {"Kara", "kara", "KARA", "Ak", "Çam", "lık", "köy", "Şi", "le", "Üs", "kü",
                                   "dar", "Ilı", "ca", "İz", "mir", "su", "dere", "tepe", "ova", "kaya", "yurt",
                                   "ağaç", "Gök", "pınar", "ören", "Sarı", "Kızıl", "bağ", "Yeni", "eski", "Orta"};
    const QStringList types = {"Köy", "Mahalle", "Tepe", "Dere", "Çeşme"};
    QRandomGenerator random(5);
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "fill");
    db.setDatabaseName(file);
    if (!db.open())
        throw Error(db.lastError().text());
    createSchema(db);
    QSqlQuery q(db);
    q.exec("begin");
    q.prepare("insert into harita (isim, tip, px, py, pafta, kod, cx, cy) values (?, ?, ?, ?, ?, ?, ?, ?)");
    for (int i = 0; i < places; ++i) {
        QString name;
        for (int n = 2 + random.bounded(2); n > 0; --n)
            name += syllables[random.bounded(int(syllables.size()))];
        q.addBindValue(name);
        q.addBindValue(types[random.bounded(int(types.size()))]);
        q.addBindValue(random.bounded(2400));
        q.addBindValue(random.bounded(1800));
        q.addBindValue(QString::number(1 + random.bounded(12)));
        q.addBindValue(QString::number(i));
        q.addBindValue(random.bounded(100000));
        q.addBindValue(random.bounded(100000));
        if (!q.exec())
            throw Error(q.lastError().text());
    }
    q.exec("commit");
    db.close();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // The number of places may be given, e.g. 10000000.
    if (argc > 1)
        places = std::max(1, QString::fromLocal8Bit(argv[1]).toInt());
    QTextStream out(stdout);
    try {
        QTemporaryDir dir;
        const QString file = dir.filePath("like.sqlite");
        fill(file);
        QSqlDatabase::removeDatabase("fill");
        Connection connection("bench");
        const qint64 build = qint64(timedMs([&] { connection.open(file); }));
        qint64 best[6];
        std::fill(best, best + 6, std::numeric_limits<qint64>::max());
        int rows = 0;
        const auto keepBest = [](qint64 &slot, const std::function<void()> &work) {
            slot = std::min(slot, qint64(timedMs(work)));
        };
        for (int round = 0; round < kRounds; ++round) {
            keepBest(best[0], [&] { runBaseline("sqlite3", {file, kStatement}); });
            keepBest(best[1], [&] { rows = readAllRows(connection, kStatement); });
            keepBest(best[2], [&] { runBaseline("sqlite3", {file, kCount}); });
            keepBest(best[3], [&] { readAllRows(connection, kCount); });
            keepBest(best[4], [&] { readAllRows(connection, kLongAlone); });
            keepBest(best[5], [&] { readAllRows(connection, kLongBoth); });
        }
        const auto ratio = [](qint64 a, qint64 b) { return QString::number(double(a) / double(b), 'f', 2); };
        out << "bench_like: " << places << " places, " << rows << " found\n"
            << "  search statement: sqlite3 shell " << best[0] << " ms (baseline), Zemira " << best[1]
            << " ms, ratio " << ratio(best[1], best[0]) << " (goal <= 1.5)\n"
            << "  the condition counted: sqlite3 shell " << best[2] << " ms (baseline), Zemira " << best[3]
            << " ms, ratio " << ratio(best[3], best[2]) << '\n'
            << "  5,000-letter fragment: name LIKE alone " << best[4] << " ms (baseline), with the type's LIKE "
            << best[5] << " ms, ratio " << ratio(best[5], best[4]) << " (goal about 1)\n"
            << "  opening the file, building its index: " << build << " ms\n";
    } catch (const Error &e) {
        out << "bench_like: " << e.text() << '\n';
        return 1;
    }
    return 0;
}
