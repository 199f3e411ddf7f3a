// The check of a script as the viewer would run it: every message its log would show, with the
// word each is about, and warnings of what the log passes over in silence (a picture that cannot
// be read, a call of a list that nothing makes, an overlong comment that ends the reading).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum class Severity { error, warning, information };

// What a check found, about the bytes from begin to end of the text checked.
struct Finding {
    std::int64_t begin = 0;
    std::int64_t end = 0;
    Severity severity = Severity::error;
    std::string message;
};

// Where a script runs: the directory the viewer would be started in (relative picture names are
// looked up there) and the name it would be given.
struct ScriptPlace {
    std::string directory;
    std::string name;
};

// At most this many of the log's messages are reported; one more finding counts the rest.
constexpr std::size_t mostMessages = 10000;

// Runs the text as a new version of a script in the viewer's frame, from a fresh session, and
// collects what it reports. The GL session (startHeadless) must be current on this thread; the
// process's current directory becomes the place's.
std::vector<Finding> checkScript(const std::shared_ptr<const std::string>& text, const ScriptPlace& place);
