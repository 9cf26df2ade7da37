#pragma once
#include "demo_region.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>

class QWidget;

// Where the shared fixture files live.
QString fixturePath(const QString &relative);

// The text of the Error that f throws, or "<no error>".
QString errorOf(const std::function<void()> &f);

// One run of a command-line tool of the build (tools/NAME): exit code (-1 when it crashed)
// and its output. locale: LC_ALL for the run, the caller's when empty.
struct ToolRun {
    int code = -1;
    QString out;
    QString err;
};
ToolRun runTool(const QString &name, const QStringList &arguments, const QString &locale = {});

// A small region in a temporary folder, made by the demo generator.
struct TempRegion {
    explicit TempRegion(DemoOptions options = tinyRegion());
    static DemoOptions tinyRegion();
    QTemporaryDir temp;
    DemoRegion region;
    QString dir() const { return region.dir; }
    // Replaces line n (1-based) of "HARITA.TXT".
    void setStartupLine(int n, const QString &text);
};

// Answers every message box and modal dialog that opens while it lives, from a timer:
// records what each said and presses the button named by the next queued answer
// (its text, e.g. "Vazgeç"), or the default / OK.
class DialogAnswerer : public QObject {
    Q_OBJECT
public:
    DialogAnswerer();
    ~DialogAnswerer() override;
    QStringList texts;           // each box's text, in order
    QStringList kinds;           // "ErrorReport", "MessageBox", or the dialog's objectName
    QStringList answers;         // button texts to press, first used first
    std::function<void(QWidget *)> onDialog; // called before answering a non-message dialog

private:
    void poll();
    QTimer m_timer;
};

// Settings go to a folder of the test program's own, so that the settings of whoever runs
// the tests (overview layers switched on) stay out of them. RunningZemira calls it.
void useScratchSettings();

// Zemira started in a data directory: the windows in start-up order, torn down after.
class RunningZemira {
public:
    explicit RunningZemira(const QString &dir);
    ~RunningZemira();
};

// Sends a mouse press, move or key through the real widget.
void clickAt(QWidget *widget, QPoint pos, Qt::MouseButton button = Qt::LeftButton);
void moveTo(QWidget *widget, QPoint pos);

// The immutable attribute stops writes even by root, and even through a file already open.
class ReadOnly {
public:
    explicit ReadOnly(const QStringList &paths) : m_paths(paths) { set(true); }
    ~ReadOnly() { set(false); }
    void set(bool on);

private:
    QStringList m_paths;
};
