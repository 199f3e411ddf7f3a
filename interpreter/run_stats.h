// What the last run of the script did and how long it took, for corvane-render's --stats.
// The runner resets the counts when a run starts; the places that do the work count it.
#pragma once

#include <cstdint>

// Called by the runner around each run (even one that returns at once because of the latch).
void beginRunStats();
void endRunStats();

// Commands the runner's dispatch loop carried out.
void noteCommandsDispatched(std::int64_t count);
// One display list played back; CallList calls this for every list it draws.
void noteListReplayed();

// Counts of the last run (of the current one while it is under way).
std::int64_t commandsDispatchedLastRun();
std::int64_t listsReplayedLastRun();
// Wall-clock seconds the last complete runScript call took.
double lastRunSeconds();
