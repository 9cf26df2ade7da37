#include "app/startup.h"
#include "about/uHelp.h"
#include "app/uGenel.h"
#include "framework/quit.h"
#include "map/uHarita.h"
#include "overview/uKucukHarita.h"
#include "places/uBilgigir.h"
#include "places/uOnaySor.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <cstdio>
#include <cstring>

namespace {

// Answered before anything else, so that they work without a display and touch no start-up file.
bool answeredOption(int argc, char **argv)
{
    if (argc != 2)
        return false;
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("zemira %s\n", ZEMIRA_VERSION);
        return true;
    }
    if (std::strcmp(argv[1], "--help") == 0) {
        std::printf("Kullanım: zemira [KLASÖR]\n"
                    "Zemira'yı KLASÖR'de (verilmezse bulunulan klasörde) başlatır; başlangıç dosyası\n"
                    "HARITA.TXT oradan okunur.\n"
                    "\n"
                    "  --help     bu yardımı gösterir\n"
                    "  --version  sürümü gösterir\n");
        return true;
    }
    return false;
}

void showSplash()
{
    auto *splash = new TfHelp;
    splash->Button1->hide();
    splash->Label11->show();
    splash->SplashInterval = 5000;
    splash->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    splash->show();
    splash->activateWindow();
    // Shown, it is the active window: the countdown runs from now, not from the first time
    // the event loop delivers the activation, which comes only after all windows exist.
    splash->FormActivate();
}

} // namespace

void createWindows()
{
    // The windows were designed for a narrow 11-pixel sans serif (installed with the fonts
    // the metafile renderer needs).
    QFont font(QStringLiteral("Nimbus Sans"));
    font.setPixelSize(11);
    QApplication::setFont(font);
    showSplash();
    new TfHarita;
    new TfBilgigir;
    new TfKucukHarita;
    new TfOnaySor;
}

void destroyWindows()
{
    delete fOnaySor;
    delete fKucukHarita;
    delete fBilgigir;
    delete fHarita;
    delete fHelp;
    uGenel::reset();
}

int runZemira(int argc, char **argv)
{
    if (answeredOption(argc, argv))
        return 0;
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
        // On top of the main window even where no window manager keeps them so.
        fKucukHarita->raise();
        if (fHelp->isVisible())
            fHelp->raise();
        status = app.exec();
    }
    destroyWindows();
    return status;
}
