// The scene clock; see clock.h.
#include "scene/clock.h"

namespace {
double sceneClockSeconds = 0;   // never reset by the viewer, not even for another script
}

float sceneClock() { return float(sceneClockSeconds); }
void advanceSceneClock() { sceneClockSeconds += 0.02; }
void setSceneClock(double seconds) { sceneClockSeconds = seconds; }
