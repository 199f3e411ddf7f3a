// lsp/: corvane-lsp, the language server: the protocol's framing, its JSON messages and the
// editor's documents, turned into calls on analysis/, which knows nothing of the protocol. It
// uses analysis/, frame/ and below.
//
// The framing; see transport.h. Input is read in chunks of 64 KiB, and a body's bytes are handed
// to its reader from there.
#include "lsp/transport.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <string_view>

namespace {
// A header line longer than this is not a header; it is skipped to its end.
constexpr std::size_t longestHeaderLine = 64 * 1024;

std::string_view trimmed(std::string_view text) {
    std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The value of a Content-Length header: digits only; -1 when it is not a length.
std::int64_t lengthOf(std::string_view value) {
    value = trimmed(value);
    std::int64_t length = -1;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), length);
    return error == std::errc() && end == value.data() + value.size() && length >= 0 ? length : -1;
}

bool writeAll(int fd, const char* bytes, std::size_t size) {
    while (size > 0) {
        ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        size -= std::size_t(written);
    }
    return true;
}
}  // namespace

bool MessageReader::fill() {
    buffer.erase(0, start);
    start = 0;
    char chunk[64 * 1024];
    ssize_t got;
    do {
        got = ::read(fd, chunk, sizeof chunk);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) return false;
    buffer.append(chunk, std::size_t(got));
    return true;
}

bool MessageReader::readLine(std::string& line, bool& tooLong) {
    tooLong = false;
    std::size_t scanned = 0;   // bytes after start known to hold no line end
    for (;;) {
        std::size_t newline = buffer.find('\n', start + scanned);
        if (newline != std::string::npos) {
            if (!tooLong) line.assign(buffer, start, newline - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            start = newline + 1;
            return true;
        }
        if (buffer.size() - start > longestHeaderLine) {
            tooLong = true;
            line.clear();
            start = buffer.size();
        }
        scanned = buffer.size() - start;
        if (!fill()) return false;
    }
}

bool MessageReader::skip(std::int64_t length) {
    while (length > 0) {
        if (start == buffer.size() && !fill()) return false;
        auto taken = std::min<std::size_t>(std::size_t(length), buffer.size() - start);
        start += taken;
        length -= std::int64_t(taken);
    }
    return true;
}

void MessageReader::BodyBytes::start(std::int64_t length) {
    left = length;
    setg(nullptr, nullptr, nullptr);
}

// Hands out the buffered bytes of the body where they lie, or reads more first. The buffer is
// only refilled once what was handed out has been read.
MessageReader::BodyBytes::int_type MessageReader::BodyBytes::underflow() {
    if (left == 0 || (reader.start == reader.buffer.size() && !reader.fill())) return traits_type::eof();
    char* first = reader.buffer.data() + reader.start;
    auto size = std::min<std::size_t>(std::size_t(left), reader.buffer.size() - reader.start);
    reader.start += size;
    left -= std::int64_t(size);
    setg(first, first, first + size);
    return traits_type::to_int_type(*first);
}

MessageReader::Next MessageReader::next(std::string& problem) {
    // What the last body's reader left unread is passed over.
    std::int64_t rest = bodyBytes.notHandedOut();
    bodyBytes.start(0);
    if (!skip(rest)) return Next::end;
    std::int64_t length = -1;
    problem = "the header has no Content-Length";
    std::string line;
    bool tooLong = false, any = false;
    for (;;) {
        if (!readLine(line, tooLong)) return Next::end;
        if (line.empty() && !tooLong) {
            if (any) break;
            continue;   // blank lines between messages
        }
        any = true;
        std::size_t colon = line.find(':');
        if (tooLong) {
            problem = "a header line is longer than 64 KiB";
        } else if (colon != std::string::npos && sameName(trimmed(std::string_view(line).substr(0, colon)), "Content-Length")) {
            length = lengthOf(std::string_view(line).substr(colon + 1));
            if (length < 0) problem = "the Content-Length is not a number of bytes: " + line.substr(colon + 1);
        }
    }
    if (length < 0) return Next::badHeader;
    if (length > largestBody) {
        problem = "a body of " + std::to_string(length) + " bytes is larger than the 1 GiB a message may have";
        bodyBytes.start(length);   // passed over at the next call, after the answer
        return Next::badHeader;
    }
    bodyBytes.start(length);
    bodyStream.clear();
    return Next::message;
}

bool MessageWriter::write(const std::string& body) {
    std::string header = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    std::lock_guard<std::mutex> held(lock);
    if (!gone) gone = !writeAll(fd, header.data(), header.size()) || !writeAll(fd, body.data(), body.size());
    return !gone;
}
