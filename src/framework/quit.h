#pragma once

// The quit request is sticky: once asked for, every event loop that runs ends at once,
// modal ones as if cancelled, and the main loop is not entered.
void requestQuit();
bool quitRequested();
// A fresh start in the same process (the tests run Zemira many times).
void clearQuitRequest();

class QDialog;
// Runs a modal dialog; after a quit request it ends at once, as if cancelled.
int execModal(QDialog &dialog);
