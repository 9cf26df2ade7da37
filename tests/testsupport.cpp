#include "testsupport.h"
#include "app/startup.h"
#include "framework/errors.h"
#include "framework/quit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QSettings>
#include <QPushButton>
#include <QMouseEvent>
#include <QTest>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

QString fixturePath(const QString &relative)
{
    return QStringLiteral(ZEMIRA_FIXTURES "/") + relative;
}

ToolRun runTool(const QString &name, const QStringList &arguments, const QString &locale)
{
    QProcess p;
    if (!locale.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LC_ALL"), locale);
        p.setProcessEnvironment(env);
    }
    p.start(QStringLiteral(ZEMIRA_BIN_DIR "/tools/") + name, arguments);
    p.waitForFinished(300000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

QString errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const Error &e) {
        return e.text();
    }
    return QStringLiteral("<no error>");
}

DemoOptions TempRegion::tinyRegion()
{
    DemoOptions o;
    o.columns = 2;
    o.rows = 2;
    o.sheetWidth = 900;
    o.sheetHeight = 700;
    o.places = 40;
    return o;
}

TempRegion::TempRegion(DemoOptions options)
{
    region = makeDemoRegion(temp.path(), options);
}

void TempRegion::setStartupLine(int n, const QString &text)
{
    QFile f(region.dir + QStringLiteral("HARITA.TXT"));
    f.open(QIODevice::ReadOnly);
    QStringList lines = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"));
    f.close();
    while (lines.size() < 8)
        lines << QString();
    lines[n - 1] = text;
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(lines.join(QStringLiteral("\r\n")).toUtf8());
}

DialogAnswerer::DialogAnswerer()
{
    connect(&m_timer, &QTimer::timeout, this, &DialogAnswerer::poll);
    m_timer.start(20);
}

DialogAnswerer::~DialogAnswerer() = default;

void DialogAnswerer::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible())
        return;
    const QString answer = answers.isEmpty() ? QString() : answers.takeFirst();
    if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        texts << box->text();
        kinds << box->objectName();
        QAbstractButton *button = nullptr;
        for (QAbstractButton *b : box->buttons())
            if (!answer.isEmpty() && b->text() == answer)
                button = b;
        if (!button)
            button = box->defaultButton() ? static_cast<QAbstractButton *>(box->defaultButton()) : box->buttons().value(0);
        button->click();
        return;
    }
    kinds << modal->objectName();
    texts << QString();
    if (onDialog)
        onDialog(modal);
    if (!modal->isVisible())
        return;
    for (QAbstractButton *b : modal->findChildren<QAbstractButton *>())
        if (!answer.isEmpty() && b->text() == answer && b->isVisible()) {
            b->click();
            return;
        }
    if (auto *dialog = qobject_cast<QDialog *>(modal))
        dialog->reject();
}

void useScratchSettings()
{
    static QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
}

RunningZemira::RunningZemira(const QString &dir)
{
    clearQuitRequest();
    useScratchSettings();
    QDir::setCurrent(dir);
    createWindows();
}

RunningZemira::~RunningZemira()
{
    destroyWindows();
    clearQuitRequest();
}

void clickAt(QWidget *widget, QPoint pos, Qt::MouseButton button)
{
    QTest::mousePress(widget, button, Qt::NoModifier, pos);
    QTest::mouseRelease(widget, button, Qt::NoModifier, pos);
}

void moveTo(QWidget *widget, QPoint pos)
{
    QMouseEvent event(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void ReadOnly::set(bool on)
{
    for (const QString &path : m_paths) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
        int flags = 0;
        if (fd < 0 || ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0)
            qFatal("cannot read the attributes of %s", qPrintable(path));
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        if (ioctl(fd, FS_IOC_SETFLAGS, &flags) != 0)
            qFatal("cannot make %s read-only", qPrintable(path));
        ::close(fd);
    }
}
