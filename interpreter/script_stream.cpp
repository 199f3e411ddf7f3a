// The script reader; see script_stream.h. It alone knows bytes, buffers and number syntax: the
// runner sees words, the handlers their arguments. Numbers are scanned here and converted with
// std::from_chars (or, for the short decimals scripts are mostly made of, one exact division),
// and every edge of the standard extractors (overflow, a number cut by the end of the buffer or
// of the file, what a failed read stores) is reproduced exactly.
#include "interpreter/script_stream.h"

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <system_error>
#include <type_traits>

#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The white space of the "C" locale: what operator>> skips before a token and stops at after it.
struct SpaceTable {
    bool space[256] = {};
    constexpr SpaceTable() {
        for (unsigned char c : {' ', '\t', '\n', '\v', '\f', '\r'}) space[c] = true;
    }
};
constexpr SpaceTable spaceTable;

inline bool isSpace(char c) { return spaceTable.space[std::uint8_t(c)]; }
inline bool isDigit(int c) { return unsigned(c - '0') < 10; }

// What a quick look at a number in the buffer found.
struct NumberScan {
    const char* stop = nullptr;  // the byte after the number; nullptr if it may continue past the buffer
    bool negative = false;
    bool exponent = false;
    int digits = 0;
    int fractionDigits = 0;
    std::uint64_t mantissa = 0;  // meaningful only for up to 19 digits
};

// Scans the number starting at p the way the standard number scanner does: a sign, digits with at
// most one '.', then an exponent only after a mantissa digit, with its own optional sign. Leading
// zeros are ordinary digits here; collapsing them, as the scanner does, cannot change the value.
inline NumberScan scanNumber(const char* p, const char* end) {
    NumberScan scan;
    scan.negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    bool point = false;
    for (; p != end; ++p) {
        const auto digit = unsigned(*p - '0');
        if (digit < 10) {
            scan.mantissa = scan.mantissa * 10 + digit;
            ++scan.digits;
            scan.fractionDigits += point;
        } else if (*p == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (p == end) return scan;
    if ((*p == 'e' || *p == 'E') && scan.digits > 0) {
        scan.exponent = true;
        if (++p == end) return scan;
        if (*p == '+' || *p == '-') ++p;
        while (p != end && isDigit(*p)) ++p;
        if (p == end) return scan;
    }
    scan.stop = p;
    return scan;
}

// Script numbers are mostly short decimals like "-12.5" or "0.125": at most seven digits and no
// exponent. Such a mantissa and the power of ten are both exact floats, so one IEEE division gives
// the correctly rounded value, the very value strtof gives.
static_assert(FLT_EVAL_METHOD == 0, "the quick conversion needs plain float arithmetic");
inline bool isShortDecimal(const NumberScan& scan) {
    return scan.digits > 0 && scan.digits <= 7 && !scan.exponent;
}
inline float shortDecimalValue(const NumberScan& scan) {
    static constexpr float powersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f};
    const float magnitude = float(scan.mantissa) / powersOfTen[scan.fractionDigits];
    return scan.negative ? -magnitude : magnitude;
}

// Accumulates decimal digits into a long exactly as the standard integer scanner does: digits past
// an overflow are still consumed, and the result saturates.
struct LongScan {
    explicit LongScan(bool isNegative)
        : negative(isNegative),
          max(isNegative ? std::uint64_t(LONG_MAX) + 1 : std::uint64_t(LONG_MAX)) {}

    void digit(unsigned d) {
        any = true;
        if (result > max / 10) {
            overflow = true;
        } else {
            result *= 10;
            overflow |= result > max - d;
            result += d;
        }
    }

    ScriptStream::State finish(long& value) const {
        if (!any) {
            value = 0;
            return ScriptStream::failbit;
        }
        if (overflow) {
            value = negative ? LONG_MIN : LONG_MAX;
            return ScriptStream::failbit;
        }
        value = long(negative ? 0 - result : result);
        return ScriptStream::goodbit;
    }

    bool negative;
    unsigned long max;
    unsigned long result = 0;
    bool any = false;
    bool overflow = false;
};

locale_t cLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", nullptr);
    return locale;
}

}  // namespace

ScriptStream::ScriptStream(std::size_t bufferSize)
    : storage(new char[std::max<std::size_t>(bufferSize, 1)]),
      storageSize(std::max<std::size_t>(bufferSize, 1)),
      nextReadSize(std::min(firstReadSize, storageSize)),
      cursor(storage.get()),
      fetchedEnd(storage.get()) {}

ScriptStream::ScriptStream(const std::string& path, std::size_t bufferSize) : ScriptStream(bufferSize) {
    // O_NONBLOCK so that opening a FIFO returns at once instead of waiting for a writer; fstat
    // then refuses it along with directories and devices.
    descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat info;
    if (descriptor < 0 || ::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (descriptor >= 0) ::close(descriptor);
        descriptor = -1;
        flags = failbit;
        return;
    }
    // A regular file never needs non-blocking reads; drop the flag so no file system can answer a
    // read with EAGAIN, which would end the script early.
    const int mode = ::fcntl(descriptor, F_GETFL);
    if (mode >= 0) ::fcntl(descriptor, F_SETFL, mode & ~O_NONBLOCK);
    opened = true;
    sizeAtOpen = info.st_size;
}

ScriptStream ScriptStream::fromText(std::string text, std::size_t bufferSize) {
    ScriptStream stream(bufferSize);
    stream.sizeAtOpen = std::int64_t(text.size());
    stream.source = std::move(text);
    stream.readsText = true;
    stream.opened = true;
    return stream;
}

ScriptStream::ScriptStream(ScriptStream&& other) noexcept
    : storage(std::move(other.storage)),
      storageSize(other.storageSize),
      nextReadSize(other.nextReadSize),
      cursor(other.cursor),
      fetchedEnd(other.fetchedEnd),
      bufferOffset(other.bufferOffset),
      descriptor(other.descriptor),
      opened(other.opened),
      sizeAtOpen(other.sizeAtOpen),
      source(std::move(other.source)),
      readsText(other.readsText),
      numberScratch(std::move(other.numberScratch)),
      flags(other.flags),
      fetchedBytes(other.fetchedBytes),
      recorder(other.recorder),
      player(other.player),
      tapeValues(other.tapeValues),
      tapeValueCount(other.tapeValueCount),
      nextValue(other.nextValue),
      commandOffset(other.commandOffset),
      lastValueRead(other.lastValueRead) {
    other.descriptor = -1;
    other.opened = false;
    other.cursor = other.fetchedEnd = nullptr;
    other.storageSize = 0;
    other.flags = badbit;
}

ScriptStream::~ScriptStream() {
    if (descriptor >= 0) ::close(descriptor);
}

bool ScriptStream::refill() {
    bufferOffset += fetchedEnd - storage.get();
    cursor = fetchedEnd = storage.get();
    if (!opened) return false;
    const std::size_t wanted = nextReadSize;
    nextReadSize = std::min(nextReadSize * 2, storageSize);
    std::size_t got = 0;
    if (readsText) {
        const auto size = std::int64_t(source.size());
        if (bufferOffset < size) {
            got = std::min<std::size_t>(wanted, std::size_t(size - bufferOffset));
            std::memcpy(storage.get(), source.data() + bufferOffset, got);
        }
    } else {
        // Read at the logical offset rather than the descriptor's, so a file that shrank or was
        // rewritten meanwhile just yields a short or empty read, which ends the script there.
        ssize_t n;
        do {
            n = ::pread(descriptor, storage.get(), wanted, off_t(bufferOffset));
        } while (n < 0 && errno == EINTR);
        got = n > 0 ? std::size_t(n) : 0;
    }
    fetchedEnd += got;
    fetchedBytes += got;
    return got > 0;
}

int ScriptStream::peekSlow() { return refill() ? std::uint8_t(*cursor) : -1; }

bool ScriptStream::skipSpace() {
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

bool ScriptStream::readWord(std::string& word) {
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

bool ScriptStream::readChar(char& value) {
    if (!skipSpace()) return false;
    value = *cursor++;
    return true;
}

bool ScriptStream::readFloat(float& value) {
    if (!skipSpace()) return false;
    const NumberScan scan = scanNumber(cursor, fetchedEnd);
    if (scan.stop) {
        // Common case: the number and the byte after it are in the buffer, so no copy is needed.
        if (isShortDecimal(scan)) value = shortDecimalValue(scan);
        else flags |= convertFloat(cursor, scan.stop, value);
        cursor = scan.stop;
    } else {
        readFloatSlow(value);
    }
    return true;
}

// The number reaches the end of the buffer: scan it byte by byte across refills, building the
// same text the standard scanner builds (leading zeros collapsed, 'E' as 'e').
void ScriptStream::readFloatSlow(float& value) {
    std::string& text = numberScratch;
    text.clear();
    int c = peek();
    bool atEof = false;
    auto advance = [&] {
        ++cursor;
        c = peek();
        atEof = c < 0;
    };
    if (c == '+' || c == '-') {
        text += char(c);
        advance();
    }
    bool mantissa = false;
    while (!atEof && c == '0') {
        if (!mantissa) text += '0';
        mantissa = true;
        advance();
    }
    bool point = false;
    bool exponent = false;
    while (!atEof) {
        if (isDigit(c)) {
            text += char(c);
            mantissa = true;
        } else if (c == '.' && !point && !exponent) {
            text += '.';
            point = true;
        } else if ((c == 'e' || c == 'E') && !exponent && mantissa) {
            text += 'e';
            exponent = true;
            advance();
            if (atEof) break;
            if (c != '+' && c != '-') continue;
            text += char(c);
        } else {
            break;
        }
        advance();
    }
    State err = convertFloat(text.data(), text.data() + text.size(), value);
    if (atEof) err |= eofbit;
    flags |= err;
    // Keep the scratch small once a freak number has gone by.
    if (text.capacity() > 4096) std::string().swap(text);
}

// strtof's verdict on the scanned text, as the standard number reader applies it: text that does
// not convert entirely gives 0, overflow gives the largest float (both failing), underflow and
// denormals are accepted.
ScriptStream::State ScriptStream::convertFloat(const char* first, const char* last, float& value) {
    const char* digits = first != last && *first == '+' ? first + 1 : first;
    float converted;
    const auto [stop, error] = std::from_chars(digits, last, converted);
    if (error == std::errc() && stop == last) {
        value = converted;
        return goodbit;
    }
    if (error != std::errc::result_out_of_range) {
        value = 0;
        return failbit;
    }
    // from_chars calls underflow out of range too, and leaves the value unset; strtof decides.
    const std::string text(first, last);
    char* end = nullptr;
    converted = strtof_l(text.c_str(), &end, cLocale());
    if (end == text.c_str() || *end != '\0') {
        value = 0;
        return failbit;
    }
    if (converted == std::numeric_limits<float>::infinity()) {
        value = FLT_MAX;
        return failbit;
    }
    if (converted == -std::numeric_limits<float>::infinity()) {
        value = -FLT_MAX;
        return failbit;
    }
    value = converted;
    return goodbit;
}

bool ScriptStream::readInt(int& value) {
    if (!skipSpace()) return false;
    // Read as a long first, then narrow, saturating, like operator>>(int&).
    long wide;
    State err;
    const char* p = cursor;
    LongScan scan(*p == '-');
    if (*p == '-' || *p == '+') ++p;
    while (p != fetchedEnd && isDigit(*p)) scan.digit(unsigned(*p++ - '0'));
    if (p != fetchedEnd) {
        err = scan.finish(wide);
        cursor = p;
    } else {
        err = readLongSlow(wide);
    }
    if (wide < INT_MIN) {
        err |= failbit;
        value = INT_MIN;
    } else if (wide > INT_MAX) {
        err |= failbit;
        value = INT_MAX;
    } else {
        value = int(wide);
    }
    flags |= err;
    return true;
}

ScriptStream::State ScriptStream::readLongSlow(long& value) {
    int c = peek();
    LongScan scan(c == '-');
    if (c == '-' || c == '+') {
        ++cursor;
        c = peek();
    }
    while (isDigit(c)) {
        scan.digit(unsigned(c - '0'));
        ++cursor;
        c = peek();
    }
    State err = scan.finish(value);
    if (c < 0) err |= eofbit;
    return err;
}

// The extractions: read from the file, and put on the tape when one records; or, replaying,
// taken from the tape. A read that found no token leaves the variable as it was, both ways.
ScriptStream& ScriptStream::operator>>(std::string& word) {
    if (player) return replayed(CommandTape::Kind::word, &word);
    bool assigned = readWord(word);
    if (recorder) recorder->addWord(assigned ? word : std::string(), recordedFlags(assigned), position());
    return *this;
}

template <class T>
ScriptStream& ScriptStream::extract(CommandTape::Kind kind, T& value, bool (ScriptStream::*read)(T&)) {
    bool assigned = (this->*read)(value);
    if (recorder) recorder->addValue(kind, value, recordedFlags(assigned), position());
    return *this;
}

ScriptStream& ScriptStream::readInto(int& value) {
    return extract(CommandTape::Kind::whole, value, &ScriptStream::readInt);
}

ScriptStream& ScriptStream::readInto(float& value) {
    return extract(CommandTape::Kind::number, value, &ScriptStream::readFloat);
}

ScriptStream& ScriptStream::readInto(char& value) {
    return extract(CommandTape::Kind::character, value, &ScriptStream::readChar);
}

std::uint8_t ScriptStream::recordedFlags(bool assigned) const {
    return std::uint8_t(flags | (assigned ? assignedBit : 0));
}

ScriptStream ScriptStream::replaying(const CommandTape& tape) {
    ScriptStream stream(1);
    stream.player = &tape;
    stream.tapeValues = tape.valueData();
    stream.tapeValueCount = tape.valueCount();
    stream.opened = true;
    return stream;
}

// A word or a seek from the tape; see replayed.
ScriptStream& ScriptStream::replayed(CommandTape::Kind kind, std::string* word) {
    const CommandTape::Value* recorded = nextRecorded(kind);
    if (recorded && word && (recorded->flags & assignedBit)) *word = player->word(recorded->word);
    return *this;
}

ScriptStream& ScriptStream::getline(char* buffer, std::streamsize size) {
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

std::int64_t ScriptStream::tellg() {
    if (player) return flags == goodbit ? position() : -1;
    if (flags != goodbit) {
        flags |= failbit;
        return -1;
    }
    return opened ? position() : -1;
}

ScriptStream& ScriptStream::seekg(std::int64_t target) {
    if (player) return replayed(CommandTape::Kind::seek, nullptr);
    seekTo(target);
    if (recorder) recorder->addValue(CommandTape::Kind::seek, 0u, recordedFlags(false), position());
    return *this;
}

void ScriptStream::seekTo(std::int64_t target) {
    flags &= ~eofbit;
    if (flags != goodbit) {
        flags |= failbit;
        return;
    }
    // Past the end is fine, as with a file, up to what the file system allows; only there is the
    // descriptor asked (its own offset is never used for reading).
    if (!opened || target < 0 ||
        (!readsText && target > sizeAtOpen && ::lseek(descriptor, off_t(target), SEEK_SET) < 0)) {
        flags |= failbit;
        return;
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
}
