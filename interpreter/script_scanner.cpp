// The script scanner; see script_scanner.h. Every edge of the standard extractors (overflow, a
// number cut by the end of the buffer or of the file, what a failed read stores) is reproduced
// exactly: the numbers by number_syntax.h, the rest here.
#include "interpreter/script_scanner.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "interpreter/number_syntax.h"

namespace {
// isScriptSpace as a table, for the scanning loops.
struct SpaceTable {
    bool space[256] = {};
    constexpr SpaceTable() {
        for (int c = 0; c < 256; ++c) space[c] = isScriptSpace(char(c));
    }
};
constexpr SpaceTable spaceTable;

inline bool isSpace(char c) { return spaceTable.space[std::uint8_t(c)]; }
}  // namespace

FileDescriptor::~FileDescriptor() {
    if (fd >= 0) ::close(fd);
}

ScriptScanner::ScriptScanner(std::size_t bufferSize)
    : storage(new char[std::max<std::size_t>(bufferSize, 1)]),
      storageSize(std::max<std::size_t>(bufferSize, 1)),
      nextReadSize(std::min(firstReadSize, storageSize)),
      cursor(storage.get()),
      fetchedEnd(storage.get()) {}

ScriptScanner::ScriptScanner(const std::string& path, std::size_t bufferSize) : ScriptScanner(bufferSize) {
    // O_NONBLOCK so that opening a FIFO returns at once instead of waiting for a writer; fstat
    // then refuses it along with directories and devices.
    FileDescriptor opening(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info;
    if (opening.get() < 0 || ::fstat(opening.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        flags = failbit;
        return;
    }
    // A regular file never needs non-blocking reads; drop the flag so no file system can answer a
    // read with EAGAIN, which would end the script early.
    const int mode = ::fcntl(opening.get(), F_GETFL);
    if (mode >= 0) ::fcntl(opening.get(), F_SETFL, mode & ~O_NONBLOCK);
    file = std::move(opening);
    opened = true;
    sizeAtOpen = info.st_size;
}

ScriptScanner ScriptScanner::fromText(std::string text, std::size_t bufferSize) {
    return fromText(std::make_shared<const std::string>(std::move(text)), bufferSize);
}

ScriptScanner ScriptScanner::fromText(std::shared_ptr<const std::string> text, std::size_t bufferSize) {
    ScriptScanner scanner(bufferSize);
    scanner.sizeAtOpen = text ? std::int64_t(text->size()) : 0;
    scanner.source = text ? std::move(text) : std::make_shared<const std::string>();
    scanner.opened = true;
    return scanner;
}

bool ScriptScanner::refill() {
    bufferOffset += fetchedEnd - storage.get();
    cursor = fetchedEnd = storage.get();
    if (!opened) return false;
    const std::size_t wanted = nextReadSize;
    nextReadSize = std::min(nextReadSize * 2, storageSize);
    std::size_t got = 0;
    if (source) {
        const auto size = std::int64_t(source->size());
        if (bufferOffset < size) {
            got = std::min<std::size_t>(wanted, std::size_t(size - bufferOffset));
            std::memcpy(storage.get(), source->data() + bufferOffset, got);
        }
    } else {
        // Read at the logical offset rather than the descriptor's, so a file that shrank or was
        // rewritten meanwhile just yields a short or empty read, which ends the script there.
        ssize_t n;
        do {
            n = ::pread(file.get(), storage.get(), wanted, off_t(bufferOffset));
        } while (n < 0 && errno == EINTR);
        got = n > 0 ? std::size_t(n) : 0;
    }
    fetchedEnd += got;
    fetchedBytes += got;
    return got > 0;
}

bool ScriptScanner::skipSpace() {
    if (flags != goodbit) {
        flags |= failbit;
        return false;
    }
    for (;;) {
        while (cursor != fetchedEnd && isSpace(*cursor)) ++cursor;
        if (cursor != fetchedEnd) return true;
        if (!refill()) {
            flags |= eofbit | failbit;
            return false;
        }
    }
}

bool ScriptScanner::read(std::string& word) {
    if (!skipSpace()) return false;
    word.clear();
    for (;;) {
        const char* p = cursor;
        while (p != fetchedEnd && !isSpace(*p)) ++p;
        word.append(cursor, p);
        cursor = p;
        if (p != fetchedEnd) return true;
        if (!refill()) {
            flags |= eofbit;
            return true;
        }
    }
}

bool ScriptScanner::read(char& value) {
    if (!skipSpace()) return false;
    value = *cursor++;
    return true;
}

// A number that runs to the end of the buffer: its text so far, then each refill's share of it,
// scanned on from where the last piece ended, until it stops or the file ends.
template <class Scan, auto scanOn>
std::string_view ScriptScanner::gatherNumber(Scan& scan) {
    std::string& text = numberScratch;
    if (text.capacity() > 4096) std::string().swap(text);   // small again after a freak number
    text.assign(cursor, fetchedEnd);
    for (;;) {
        cursor = fetchedEnd;
        if (!refill()) {
            flags |= eofbit;
            return text;
        }
        const char* stop = scanOn(scan, cursor, fetchedEnd);
        text.append(cursor, stop ? stop : fetchedEnd);
        if (stop) {
            cursor = stop;
            return text;
        }
    }
}

template <class Scan, auto scanOn, auto valueOf, class T>
bool ScriptScanner::readNumber(T& value) {
    if (!skipSpace()) return false;
    Scan scan;
    std::string_view text;
    if (const char* stop = scanOn(scan, cursor, fetchedEnd)) {
        // The common case: the number and the byte after it are in the buffer, so no copy is needed.
        text = {cursor, std::size_t(stop - cursor)};
        cursor = stop;
    } else {
        text = gatherNumber<Scan, scanOn>(scan);
    }
    if (!valueOf(scan, text.data(), text.data() + text.size(), value)) flags |= failbit;
    return true;
}

bool ScriptScanner::read(float& value) { return readNumber<FloatScan, scanFloat, floatValue>(value); }
bool ScriptScanner::read(int& value) { return readNumber<IntScan, scanInt, intValue>(value); }

ScriptScanner& ScriptScanner::getline(char* buffer, std::streamsize size) {
    State err = goodbit;
    std::streamsize count = 0;
    char* out = buffer;
    if (flags != goodbit) {
        flags |= failbit;
    } else {
        for (;;) {
            if (cursor == fetchedEnd && !refill()) {
                err |= eofbit;
                break;
            }
            if (count + 1 >= size) {
                // Full: a newline right here is still consumed; anything else is a failure.
                if (*cursor == '\n') {
                    ++cursor;
                    ++count;
                } else {
                    err |= failbit;
                }
                break;
            }
            const auto room = std::size_t(size - 1 - count);
            const std::size_t n = std::min(room, std::size_t(fetchedEnd - cursor));
            if (const auto* newline = static_cast<const char*>(std::memchr(cursor, '\n', n))) {
                const auto length = std::size_t(newline - cursor);
                std::memcpy(out, cursor, length);
                out += length;
                count += std::streamsize(length) + 1;
                cursor = newline + 1;
                break;
            }
            std::memcpy(out, cursor, n);
            out += n;
            count += std::streamsize(n);
            cursor += n;
        }
    }
    if (size > 0) *out = '\0';
    if (count == 0) err |= failbit;
    flags |= err;
    return *this;
}

std::int64_t ScriptScanner::tellg() {
    if (flags != goodbit) {
        flags |= failbit;
        return -1;
    }
    return opened ? position() : -1;
}

ScriptScanner& ScriptScanner::seekg(std::int64_t target) {
    flags &= ~eofbit;
    if (flags != goodbit) {
        flags |= failbit;
        return *this;
    }
    // Past the end is fine, as with a file, up to what the file system allows; only there is the
    // descriptor asked (its own offset is never used for reading).
    if (!opened || target < 0 ||
        (!source && target > sizeAtOpen && ::lseek(file.get(), off_t(target), SEEK_SET) < 0)) {
        flags |= failbit;
        return *this;
    }
    const std::int64_t offset = target - bufferOffset;
    if (offset >= 0 && offset <= fetchedEnd - storage.get()) {
        cursor = storage.get() + offset;
    } else {
        // Elsewhere: forget the buffer without reading, so skipping a long stretch costs nothing.
        bufferOffset = target;
        cursor = fetchedEnd = storage.get();
        nextReadSize = std::min(firstReadSize, storageSize);
    }
    return *this;
}
