// The script runner: once per frame it runs the whole script, every command word dispatched to
// its handler. The first frame of a version reads the file; later frames of a version that ran
// cleanly replay the tape that frame recorded, and read the file only when it changes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// True when no file is named or this version of the file ran without a reported error.
bool runScript();
// Forgets the remembered file, time and latch (a fresh process, for tests and tools).
void resetRunner();
// Runs this text in place of the named file's content, as if it had been saved there (an
// editor's unsaved buffer); null goes back to the file. Either way the next run begins a new
// version.
void runTextInPlaceOfFile(std::shared_ptr<const std::string> text);
// Counts the versions the runs have begun: another script, or a new modification time, is a
// new one, with a new log.
std::uint64_t scriptVersion();

// The tape: a version's clean frame recorded, replayed by later frames instead of reading the
// file. Allowed unless turned off (corvane-render --reread, which exists to compare the two);
// while it is off, frames neither record nor replay, and a tape already made is kept.
void allowTape(bool allowed);
bool lastRunWasReplayed();
// What the current version's tape holds, all 0 when there is none: its bytes, and how many of
// its commands are plain and the bytes those take.
struct TapeFigures {
    std::size_t bytes = 0;
    std::size_t plainCommands = 0;
    std::size_t plainBytes = 0;
};
TapeFigures tapeFigures();
