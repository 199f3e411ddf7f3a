// interpreter/: the script reader, the runner, the command table, the message log, groups and
// transforms, display lists, and the GL-state helpers every layer above shares (the open
// primitive, stack room, attribute restore, the client-array guard). It uses scene/ only.
//
// runScript: notices a new file version, keeps the error latch, runs the script's commands and
// checks the end of the script. The first clean frame of a version reads the file word by word
// and records what it read onto the tape; later frames of that version replay the tape instead
// of reading the file. Both go through one dispatch loop.
// A version counts as new when the name or the modification time changes (to the nanosecond, so
// two saves within one second are both noticed), or when the content changes while the file's
// identity could hide that (see file_identity.h). Text given in place of the file (the language
// server's unsaved buffers) is read through the same loop.
#include "interpreter/runner.h"

#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "interpreter/command_table.h"
#include "interpreter/command_tape.h"
#include "interpreter/display_lists.h"
#include "interpreter/file_identity.h"
#include "interpreter/grouping.h"
#include "interpreter/message_log.h"
#include "interpreter/open_primitive.h"
#include "interpreter/run_stats.h"
#include "interpreter/script_reader.h"
#include "interpreter/script_scanner.h"
#include "interpreter/tape_player.h"
#include "scene/script_file.h"

namespace {
// RunnerMemory: what the runner keeps from one frame to the next.
std::string lastFileName;      // the name at the previous run that had one
FileIdentity lastIdentity;     // its file then: a new modification time is a new version
FileTime contentLooked = currentTime();   // when the content was last hashed, or the runner began
std::uint64_t contentSeen = 0;            // ... that hash
std::uint64_t version = 0;     // versions begun since start
bool scriptFailed = false;     // the error latch for the current version

// The tape of the content named by lastIdentity, valid once a clean frame has recorded it.
CommandTape tape;
bool tapeRecorded = false;
bool tapeAllowed = true;       // corvane-render --reread turns it off
bool lastRunReplayed = false;

std::shared_ptr<const std::string> givenText;   // run in place of the file's content when set
bool textChanged = false;                       // given since the last run: a new version

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

// Whether the content changed although the identity did not. While the identity may hide a
// write, each frame hashes the content before it reads or replays anything.
bool changedUnseen(const FileIdentity& identity, bool sameIdentity) {
    if (!identityMayHideWrites(identity, contentLooked)) return false;
    const FileTime now = currentTime();
    const std::uint64_t hash = contentHash(scriptFileName());
    const bool changed = sameIdentity && hash != contentSeen;
    contentLooked = now;
    contentSeen = hash;
    return changed;
}

// The end-of-script messages point at the end of the file.
void pointAtEndOfFile() {
    struct stat status {};
    if (givenText) setMessageOffset(std::int64_t(givenText->size()));
    else setMessageOffset(::stat(scriptFileName().c_str(), &status) == 0 ? status.st_size : -1);
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

// The dispatch loop, over the script read from its file or its tape replayed: each command word
// to its handler, then the runner's own checks. A tape hands over its plain commands in runs,
// which report nothing and leave the stream as it was. Returns the count of valid tokens.
template <class Source>
int dispatch(Source& source) {
    int validTokens = 0;
    while (source.next()) {
        if (std::size_t given = source.givePlainCommands()) {
            noteCommandsDispatched(given);
            validTokens += int(given);
            continue;
        }
        setMessageOffset(source.offset());
        if (!source.handler()) {
            fail("Unknown command \"" + source.word() + "\"");
            continue;
        }
        noteCommandsDispatched(1);
        if (!source.carryOut()) scriptFailed = true;
        const ScriptStream::State state = source.rdstate();
        if (state != ScriptStream::goodbit && !(state & ScriptStream::eofbit)) {
            fail("Problems parsing arguments to " + source.word());
            break;
        }
        ++validTokens;
    }
    return validTokens;
}

// Reads the file, recording the frame when it may become the tape: the content has no tape yet,
// and the frame starts outside any Begin (Begin reads its word only then). The recording is
// kept when the frame compiled no list (that frame reads the bodies later frames skip), ends
// outside any Begin (or the next frame would read differently) and reported nothing.
int readScript(ScriptScanner& scanner) {
    bool recording = tapeAllowed && !tapeRecorded && !tape.overflowed() && !insideBegin();
    long listsBefore = listsCompiled();
    if (recording) tape.clear();
    ScriptReader reader(scanner, recording ? &tape : nullptr);
    int validTokens = dispatch(reader);
    if (recording && !tape.overflowed()) {
        if (listsCompiled() == listsBefore && !insideBegin() && !scriptFailed)
            tapeRecorded = tape.finish();
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
    FileIdentity identity = givenText ? FileIdentity{} : identityOf(scriptFileName());
    const bool sameFile = scriptFileName() == lastFileName;
    const bool unseen = !givenText && changedUnseen(identity, sameFile && identity == lastIdentity);
    if (!sameFile || identity.modified != lastIdentity.modified || unseen || textChanged)
        forgetVersion();
    else if (!(identity == lastIdentity))
        forgetTape();
    textChanged = false;
    lastFileName = scriptFileName();
    lastIdentity = identity;
    if (scriptFailed) return false;

    int validTokens = 0;
    if (tapeRecorded && tapeAllowed) {
        beginGroups();
        TapePlayer player(tape);
        validTokens = dispatch(player);
        lastRunReplayed = true;
    } else {
        ScriptScanner scanner = givenText ? ScriptScanner::fromText(givenText)
                                          : ScriptScanner(scriptFileName());
        if (scanner.fail()) {
            setMessageOffset(-1);
            fail("Cannot open: " + scriptFileName());
            return false;
        }
        beginGroups();
        validTokens = readScript(scanner);
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
    contentLooked = currentTime();
    contentSeen = 0;
    scriptFailed = false;
    forgetTape();
    lastRunReplayed = false;
    givenText = nullptr;
    textChanged = false;
}

void runTextInPlaceOfFile(std::shared_ptr<const std::string> text) {
    givenText = std::move(text);
    textChanged = true;
}

void allowTape(bool allowed) { tapeAllowed = allowed; }

bool lastRunWasReplayed() { return lastRunReplayed; }
std::uint64_t scriptVersion() { return version; }
TapeFigures tapeFigures() {
    if (!tapeRecorded) return {};
    const std::size_t plain = tape.plainList().size();
    return {tape.size(), plain, plain * sizeof(CommandTape::PlainCommand)};
}
