// interpreter/: the script reader, the runner, the command table, the message log, groups and
// transforms, display lists, and the GL-state helpers every layer above shares (the open
// primitive, stack room, attribute restore, the client-array guard). It uses scene/ only.
//
// runScript: notices a new file version, keeps the error latch, reads the script word by word,
// hands each command word to its handler and checks the end of the script.
// A version counts as new when the name or the modification time changes; the time is compared
// to the nanosecond, so two saves within one second are both noticed.
#include "interpreter/runner.h"

#include <sys/stat.h>

#include <climits>
#include <cstdint>
#include <string>

#include "interpreter/command_table.h"
#include "interpreter/display_lists.h"
#include "interpreter/grouping.h"
#include "interpreter/message_log.h"
#include "interpreter/open_primitive.h"
#include "interpreter/run_stats.h"
#include "interpreter/script_stream.h"
#include "scene/script_file.h"

namespace {
struct FileTime {
    std::int64_t seconds = 0;
    long nanoseconds = 0;
    bool operator==(const FileTime&) const = default;
};

// A file that cannot be queried has this time: runs stay latched while it is missing, and it
// runs again as soon as it is back, since its real time differs from this one.
constexpr FileTime missingFile = {INT64_MIN, 0};

// RunnerMemory: what the runner keeps from one frame to the next.
std::string lastFileName;      // the name at the previous run that had one
FileTime lastModification;     // its modification time then
bool scriptFailed = false;     // the error latch for the current version

FileTime modificationTime(const std::string& name) {
    struct stat status {};
    if (::stat(name.c_str(), &status) != 0) return missingFile;
    return {std::int64_t(status.st_mtim.tv_sec), status.st_mtim.tv_nsec};
}

void fail(const std::string& message) {
    logLine(message);
    scriptFailed = true;
}

// A new version: its lists, log and latch start afresh.
void forgetVersion() {
    deleteDisplayLists();
    scriptFailed = false;
    resetLog();
}

// The end-of-script messages point at the end of the file.
void pointAtEndOfFile() {
    struct stat status {};
    setMessageOffset(::stat(scriptFileName().c_str(), &status) == 0 ? status.st_size : -1);
}

// A primitive left open is closed before the stacks are popped: inside glBegin the pops, and
// everything else the frame does afterwards, would be invalid.
void checkEndOfScript(int validTokens) {
    if (validTokens == 0 || braceDepth() > 0 || !currentListName().empty()) pointAtEndOfFile();
    if (validTokens == 0) fail("No valid tokens in: " + scriptFileName());
    if (braceDepth() > 0) fail(std::to_string(braceDepth()) + " unmatched `{'(s)");
    if (closeUnfinishedList()) fail("Missing EndList");
    closePrimitive(0);
    endGroups();
}

// The token loop. Returns the count of valid tokens.
int interpret(ScriptStream& in) {
    std::string token;
    char line[2000];
    int validTokens = 0;
    while (in.good()) {
        token.clear();   // a failed extraction leaves the token as it was
        in >> token;
        if (token.empty()) continue;
        if (token[0] == '#') {
            in.getline(line, sizeof line);
            continue;
        }
        setMessageOffset(in.position() - std::int64_t(token.size()));
        CommandHandler handler = findCommand(token);
        if (!handler) {
            fail("Unknown command \"" + token + "\"");
            continue;
        }
        noteCommandDispatched();
        if (!handler(in)) scriptFailed = true;
        if (in.good() || in.eof())
            ++validTokens;
        else
            fail("Problems parsing arguments to " + token);
    }
    return validTokens;
}

bool runCurrentVersion() {
    if (scriptFileName().empty()) {
        // One line is enough: repeating it every frame would grow the log without bound.
        const auto& messages = logMessages();
        if (messages.empty() || messageText(messages.back()) != "No file") {
            setMessageOffset(-1);
            logLine("No file");
        }
        return true;
    }
    FileTime modified = modificationTime(scriptFileName());
    if (scriptFileName() != lastFileName || !(modified == lastModification)) forgetVersion();
    lastFileName = scriptFileName();
    lastModification = modified;
    if (scriptFailed) return false;

    ScriptStream in(scriptFileName());
    if (in.fail()) {
        setMessageOffset(-1);
        fail("Cannot open: " + scriptFileName());
        return false;
    }
    beginGroups();
    int validTokens = interpret(in);
    checkEndOfScript(validTokens);
    return !scriptFailed;
}
}  // namespace

bool runScript() {
    beginRunStats();
    bool ran = runCurrentVersion();
    endRunStats();
    return ran;
}

void resetRunner() {
    lastFileName.clear();
    lastModification = {};
    scriptFailed = false;
}
