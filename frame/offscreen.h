// An offscreen GL context for the tools and the tests: a hidden GLUT window whose drawing goes
// into a framebuffer object of the requested size, with the viewer's graphics defaults. It
// needs no display: without one, the window opens on a private X server of the process's own.
#pragma once

#include <string>
#include <vector>

// Whether the user's X display (the one DISPLAY names) opens.
bool displayAvailable();
// Creates the context once per process and (re)sizes the framebuffer and the viewport to it.
// False with a reason, one line, when there is nothing to draw with.
bool openOffscreen(int width, int height, std::string& error);
// The GL driver is loaded with the first context and unloaded at exit; keeping it loaded lets
// leak reports at exit name the driver's own allocations, so that they can be told from ours.
void keepGlDriverLoaded();
// The largest drawing area the GL accepts in either direction.
int largestOffscreenSize();
// The drawing area's pixels as 8-bit RGB, top row first.
std::vector<unsigned char> readFramePixels();
