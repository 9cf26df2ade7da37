#pragma once

// The quit request is sticky: once asked for, every event loop that runs ends at once,
// modal ones as if cancelled, and the main loop is not entered.
void requestQuit();
bool quitRequested();

class QDialog;
// Runs a modal dialog; after a quit request it ends at once, as if cancelled.
int execModal(QDialog &dialog);
