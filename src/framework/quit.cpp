#include "quit.h"

#include <QCoreApplication>
#include <QDialog>
#include <QMetaObject>

namespace {
bool g_quit = false;
}

void requestQuit()
{
    g_quit = true;
    // Posted, not called: the code after the request runs on. exit() ends every running loop.
    if (auto *app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            app, [] { if (g_quit) QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

void clearQuitRequest()
{
    g_quit = false;
}

bool quitRequested()
{
    return g_quit;
}

int execModal(QDialog &dialog)
{
    if (g_quit)
        return QDialog::Rejected;
    return dialog.exec();
}
