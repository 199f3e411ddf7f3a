// The name of the script being shown, exactly as it was given: the first command-line argument
// or a bare name chosen in the file browser. It is never made absolute, so it is resolved
// against the current directory whenever the runner opens it.
#pragma once

#include <string>

extern std::string scriptFileName;
