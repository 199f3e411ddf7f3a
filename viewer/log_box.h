// The log box of the left panel: "Drawing : NAME" while the script runs cleanly; otherwise
// every message of the log, each beside its LINE:COLUMN in the script, wrapped to the box.
// The log itself is never changed: bytes the panel's font cannot show are escaped in the box.
#pragma once

#include <imgui.h>

#include <string>
#include <vector>

// After each frame: whether it ran cleanly. The box notices a new log by itself.
void updateLogBox(bool ran);
// Makes the rows again if the log, the script or the outcome changed since they were made.
void refreshLogBox();
// "Log" over the status line, "Log: N messages" over messages.
std::string logBoxHeading();
// The box itself, of this size; only the rows in view are drawn.
void drawLogBox(ImVec2 size);

// What one row shows: the location (empty for the status line, and until it is known) and the
// text as the box shows it.
struct LogBoxRow {
    std::string location, text;
};
std::vector<LogBoxRow> logBoxRows();

// The starting state: no rows, the last frame clean.
void resetLogBox();
