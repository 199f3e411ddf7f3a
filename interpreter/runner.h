// The script runner: once per frame it reads the whole script and dispatches every word.
#pragma once

// True when no file is named or this version of the file ran without a reported error.
bool runScript();
// Forgets the remembered file, time and latch (a fresh process, for tests and tools).
void resetRunner();
