// The scene clock: seconds of 20 ms timer ticks since the program started.
// Written by: the viewer's timer and corvane-render, a tick at a time (advanceSceneClock);
// corvane-render's --clock and the session reset (setSceneClock). Read by the incremental
// transforms.
#pragma once

// As a float, as the incremental transforms take it; kept in double so that it keeps advancing
// in sessions of weeks.
float sceneClock();
// One timer tick: + 0.02 s.
void advanceSceneClock();
void setSceneClock(double seconds);
