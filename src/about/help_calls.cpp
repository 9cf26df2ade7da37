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
    // Opened from the title panel the window still needs a way out: "Kapat" and Escape.
    fHelp->Button1->setVisible(true);
    fHelp->ShowModal();
}
