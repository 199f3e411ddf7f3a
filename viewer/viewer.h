// The viewer application: start-up, the window's callbacks and the main loop.
#pragma once

int runViewer(int argc, char** argv);

// The reshape callback: the viewport becomes the drawing area that the panels leave (the whole
// window while they are hidden) and its size goes into ViewSettings. Both arguments are
// ignored: the size is asked of GLUT, so key h can call it with (0, 0).
void reshape(int, int);
