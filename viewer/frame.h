// The frame: the one road along which the script runs, shared by the viewer and the tools.
#pragma once

#include <string>

// SceneClock: seconds of timer ticks since start, never reset. The incremental transforms read
// it as a float; it is accumulated in double so that it keeps advancing in long sessions.
float sceneClock();
void advanceSceneClock();            // one 20 ms timer tick: + 0.02
void setSceneClock(double seconds);

// The graphics defaults of start-up: clear colour, depth test, normalisation, lighting, light 0.
void applyGraphicsDefaults();
// Clears, sets shading, polygon mode and both matrices from ViewSettings, saves every
// attribute group, runs the script and restores them. Returns runScript's result.
bool drawFrame();
// What the log box shows after a frame: the file being drawn, or the whole log.
std::string statusText(bool ran);
