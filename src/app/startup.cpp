#include "app/startup.h"
#include "app/uGenel.h"
#include "framework/quit.h"
#include "map/uHarita.h"
#include "overview/uKucukHarita.h"

#include <QApplication>
#include <QDir>
#include <cstdio>

void createWindows()
{
    new TfHarita;
    new TfKucukHarita;
}

void destroyWindows()
{
    delete fKucukHarita;
    delete fHarita;
    uGenel::reset();
}

int runZemira(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zemira"));
    const QStringList args = QApplication::arguments();
    if (args.size() > 1 && !QDir::setCurrent(args.at(1))) {
        std::fprintf(stderr, "zemira: cannot change to %s\n", qPrintable(args.at(1)));
        return 2;
    }
    createWindows();
    int status = 0;
    if (!quitRequested()) {
        fHarita->show();
        status = app.exec();
    }
    destroyWindows();
    return status;
}
