// The viewer application: start-up, the window's callbacks and the main loop.
#pragma once

int runViewer(int argc, char** argv);
