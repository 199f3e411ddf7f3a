// A fresh interpreter session: every piece of state that lasts between runs back to its value at
// start-up, as in a newly started process. Tools, tests and the fuzzer start each script here.
#pragma once

void resetSession();
