#include "benchsupport.h"
#include "data/connection.h"
#include "framework/errors.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

void runBaseline(const QString &program, const QStringList &args)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, args);
    if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        throw Error(program + QStringLiteral(" failed: ") + QString::fromUtf8(process.readAllStandardError()));
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double timedMs(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

double medianMs(int runs, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(timedMs(work));
    return median(times);
}

int readAllRows(Connection &connection, const QString &statement)
{
    QSqlQuery q(connection.database());
    q.setForwardOnly(true);
    if (!q.exec(statement))
        throw Error(q.lastError().text());
    const int columns = q.record().count();
    int rows = 0;
    while (q.next()) {
        for (int c = 0; c < columns; ++c)
            q.value(c);
        ++rows;
    }
    return rows;
}

long statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').first().toLong();
    return -1;
}

bool inChildProcess(const std::function<int()> &work)
{
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0)
        _exit(work());
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
