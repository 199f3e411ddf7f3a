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
#include "interpreter/command_tape.h"
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

// What names a file's content for the tape: besides the modification time, the device, inode,
// size and change time. The change time moves with every write and no user can set it back, so
// a save that restores the old modification time (touch -d) still makes a new content.
struct FileIdentity {
    std::uint64_t device = 0, inode = 0;
    std::int64_t size = -1;
    FileTime modified, changed;
    bool operator==(const FileIdentity&) const = default;
};

// A file that cannot be queried has this time: runs stay latched while it is missing, and it
// runs again as soon as it is back, since its real time differs from this one.
constexpr FileTime missingFile = {INT64_MIN, 0};

// RunnerMemory: what the runner keeps from one frame to the next.
std::string lastFileName;      // the name at the previous run that had one
FileIdentity lastIdentity;     // its file then: a new modification time is a new version
std::uint64_t version = 0;     // versions begun since start
bool scriptFailed = false;     // the error latch for the current version

// The tape of the content named by lastIdentity, valid once a clean frame has recorded it.
CommandTape tape;
bool tapeRecorded = false;
bool tapeAllowed = true;       // corvane-render --reread turns it off
bool lastRunReplayed = false;

FileIdentity identityOf(const std::string& name) {
    struct stat status {};
    if (::stat(name.c_str(), &status) != 0) return {0, 0, -1, missingFile, missingFile};
    return {std::uint64_t(status.st_dev), std::uint64_t(status.st_ino),
            std::int64_t(status.st_size),
            {std::int64_t(status.st_mtim.tv_sec), status.st_mtim.tv_nsec},
            {std::int64_t(status.st_ctim.tv_sec), status.st_ctim.tv_nsec}};
}

void forgetTape() {
    tape.clear();
    tapeRecorded = false;
}

void fail(const std::string& message) {
    logLine(message);
    scriptFailed = true;
}

// A new version: its lists, log, latch and tape start afresh.
void forgetVersion() {
    ++version;
    deleteDisplayLists();
    scriptFailed = false;
    resetLog();
    forgetTape();
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

// The token loop. Returns the count of valid tokens. A recording tape gets each command before
// its handler runs, and the values its handler reads from the stream; the command words and
// comments, which a replay does not read, stay off it.
int interpret(ScriptStream& in, CommandTape* recording) {
    std::string token;
    char line[2000];
    int validTokens = 0;
    while (in.good()) {
        token.clear();   // a failed extraction leaves the token as it was
        in.recordInto(nullptr);
        in >> token;
        in.recordInto(recording);
        if (token.empty()) continue;
        if (token[0] == '#') {
            in.getline(line, sizeof line);
            continue;
        }
        std::int64_t offset = in.position() - std::int64_t(token.size());
        setMessageOffset(offset);
        CommandHandler handler = findCommand(token);
        if (!handler) {
            fail("Unknown command \"" + token + "\"");
            continue;
        }
        if (recording) recording->addCommand(handler, offset);
        noteCommandDispatched();
        if (!handler(in)) scriptFailed = true;
        if (in.good() || in.eof())
            ++validTokens;
        else
            fail("Problems parsing arguments to " + token);
    }
    return validTokens;
}

std::string wordOf(CommandHandler handler) {
    for (const auto& [word, known] : commandTable())
        if (known == handler) return word;
    return "";
}

// A recorded frame run again: each handler with the values it read, in order. The end-of-script
// checks are the same as for a frame read from the file.
int replayTape() {
    tape.markPlainCommands();
    ScriptStream in = ScriptStream::replaying(tape);
    int validTokens = 0, dispatched = 0;
    for (const CommandTape::Command& command : tape.commands()) {
        setMessageOffset(command.offset);
        ++dispatched;
        if (command.plainCount > 0) {   // what the handler would do with these values
            float values[3] = {0, 0, 0};
            for (int i = 0; i < command.plainCount; ++i)
                values[i] = tape.value(command.firstValue + i).number;
            command.give(values);
            ++validTokens;
            continue;
        }
        in.replayCommand(command);
        if (!command.handler(in)) scriptFailed = true;
        if (in.good() || in.eof()) {
            ++validTokens;
        } else {   // a read the tape did not hold: never in a version recorded clean
            fail("Problems parsing arguments to " + wordOf(command.handler));
            break;
        }
    }
    noteCommandsDispatched(dispatched);
    return validTokens;
}

// Reads the file, recording the frame when it may become the tape: the content has no tape yet,
// and the frame starts outside any Begin (Begin reads its word only then). The recording is
// kept when the frame compiled no list (that frame reads the bodies later frames skip), ends
// outside any Begin (or the next frame would read differently) and reported nothing.
int readScript(ScriptStream& in) {
    bool recording = tapeAllowed && !tapeRecorded && !tape.overflowed() && !insideBegin;
    long listsBefore = listsCompiled();
    if (recording) tape.clear();
    int validTokens = interpret(in, recording ? &tape : nullptr);
    if (recording && !tape.overflowed()) {
        if (listsCompiled() == listsBefore && !insideBegin && !scriptFailed)
            tapeRecorded = true;
        else
            tape.clear();
    }
    return validTokens;
}

bool runCurrentVersion() {
    lastRunReplayed = false;
    if (scriptFileName().empty()) {
        // One line is enough: repeating it every frame would grow the log without bound.
        const auto& messages = logMessages();
        if (messages.empty() || messageText(messages.back()) != "No file") {
            setMessageOffset(-1);
            logLine("No file");
        }
        return true;
    }
    FileIdentity identity = identityOf(scriptFileName());
    if (scriptFileName() != lastFileName || !(identity.modified == lastIdentity.modified))
        forgetVersion();
    if (!(identity == lastIdentity)) forgetTape();
    lastFileName = scriptFileName();
    lastIdentity = identity;
    if (scriptFailed) return false;

    int validTokens = 0;
    if (tapeRecorded && tapeAllowed) {
        beginGroups();
        validTokens = replayTape();
        lastRunReplayed = true;
    } else {
        ScriptStream in(scriptFileName());
        if (in.fail()) {
            setMessageOffset(-1);
            fail("Cannot open: " + scriptFileName());
            return false;
        }
        beginGroups();
        validTokens = readScript(in);
    }
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
    lastIdentity = {};
    scriptFailed = false;
    forgetTape();
    lastRunReplayed = false;
}

void allowTape(bool allowed) { tapeAllowed = allowed; }

bool lastRunWasReplayed() { return lastRunReplayed; }
std::uint64_t scriptVersion() { return version; }
std::size_t tapeSize() { return tapeRecorded ? tape.size() : 0; }
