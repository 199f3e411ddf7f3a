// A private X server for drawing where no display exists: an Xvfb started on demand for this
// process alone, which the offscreen context opens its hidden window on. Freeglut's shapes
// need an initialised GLUT, and GLUT needs a display, so the shapes (and with them every pixel)
// stay exactly as the viewer draws them.
#pragma once

#include <string>

// Starts the server and returns its display name (":N"), with the process's X connections
// authorised to it; empty, with the reason as one line, when it cannot be had. The server
// belongs to the calling thread: it ends when that thread or the process ends, however they end,
// so call it from a thread that lives as long as the drawing does.
std::string startPrivateDisplay(std::string& error);
// At a normal exit, once every connection to it is closed: ends the server and waits for it, so
// that not even a dying server outlives the program.
void endPrivateDisplay();
