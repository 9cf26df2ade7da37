// The search statement over 1,000,000 places: the sqlite3 shell with SQLite's own LIKE
// (the baseline) against QSqlQuery through Zemira's connection with the Turkish LIKE,
// reading every row. Prints both times and their ratio; the goal is at most 1.5.
// The same condition counted alone shows the cost of the LIKE itself, which the
// reading of the rows hides in the first figure.
#include "data/connection.h"
#include "data/schema.h"
#include "framework/errors.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

namespace {

const QString kStatement = QStringLiteral("SELECT * FROM harita WHERE tip LIKE '%'  AND isim LIKE '%kara%'  ORDER BY PX");
const QString kCount = QStringLiteral("SELECT count(*) FROM harita WHERE tip LIKE '%'  AND isim LIKE '%kara%'");
constexpr int kPlaces = 1000000;
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
    for (int i = 0; i < kPlaces; ++i) {
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

qint64 shellRun(const QString &file, const QString &statement)
{
    QElapsedTimer timer;
    timer.start();
    QProcess shell;
    shell.setStandardOutputFile(QProcess::nullDevice());
    shell.start("sqlite3", {file, statement});
    if (!shell.waitForFinished(600000) || shell.exitCode() != 0)
        throw Error("sqlite3 failed: " + QString::fromUtf8(shell.readAllStandardError()));
    return timer.elapsed();
}

qint64 zemiraRun(Connection &connection, const QString &statement, int &rows)
{
    QElapsedTimer timer;
    timer.start();
    QSqlQuery q(connection.database());
    q.setForwardOnly(true);
    if (!q.exec(statement))
        throw Error(q.lastError().text());
    const int columns = q.record().count();
    rows = 0;
    while (q.next()) {
        for (int c = 0; c < columns; ++c)
            q.value(c);
        ++rows;
    }
    return timer.elapsed();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    try {
        QTemporaryDir dir;
        const QString file = dir.filePath("like.sqlite");
        fill(file);
        QSqlDatabase::removeDatabase("fill");
        Connection connection("bench");
        connection.open(file);
        qint64 best[4];
        std::fill(best, best + 4, std::numeric_limits<qint64>::max());
        int rows = 0;
        int counted = 0;
        for (int round = 0; round < kRounds; ++round) {
            best[0] = std::min(best[0], shellRun(file, kStatement));
            best[1] = std::min(best[1], zemiraRun(connection, kStatement, rows));
            best[2] = std::min(best[2], shellRun(file, kCount));
            best[3] = std::min(best[3], zemiraRun(connection, kCount, counted));
        }
        const auto ratio = [](qint64 a, qint64 b) { return QString::number(double(a) / double(b), 'f', 2); };
        out << "bench_like: " << kPlaces << " places, " << rows << " found\n"
            << "  search statement: sqlite3 shell " << best[0] << " ms (baseline), Zemira " << best[1]
            << " ms, ratio " << ratio(best[1], best[0]) << " (goal <= 1.5)\n"
            << "  the condition counted: sqlite3 shell " << best[2] << " ms (baseline), Zemira " << best[3]
            << " ms, ratio " << ratio(best[3], best[2]) << '\n';
    } catch (const Error &e) {
        out << "bench_like: " << e.text() << '\n';
        return 1;
    }
    return 0;
}
