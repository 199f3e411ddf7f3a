// ScriptStream: the scanner that reads a scene script for the runner and the command handlers.
// Every operation behaves exactly like the same operation on a std::ifstream opened in binary
// mode in the "C" locale (same value stored, same characters consumed, same flags, same
// position), but it is several times faster: it streams the file through one fixed-size buffer
// and converts numbers with std::from_chars. The file is never loaded whole and never mapped, so
// an editor truncating or rewriting the file while it is read can only make reads end early.
// Reads start small after the open and after each seek and double up to the buffer's size: a
// frame that seeks past a cached list's body near the top fetches a few KiB, not a bufferful.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "interpreter/command_tape.h"

class ScriptStream {
public:
    // The flags, with the values and meaning of std::ios_base::iostate.
    using State = unsigned;
    static constexpr State goodbit = 0;
    static constexpr State badbit = 1;
    static constexpr State eofbit = 2;
    static constexpr State failbit = 4;

    static constexpr std::size_t defaultBufferSize = 64 * 1024;
    // The size of the first read after the open or a seek.
    static constexpr std::size_t firstReadSize = 4 * 1024;

    // Opens a regular file for reading. Anything else (missing, unreadable, a directory, a FIFO,
    // a device) leaves the stream failed, like an ifstream whose open failed. Opening never blocks.
    explicit ScriptStream(const std::string& path, std::size_t bufferSize = defaultBufferSize);
    // Reads from text held in memory (tests, fuzzing), through the same buffer logic.
    static ScriptStream fromText(std::string text, std::size_t bufferSize = defaultBufferSize);
    // Hands back a tape's values instead of reading: each extraction (and seek) gives exactly
    // what the recorded one gave, flags and position included. replayCommand starts a command.
    static ScriptStream replaying(const CommandTape& tape);
    void replayCommand(const CommandTape::Command& command) {
        nextValue = command.firstValue;
        commandOffset = command.offset;
        lastValueRead = noValueRead;
    }
    // While set, every extraction and seek is also put on the tape.
    void recordInto(CommandTape* tape) { recorder = tape; }

    ScriptStream(ScriptStream&& other) noexcept;
    ScriptStream& operator=(ScriptStream&&) = delete;
    ScriptStream(const ScriptStream&) = delete;
    ScriptStream& operator=(const ScriptStream&) = delete;
    ~ScriptStream();

    // Formatted extraction, each after skipping white space, as operator>> does. Numbers and
    // characters from a tape are handed back here, inline: a replayed frame is mostly that.
    ScriptStream& operator>>(std::string& word);
    ScriptStream& operator>>(int& value) {
        return player ? replayed(CommandTape::Kind::whole, value) : readInto(value);
    }
    ScriptStream& operator>>(float& value) {
        return player ? replayed(CommandTape::Kind::number, value) : readInto(value);
    }
    ScriptStream& operator>>(char& value) {
        return player ? replayed(CommandTape::Kind::character, value) : readInto(value);
    }

    // Unformatted: istream::getline(buffer, size) with '\n' as the delimiter.
    ScriptStream& getline(char* buffer, std::streamsize size);

    // Byte offsets from the start of the file; -1 is the invalid position, as with pos_type(-1).
    std::int64_t tellg();
    ScriptStream& seekg(std::int64_t position);

    // The logical read position, without tellg's side effects (for message locations).
    std::int64_t position() const {
        if (player)
            return commandOffset + (lastValueRead == noValueRead ? 0 : tapeValues[lastValueRead].end);
        return bufferOffset + (cursor - storage.get());
    }

    State rdstate() const { return flags; }
    void clear(State state = goodbit) { flags = state; }
    void setstate(State state) { flags |= state; }
    bool good() const { return flags == goodbit; }
    bool eof() const { return (flags & eofbit) != 0; }
    bool fail() const { return (flags & (failbit | badbit)) != 0; }
    bool bad() const { return (flags & badbit) != 0; }
    explicit operator bool() const { return !fail(); }

    // Bytes read from the source so far (for tests and benchmarks of the seek past list bodies).
    std::uint64_t bytesRead() const { return fetchedBytes; }

private:
    ScriptStream(std::size_t bufferSize);

    // The reads themselves; false when no token was found and the variable was left alone.
    bool readWord(std::string& word);
    bool readInt(int& value);
    bool readFloat(float& value);
    bool readChar(char& value);
    void seekTo(std::int64_t position);
    // Reads from the source, and puts the read on the tape when one records.
    ScriptStream& readInto(int& value);
    ScriptStream& readInto(float& value);
    ScriptStream& readInto(char& value);
    template <class T>
    ScriptStream& extract(CommandTape::Kind kind, T& value, bool (ScriptStream::*read)(T&));
    // The recorded read stands in for this one. A read the tape does not hold (which a clean
    // version never makes) fails, as a read past the end of the file would.
    template <class T>
    ScriptStream& replayed(CommandTape::Kind kind, T& variable) {
        if (const CommandTape::Value* recorded = nextRecorded(kind))
            if (recorded->flags & assignedBit) variable = recorded->as<T>();
        return *this;
    }
    ScriptStream& replayed(CommandTape::Kind kind, std::string* word);   // a word, or a seek
    // The next recorded read, which this one takes the flags and position of; null, and the
    // stream failed, when the tape holds no such read.
    const CommandTape::Value* nextRecorded(CommandTape::Kind kind) {
        if (nextValue >= tapeValueCount || tapeValues[nextValue].kind != kind) {
            flags |= failbit | eofbit;
            return nullptr;
        }
        lastValueRead = nextValue;
        const CommandTape::Value* recorded = &tapeValues[nextValue++];
        flags = recorded->flags & ~assignedBit;
        return recorded;
    }
    // The flags as the tape keeps them, with whether the read stored a value.
    static constexpr std::uint8_t assignedBit = CommandTape::assignedBit;
    std::uint8_t recordedFlags(bool assigned) const;

    // Next byte without consuming it, or -1 at end of file; refills when the buffer is used up.
    int peek() { return cursor != fetchedEnd ? std::uint8_t(*cursor) : peekSlow(); }
    int peekSlow();
    bool refill();
    // The sentry of a formatted extraction: true when a token may follow.
    bool skipSpace();
    void readFloatSlow(float& value);
    State readLongSlow(long& value);
    static State convertFloat(const char* first, const char* last, float& value);

    std::unique_ptr<char[]> storage;
    std::size_t storageSize = 0;
    std::size_t nextReadSize = 0;  // the size of the next read: doubles up to storageSize
    const char* cursor = nullptr;  // next unread byte
    const char* fetchedEnd = nullptr;  // end of the bytes fetched into storage
    std::int64_t bufferOffset = 0;  // source offset of storage[0]

    int descriptor = -1;
    bool opened = false;
    std::int64_t sizeAtOpen = 0;  // seeks beyond it ask the file system whether they are possible
    std::string source;  // the source of a stream made by fromText
    bool readsText = false;

    std::string numberScratch;  // reused scratch for numbers that straddle a refill

    State flags = goodbit;
    std::uint64_t fetchedBytes = 0;

    CommandTape* recorder = nullptr;          // the tape being recorded, if any
    const CommandTape* player = nullptr;      // the tape being replayed, if any
    const CommandTape::Value* tapeValues = nullptr;   // ... its values
    std::size_t tapeValueCount = 0;
    std::size_t nextValue = 0;                // ... its next value
    static constexpr std::size_t noValueRead = ~std::size_t(0);
    std::int64_t commandOffset = 0;           // ... where the command being replayed stands
    std::size_t lastValueRead = noValueRead;  // ... the last value it read: the position is after
};
