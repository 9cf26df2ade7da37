#pragma once
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class Connection;

// What every benchmark measures its baselines and its own runs with.

// Runs a command-line baseline (sqlite3, djpeg) with its output discarded; throws Error if it fails.
void runBaseline(const QString &program, const QStringList &args);

double median(std::vector<double> values);

// Milliseconds taken by work, and the median of runs repetitions.
double timedMs(const std::function<void()> &work);
double medianMs(int runs, const std::function<void()> &work);

// Runs work in a child process, so that its memory does not count in this one's peak; true when
// it returned 0.
bool inChildProcess(const std::function<int()> &work);

// A figure of this process's /proc/self/status in kB ("VmHWM:", "VmRSS:"); -1 when unreadable.
long statusKb(const char *field);

// Reads every value of every row through a forward-only QSqlQuery; returns the row count.
int readAllRows(Connection &connection, const QString &statement);
