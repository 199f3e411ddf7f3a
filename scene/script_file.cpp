// The script's name; see script_file.h.
#include "scene/script_file.h"

namespace {
std::string currentName;   // empty: no script
}

const std::string& scriptFileName() { return currentName; }
void chooseScriptFile(const std::string& name) { currentName = name; }
