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
constexpr SpaceTable kSpace;

inline bool isSpace(char c) { return kSpace.space[static_cast<unsigned char>(c)]; }
inline bool isDigit(int c) { return static_cast<unsigned>(c - '0') < 10; }

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
        const auto digit = static_cast<unsigned>(*p - '0');
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
    static constexpr float kPowers[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f};
    const float magnitude = static_cast<float>(scan.mantissa) / kPowers[scan.fractionDigits];
    return scan.negative ? -magnitude : magnitude;
}

// Accumulates decimal digits into a long exactly as the standard integer scanner does: digits past
// an overflow are still consumed, and the result saturates.
struct LongScan {
    explicit LongScan(bool isNegative)
        : negative(isNegative),
          max(isNegative ? static_cast<unsigned long>(LONG_MAX) + 1 : static_cast<unsigned long>(LONG_MAX)) {}

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
        value = static_cast<long>(negative ? 0 - result : result);
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
    : buffer_(new char[std::max<std::size_t>(bufferSize, 1)]),
      capacity_(std::max<std::size_t>(bufferSize, 1)),
      readSize_(std::min(firstReadSize, capacity_)),
      cur_(buffer_.get()),
      end_(buffer_.get()) {}

ScriptStream::ScriptStream(const std::string& path, std::size_t bufferSize) : ScriptStream(bufferSize) {
    // O_NONBLOCK so that opening a FIFO returns at once instead of waiting for a writer; fstat
    // then refuses it along with directories and devices.
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat info;
    if (fd_ < 0 || ::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        state_ = failbit;
        return;
    }
    // A regular file never needs non-blocking reads; drop the flag so no file system can answer a
    // read with EAGAIN, which would end the script early.
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags >= 0) ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
    isOpen_ = true;
    sizeAtOpen_ = info.st_size;
}

ScriptStream ScriptStream::fromText(std::string text, std::size_t bufferSize) {
    ScriptStream stream(bufferSize);
    stream.sizeAtOpen_ = static_cast<std::int64_t>(text.size());
    stream.text_ = std::move(text);
    stream.fromText_ = true;
    stream.isOpen_ = true;
    return stream;
}

ScriptStream::ScriptStream(ScriptStream&& other) noexcept
    : buffer_(std::move(other.buffer_)),
      capacity_(other.capacity_),
      readSize_(other.readSize_),
      cur_(other.cur_),
      end_(other.end_),
      bufferStart_(other.bufferStart_),
      fd_(other.fd_),
      isOpen_(other.isOpen_),
      sizeAtOpen_(other.sizeAtOpen_),
      text_(std::move(other.text_)),
      fromText_(other.fromText_),
      numberText_(std::move(other.numberText_)),
      state_(other.state_),
      bytesRead_(other.bytesRead_) {
    other.fd_ = -1;
    other.isOpen_ = false;
    other.cur_ = other.end_ = nullptr;
    other.capacity_ = 0;
    other.state_ = badbit;
}

ScriptStream::~ScriptStream() {
    if (fd_ >= 0) ::close(fd_);
}

bool ScriptStream::refill() {
    bufferStart_ += end_ - buffer_.get();
    cur_ = end_ = buffer_.get();
    if (!isOpen_) return false;
    const std::size_t wanted = readSize_;
    readSize_ = std::min(readSize_ * 2, capacity_);
    std::size_t got = 0;
    if (fromText_) {
        const auto size = static_cast<std::int64_t>(text_.size());
        if (bufferStart_ < size) {
            got = std::min<std::size_t>(wanted, static_cast<std::size_t>(size - bufferStart_));
            std::memcpy(buffer_.get(), text_.data() + bufferStart_, got);
        }
    } else {
        // Read at the logical offset rather than the descriptor's, so a file that shrank or was
        // rewritten meanwhile just yields a short or empty read, which ends the script there.
        ssize_t n;
        do {
            n = ::pread(fd_, buffer_.get(), wanted, static_cast<off_t>(bufferStart_));
        } while (n < 0 && errno == EINTR);
        got = n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    end_ += got;
    bytesRead_ += got;
    return got > 0;
}

int ScriptStream::peekSlow() { return refill() ? static_cast<unsigned char>(*cur_) : -1; }

bool ScriptStream::skipSpace() {
    if (state_ != goodbit) {
        state_ |= failbit;
        return false;
    }
    for (;;) {
        while (cur_ != end_ && isSpace(*cur_)) ++cur_;
        if (cur_ != end_) return true;
        if (!refill()) {
            state_ |= eofbit | failbit;
            return false;
        }
    }
}

ScriptStream& ScriptStream::operator>>(std::string& word) {
    if (!skipSpace()) return *this;
    word.clear();
    for (;;) {
        const char* p = cur_;
        while (p != end_ && !isSpace(*p)) ++p;
        word.append(cur_, p);
        cur_ = p;
        if (p != end_) return *this;
        if (!refill()) {
            state_ |= eofbit;
            return *this;
        }
    }
}

ScriptStream& ScriptStream::operator>>(char& value) {
    if (skipSpace()) value = *cur_++;
    return *this;
}

ScriptStream& ScriptStream::operator>>(float& value) {
    if (!skipSpace()) return *this;
    const NumberScan scan = scanNumber(cur_, end_);
    if (scan.stop) {
        // Common case: the number and the byte after it are in the buffer, so no copy is needed.
        if (isShortDecimal(scan)) value = shortDecimalValue(scan);
        else state_ |= convertFloat(cur_, scan.stop, value);
        cur_ = scan.stop;
    } else {
        readFloatSlow(value);
    }
    return *this;
}

// The number reaches the end of the buffer: scan it byte by byte across refills, building the
// same text the standard scanner builds (leading zeros collapsed, 'E' as 'e').
void ScriptStream::readFloatSlow(float& value) {
    std::string& text = numberText_;
    text.clear();
    int c = peek();
    bool atEof = false;
    auto advance = [&] {
        ++cur_;
        c = peek();
        atEof = c < 0;
    };
    if (c == '+' || c == '-') {
        text += static_cast<char>(c);
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
            text += static_cast<char>(c);
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
            text += static_cast<char>(c);
        } else {
            break;
        }
        advance();
    }
    State err = convertFloat(text.data(), text.data() + text.size(), value);
    if (atEof) err |= eofbit;
    state_ |= err;
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

ScriptStream& ScriptStream::operator>>(int& value) {
    if (!skipSpace()) return *this;
    // Read as a long first, then narrow, saturating, like operator>>(int&).
    long wide;
    State err;
    const char* p = cur_;
    LongScan scan(*p == '-');
    if (*p == '-' || *p == '+') ++p;
    while (p != end_ && isDigit(*p)) scan.digit(static_cast<unsigned>(*p++ - '0'));
    if (p != end_) {
        err = scan.finish(wide);
        cur_ = p;
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
        value = static_cast<int>(wide);
    }
    state_ |= err;
    return *this;
}

ScriptStream::State ScriptStream::readLongSlow(long& value) {
    int c = peek();
    LongScan scan(c == '-');
    if (c == '-' || c == '+') {
        ++cur_;
        c = peek();
    }
    while (isDigit(c)) {
        scan.digit(static_cast<unsigned>(c - '0'));
        ++cur_;
        c = peek();
    }
    State err = scan.finish(value);
    if (c < 0) err |= eofbit;
    return err;
}

ScriptStream& ScriptStream::getline(char* buffer, std::streamsize size) {
    State err = goodbit;
    std::streamsize count = 0;
    char* out = buffer;
    if (state_ != goodbit) {
        state_ |= failbit;
    } else {
        for (;;) {
            if (cur_ == end_ && !refill()) {
                err |= eofbit;
                break;
            }
            if (count + 1 >= size) {
                // Full: a newline right here is still consumed; anything else is a failure.
                if (*cur_ == '\n') {
                    ++cur_;
                    ++count;
                } else {
                    err |= failbit;
                }
                break;
            }
            const auto room = static_cast<std::size_t>(size - 1 - count);
            const std::size_t n = std::min(room, static_cast<std::size_t>(end_ - cur_));
            if (const auto* newline = static_cast<const char*>(std::memchr(cur_, '\n', n))) {
                const auto length = static_cast<std::size_t>(newline - cur_);
                std::memcpy(out, cur_, length);
                out += length;
                count += static_cast<std::streamsize>(length) + 1;
                cur_ = newline + 1;
                break;
            }
            std::memcpy(out, cur_, n);
            out += n;
            count += static_cast<std::streamsize>(n);
            cur_ += n;
        }
    }
    if (size > 0) *out = '\0';
    if (count == 0) err |= failbit;
    state_ |= err;
    return *this;
}

std::int64_t ScriptStream::tellg() {
    if (state_ != goodbit) {
        state_ |= failbit;
        return -1;
    }
    return isOpen_ ? position() : -1;
}

ScriptStream& ScriptStream::seekg(std::int64_t target) {
    state_ &= ~eofbit;
    if (state_ != goodbit) {
        state_ |= failbit;
        return *this;
    }
    // Past the end is fine, as with a file, up to what the file system allows; only there is the
    // descriptor asked (its own offset is never used for reading).
    if (!isOpen_ || target < 0 ||
        (!fromText_ && target > sizeAtOpen_ && ::lseek(fd_, static_cast<off_t>(target), SEEK_SET) < 0)) {
        state_ |= failbit;
        return *this;
    }
    const std::int64_t offset = target - bufferStart_;
    if (offset >= 0 && offset <= end_ - buffer_.get()) {
        cur_ = buffer_.get() + offset;
    } else {
        // Elsewhere: forget the buffer without reading, so skipping a long stretch costs nothing.
        bufferStart_ = target;
        cur_ = end_ = buffer_.get();
        readSize_ = std::min(firstReadSize, capacity_);
    }
    return *this;
}
