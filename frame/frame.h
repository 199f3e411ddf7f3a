// The frame: the one road along which the script runs, shared by the viewer and the tools.
#pragma once

#include <string>

// The graphics defaults of start-up: clear colour, depth test, normalisation, lighting, light 0.
void applyGraphicsDefaults();
// Clears, sets shading, polygon mode and both matrices from ViewSettings, saves every
// attribute group, runs the script and restores them. Returns runScript's result. A capture
// changes the saved state with prepare just before the script runs.
bool drawFrame(void (*prepare)() = nullptr);
// What the log box shows after a frame that ran cleanly: the file being drawn.
std::string statusText();
