#pragma once

// The whole program: the splash, the windows in their order, the event loop.
// A first argument names the data directory to change to before "HARITA.TXT" is read;
// --help and --version alone print their answer and return 0 at once.
int runZemira(int argc, char **argv);

// Creates the windows in start-up order (the tests start the program this way too).
void createWindows();
void destroyWindows();
