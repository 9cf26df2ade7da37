// One rename in the correcting window, from "Kaydet" to the green marks drawn again (add
// mode on, place dots on the overview), at 3,000 and 1,000,000 places, against the sqlite3
// shell making the same update in the same run, and two of its parts alone: qHarita read anew
// and a marking pass (which counts qHarita's rows as it ends on the last). Each region in a
// process of its own; give data directories to measure others.
#include "app/startup.h"
#include "app/uGenel.h"
#include "benchsupport.h"
#include "demo_region.h"
#include "framework/dataset.h"
#include "framework/errors.h"
#include "map/uHarita.h"
#include "overview/overview_controls.h"
#include "overview/uKucukHarita.h"
#include "places/uDuzelt.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

namespace {

constexpr int kRounds = 7;

// Child: Zemira on dir; prints "renamed <ms> refresh <ms> shell <ms> places <n>".
int child(const QString &dir)
{
    QDir::setCurrent(dir);
    createWindows();
    fHarita->show();
    // Measured once the dots are read: the shell, unlike Zemira, does not wait for a reader.
    int layerChanges = 0;
    QObject::connect(fKucukHarita->Layers, &OverviewControls::changed, [&] { ++layerChanges; });
    fKucukHarita->Layers->CheckBoxPlaces->setChecked(true);
    QElapsedTimer waited;
    waited.start();
    while (layerChanges < 2 && waited.elapsed() < 600000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    fHarita->Button4Click(); // add mode: each change redraws the marks
    QSqlQuery q(QSqlDatabase::database(QStringLiteral("ADOConnection1")));
    q.prepare(QStringLiteral("select id from harita where pafta = ? order by id limit 1"));
    q.addBindValue(uGenel::CurrentSheet);
    if (!q.exec() || !q.next())
        throw Error(QStringLiteral("no place on the first sheet"));
    const qlonglong id = q.value(0).toLongLong();
    q.exec(QStringLiteral("select count(*) from harita"));
    const qlonglong places = q.next() ? q.value(0).toLongLong() : 0;
    q.finish();
    const QString file = QDir(dir).filePath(QStringLiteral("harita.sqlite"));
    std::vector<double> renamed, refreshed, marked, shell;
    for (int round = 0; round < kRounds; ++round) {
        fDuzelt->showPlace(id);
        fDuzelt->edIsim->setText(QStringLiteral("Yer %1").arg(round));
        renamed.push_back(timedMs([] { fDuzelt->btnKaydetClick(); }));
        QApplication::processEvents();
        refreshed.push_back(timedMs([] { fHarita->qHarita->open(); }));
        marked.push_back(timedMs([] { fHarita->OkuVeIsaretle(); }));
        const QString update = QStringLiteral("update harita set isim = 'Kabuk %1' where id = %2").arg(round).arg(id);
        shell.push_back(timedMs([&] { runBaseline(QStringLiteral("sqlite3"), {file, update}); }));
    }
    std::printf("renamed %.3f reopen %.3f shell %.3f places %lld marks %.3f\n", median(renamed), median(refreshed),
                median(shell), places, median(marked));
    std::fflush(stdout);
    std::_Exit(0); // the windows' teardown is not what is measured
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--child") == 0) {
        QApplication app(argc, argv);
        try {
            return child(QString::fromLocal8Bit(argv[2]));
        } catch (const Error &e) {
            std::fprintf(stderr, "%s\n", qPrintable(e.text()));
            return 1;
        }
    }
    QApplication app(argc, argv); // the demo region draws its pictures
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
        out << "bench_editing: medians of " << kRounds << " rounds, each region in a fresh process\n"
            << "places | rename to marks redrawn, ms | of which qHarita read anew, ms | marking pass, ms | "
               "sqlite3 shell's update, ms | ratio rename / shell\n";
        for (const QString &dir : dirs) {
            QProcess p;
            // The switched-on dots go to settings of the bench's own.
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("XDG_CONFIG_HOME"), temp.filePath(QStringLiteral("settings")));
            p.setProcessEnvironment(environment);
            p.start(app.applicationFilePath(), {QStringLiteral("--child"), dir});
            if (!p.waitForFinished(1800000) || p.exitCode() != 0)
                throw Error(QStringLiteral("child failed on %1: %2").arg(dir, QString::fromLocal8Bit(p.readAllStandardError())));
            const QList<QByteArray> f = p.readAllStandardOutput().trimmed().split(' ');
            if (f.size() < 10)
                throw Error(QStringLiteral("child said nothing on %1").arg(dir));
            const double renamed = f[1].toDouble(), refresh = f[3].toDouble(), shell = f[5].toDouble();
            out << f[7] << " | " << QString::number(renamed, 'f', 1) << " | " << QString::number(refresh, 'f', 1)
                << " | " << QString::number(f[9].toDouble(), 'f', 1) << " | " << QString::number(shell, 'f', 1) << " | " << QString::number(renamed / shell, 'f', 2)
                << "\n";
            out.flush();
        }
    } catch (const Error &e) {
        out << "bench_editing failed: " << e.text() << "\n";
        return 1;
    }
    return 0;
}
