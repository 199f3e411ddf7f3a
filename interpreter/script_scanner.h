// ScriptScanner: the one part of the interpreter that knows bytes. Every operation behaves exactly
// like the same operation on a std::ifstream opened in binary mode in the "C" locale (same value
// stored, same characters consumed, same flags, same position), but it is several times faster:
// it streams the file through one fixed-size buffer and takes numbers by the plain rules of
// number_syntax.h. The file is never loaded whole and never mapped, so an editor truncating or
// rewriting the file while it is read can only make reads end early. Reads start small after the
// open and after each seek and double up to the buffer's size: a frame that seeks past a cached
// list's body near the top fetches a few KiB, not a bufferful.
#pragma once

#include <cstdint>
#include <ios>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "interpreter/script_stream.h"

// The white space of the "C" locale (blank, tab, line feed, vertical tab, form feed, carriage
// return): what ends a word, and what is skipped before one.
constexpr bool isScriptSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// An open file's descriptor, closed with its owner; -1 when none is open.
class FileDescriptor {
public:
    explicit FileDescriptor(int descriptor = -1) : fd(descriptor) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd(other.fd) { other.fd = -1; }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        std::swap(fd, other.fd);
        return *this;
    }
    ~FileDescriptor();
    int get() const { return fd; }

private:
    int fd;
};

class ScriptScanner : public StreamFlags {
public:
    static constexpr std::size_t defaultBufferSize = 64 * 1024;
    // The size of the first read after the open or a seek.
    static constexpr std::size_t firstReadSize = 4 * 1024;

    // Opens a regular file for reading. Anything else (missing, unreadable, a directory, a FIFO,
    // a device) leaves the scanner failed, like an ifstream whose open failed. Opening never blocks.
    explicit ScriptScanner(const std::string& path, std::size_t bufferSize = defaultBufferSize);
    // Reads from text held in memory (tests, fuzzing, an editor's unsaved buffer), through the
    // same buffer logic. A shared text is read where it lies, never copied.
    static ScriptScanner fromText(std::string text, std::size_t bufferSize = defaultBufferSize);
    static ScriptScanner fromText(std::shared_ptr<const std::string> text,
                                  std::size_t bufferSize = defaultBufferSize);

    // The formatted extractions, each after skipping white space. False when no token was found
    // and the variable was left alone; the flags say how the read went.
    bool read(std::string& word);
    bool read(int& value);
    bool read(float& value);
    bool read(char& value);
    template <class T>
    ScriptScanner& operator>>(T& value) {
        read(value);
        return *this;
    }

    // Unformatted: istream::getline(buffer, size) with '\n' as the delimiter.
    ScriptScanner& getline(char* buffer, std::streamsize size);

    // Byte offsets from the start of the file; -1 is the invalid position, as with pos_type(-1).
    std::int64_t tellg();
    ScriptScanner& seekg(std::int64_t position);
    // The read position, without tellg's side effects (for message locations).
    std::int64_t position() const { return bufferOffset + (cursor - storage.get()); }

    State rdstate() const { return flags; }
    void clear(State state = goodbit) { flags = state; }
    bool good() const { return flags == goodbit; }
    bool fail() const { return (flags & (failbit | badbit)) != 0; }
    explicit operator bool() const { return !fail(); }

    // Bytes read from the source so far (for tests and benchmarks of the seek past list bodies).
    std::uint64_t bytesRead() const { return fetchedBytes; }

private:
    explicit ScriptScanner(std::size_t bufferSize);

    bool refill();
    // The sentry of a formatted extraction: true when a token may follow.
    bool skipSpace();
    // A number: scanOn finds the end of its text, valueOf gives its value.
    template <class Scan, auto scanOn, auto valueOf, class T>
    bool readNumber(T& value);
    // The text of a number that runs to the end of the buffer, gathered across refills: scanOn
    // scans each piece on from where scan stopped.
    template <class Scan, auto scanOn>
    std::string_view gatherNumber(Scan& scan);

    std::unique_ptr<char[]> storage;
    std::size_t storageSize = 0;
    std::size_t nextReadSize = 0;  // the size of the next read: doubles up to storageSize
    const char* cursor = nullptr;  // next unread byte
    const char* fetchedEnd = nullptr;  // end of the bytes fetched into storage
    std::int64_t bufferOffset = 0;  // source offset of storage[0]

    FileDescriptor file;
    bool opened = false;
    std::int64_t sizeAtOpen = 0;  // seeks beyond it ask the file system whether they are possible
    std::shared_ptr<const std::string> source;  // the text of a scanner made by fromText

    std::string numberScratch;  // reused for numbers that straddle a refill

    State flags = goodbit;
    std::uint64_t fetchedBytes = 0;
};
