// The one start-up path and a fresh interpreter session. The viewer, corvane-render, the tests,
// the benchmarks and the fuzzer all start here once their GL context exists, so what one of
// them proves about the start state holds for all of them.
#pragma once

// In a GL context just made current: the start-up graphics state, the command table, and every
// piece of state that lasts between runs at its start value, client-array pointers included.
void startSession();
// Every piece of state that lasts between runs back to its value at start-up, as in a newly
// started process.
void resetSession();
