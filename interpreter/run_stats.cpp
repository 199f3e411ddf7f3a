// The counters and the timer of one run. The time is the runner's own: GL drawing that the
// driver finishes after runScript returns is not part of it.
#include "interpreter/run_stats.h"

#include <chrono>

namespace {
using Clock = std::chrono::steady_clock;

std::int64_t commandsDispatched = 0;   // handler calls in the current or last run
std::int64_t listsReplayed = 0;        // display lists played back in it
Clock::time_point runStart;            // when the current run began
double runSeconds = 0;                 // duration of the last complete run
}

void beginRunStats() {
    commandsDispatched = 0;
    listsReplayed = 0;
    runStart = Clock::now();
}

void endRunStats() { runSeconds = std::chrono::duration<double>(Clock::now() - runStart).count(); }

void noteCommandsDispatched(std::int64_t count) { commandsDispatched += count; }
void noteListReplayed() { ++listsReplayed; }
std::int64_t commandsDispatchedLastRun() { return commandsDispatched; }
std::int64_t listsReplayedLastRun() { return listsReplayed; }
double lastRunSeconds() { return runSeconds; }
