// The one start-up path and a fresh session. The viewer makes its window and then calls
// startSession; corvane-render, the tests, the benchmarks and the fuzzer call startHeadless,
// which makes the offscreen context first. So the start state (the GL's, the command table,
// every piece of state that lasts between runs) is made in one place for all of them, and what
// one of them proves about it holds for the others.
#pragma once

#include <string>

// In a GL context just made current: the start-up graphics state, the command table, and every
// piece of state that lasts between runs at its start value, client-array pointers included.
void startSession();
// The offscreen context (made once per process) with a drawing area of this size, then
// startSession. The context needs no display: without one it is made on a private X server,
// which ends with the calling thread, so a program that draws from another thread than its
// first must make the context from one that lasts. False, with the reason in one line, when
// there is nothing to draw with or no framebuffer can be had.
bool startHeadless(int width, int height, std::string& error);
// Every piece of state that lasts between runs back to its value at start-up, as in a newly
// started process; the drawing area keeps its size.
void resetSession();
