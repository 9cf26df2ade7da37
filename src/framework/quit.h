#pragma once

// The quit request is sticky: once asked for, every event loop that runs ends at once,
// modal ones as if cancelled, and the main loop is not entered.
void requestQuit();
bool quitRequested();
