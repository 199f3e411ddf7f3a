// Files written under a temporary name beside their target and renamed over it once complete,
// so that a failed or interrupted write never leaves a broken file under the name asked for.
#pragma once

#include <string>

// An empty file made beside target (same directory, a hidden name ending in
// ".partial-XXXXXX"), with the permissions any new file of the user gets, 0666 less the umask;
// "" when none can be made.
std::string makePartialBeside(const std::string& target);
// Likewise a directory, for a set of files that are renamed out of it one by one.
std::string makePartialDirectoryBeside(const std::string& target);
