// The main window's ways into the about window.
#include "about/uHelp.h"
#include "map/uHarita.h"

#include <QPushButton>

void TfHarita::Button6Click()
{
    fHelp->Button1->setVisible(true);
    fHelp->ShowModal();
}

void TfHarita::StaticText1MouseDown()
{
    // "Kapat" stays as the help button left it; Escape always closes the window.
    fHelp->ShowModal();
}
