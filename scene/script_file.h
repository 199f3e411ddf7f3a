// scriptFileName: the script being shown, exactly as it was given: the first command-line
// argument or a bare name chosen in the file browser. It is never made absolute, so it is
// resolved against the current directory whenever the runner opens it.
// Written by: the viewer's command line and file browser, corvane-render, and the session reset,
// each through chooseScriptFile. Read by the runner and the log box's status text.
#pragma once

#include <string>

const std::string& scriptFileName();
// The runner notices the new name at the next frame; nothing is opened here.
void chooseScriptFile(const std::string& name);
