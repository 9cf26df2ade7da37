// Start-up and marking against the number of places, each in a fresh process: the time
// from starting Zemira on a data directory to its first sheet shown, a marking pass over
// the first sheet, and memory (RSS after start-up, peak), against the sqlite3 shell
// reading the same rows in the same run. Without arguments it makes demo regions of
// 3,000 and 1,000,000 places; give data directories to measure others (a 10,000,000-place
// region: zemira-demo --no-symbols --places 10000000 DIR; about 5 minutes and 750 MB).
// Each directory is opened once first, unmeasured, so that Zemira's indexes exist.
#include "app/startup.h"
#include "app/uGenel.h"
#include "benchsupport.h"
#include "demo_region.h"
#include "framework/errors.h"
#include "map/uHarita.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

extern char **environ;

namespace {

constexpr int kRounds = 3;

// Child: starts Zemira as the program does, then reports as each step is reached.
int child(const QString &dir)
{
    std::printf("started\n");
    std::fflush(stdout);
    QDir::setCurrent(dir);
    createWindows();
    fHarita->show();
    QApplication::processEvents();
    fHarita->repaint();
    std::printf("shown %ld\n", statusKb("VmRSS:"));
    std::fflush(stdout);
    QElapsedTimer t;
    t.start();
    fHarita->Button4Click(); // add mode on: the first marking pass
    const double first = double(t.nsecsElapsed()) / 1e6;
    t.restart();
    fHarita->OkuVeIsaretle();
    const double again = double(t.nsecsElapsed()) / 1e6;
    std::printf("marked %.3f %.3f %ld\n", first, again, statusKb("VmHWM:"));
    std::fflush(stdout);
    std::_Exit(0); // the windows' teardown is not what is measured
}

struct Run {
    double ms = 0;       // to the line wanted (or to the end)
    QList<QByteArray> fields; // that line's words
    long maxRssKb = 0;
};

// Runs a program with its output read, and times it to the first line starting with
// `until` (or to its end when empty); its peak memory comes from wait4.
Run spawn(const QStringList &args, const QByteArray &until)
{
    int out[2];
    if (pipe(out) != 0)
        throw Error(QStringLiteral("pipe failed"));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<QByteArray> bytes;
    std::vector<char *> argv;
    for (const QString &a : args)
        bytes.push_back(a.toLocal8Bit());
    for (QByteArray &b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        throw Error(QStringLiteral("cannot start %1").arg(args.first()));
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    Run run;
    FILE *in = fdopen(out[0], "r");
    char *line = nullptr;
    size_t size = 0;
    bool found = until.isEmpty();
    while (getline(&line, &size, in) > 0) {
        const QByteArray text = QByteArray(line).trimmed();
        if (!found && text.startsWith(until)) {
            run.ms = double(timer.nsecsElapsed()) / 1e6;
            run.fields = text.split(' ');
            found = true;
        } else if (!until.isEmpty() && text.startsWith("marked")) {
            run.fields += text.split(' ');
        }
    }
    free(line);
    fclose(in);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (until.isEmpty())
        run.ms = double(timer.nsecsElapsed()) / 1e6;
    run.maxRssKb = usage.ru_maxrss;
    if (!found || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw Error(QStringLiteral("%1 failed").arg(args.join(QLatin1Char(' '))));
    return run;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Figures {
    QString dir, database, firstSheet;
    long places = 0;
    double startup = 0, shellStartup = 0, shellWhole = 0, mark = 0, markAgain = 0, shellMark = 0;
    long rssAfterStart = 0, hwm = 0, shellHwm = 0, shellWholeHwm = 0;
};

Figures measure(const QString &self, const QString &dir)
{
    Figures f;
    f.dir = dir;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("look"));
        db.setDatabaseName(QDir(dir).filePath(QStringLiteral("harita.sqlite")));
        db.open();
        QSqlQuery q(db);
        q.exec(QStringLiteral("select count(*) from harita"));
        f.places = q.next() ? q.value(0).toLongLong() : 0;
        q.exec(QStringLiteral("select num from pafta order by num limit 1"));
        f.firstSheet = q.next() ? q.value(0).toString() : QString();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("look"));
    f.database = QDir(dir).filePath(QStringLiteral("harita.sqlite"));
    spawn({self, QStringLiteral("--child"), dir}, "marked"); // unmeasured: builds what is missing
    const QString startRows = QStringLiteral("select * from pafta order by num; select * from tipler order by ad; "
                                             "select * from harita order by coalesce(px, null), id limit 1000;");
    const QString sheetRows =
        QStringLiteral("select px, py from harita where pafta = '%1' order by px").arg(f.firstSheet);
    std::vector<double> startup, shellStartup, mark, again, shellMark;
    for (int round = 0; round < kRounds; ++round) {
        const Run z = spawn({self, QStringLiteral("--child"), dir}, "shown");
        startup.push_back(z.ms);
        f.rssAfterStart = z.fields.value(1).toLong();
        mark.push_back(z.fields.value(3).toDouble());
        again.push_back(z.fields.value(4).toDouble());
        f.hwm = z.maxRssKb;
        const Run s = spawn({QStringLiteral("sqlite3"), f.database, startRows}, {});
        shellStartup.push_back(s.ms);
        const Run m = spawn({QStringLiteral("sqlite3"), f.database, sheetRows}, {});
        shellMark.push_back(m.ms);
        f.shellHwm = m.maxRssKb;
    }
    const Run whole = spawn({QStringLiteral("sqlite3"), f.database, QStringLiteral("select * from harita order by px")}, {});
    f.shellWhole = whole.ms;
    f.shellWholeHwm = whole.maxRssKb;
    f.startup = median(startup);
    f.shellStartup = median(shellStartup);
    f.mark = median(mark);
    f.markAgain = median(again);
    f.shellMark = median(shellMark);
    return f;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--child") == 0) {
        QApplication app(argc, argv);
        return child(QString::fromLocal8Bit(argv[2]));
    }
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    try {
        QTemporaryDir temp;
        QStringList dirs = app.arguments().mid(1);
        if (dirs.isEmpty())
            for (int places : {3000, 1000000}) {
                DemoOptions o;
                o.places = places;
                o.drawPlaces = false;
                dirs << makeDemoRegion(temp.filePath(QString::number(places)), o).dir;
            }
        std::vector<Figures> all;
        for (const QString &dir : dirs)
            all.push_back(measure(app.applicationFilePath(), dir));
        const auto ms = [](double v) { return QString::number(v, 'f', v < 10 ? 1 : 0); };
        const auto ratio = [](double a, double b) { return QString::number(a / b, 'f', 2); };
        out << "bench_startup_places: fresh processes, medians of " << kRounds << " runs\n"
            << "places | start-up to first sheet shown, ms | shell reading the same rows, ms | ratio | "
               "shell reading the whole table, ms | first marking pass, ms | next pass, ms | shell reading the "
               "sheet's rows, ms | ratio | RSS after start-up, MB | peak, MB | shell peak (sheet / whole), MB\n";
        for (const Figures &f : all)
            out << f.places << " | " << ms(f.startup) << " | " << ms(f.shellStartup) << " | "
                << ratio(f.startup, f.shellStartup) << " | " << ms(f.shellWhole) << " | " << ms(f.mark) << " | "
                << ms(f.markAgain) << " | " << ms(f.shellMark) << " | " << ratio(f.markAgain, f.shellMark) << " | "
                << f.rssAfterStart / 1024 << " | " << f.hwm / 1024 << " | " << f.shellHwm / 1024 << " / "
                << f.shellWholeHwm / 1024 << "\n";
        const Figures &small = all.front(), &large = all.back();
        if (large.places > small.places)
            out << "start-up " << large.places << " / " << small.places << " places: "
                << ratio(large.startup, small.startup) << "; memory per place beyond the first "
                << small.places << ": "
                << QString::number(double(large.rssAfterStart - small.rssAfterStart) * 1024.0
                                       / double(large.places - small.places),
                                   'f', 1)
                << " bytes after start-up, "
                << QString::number(double(large.hwm - small.hwm) * 1024.0 / double(large.places - small.places), 'f', 1)
                << " bytes at peak\n";
    } catch (const Error &e) {
        out << "bench_startup_places failed: " << e.text() << "\n";
        return 1;
    }
    return 0;
}
