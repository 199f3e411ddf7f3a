// Positions and offsets; see positions.h. A UTF-8 sequence of four bytes is two UTF-16 units,
// any shorter one a single unit; a stray byte counts as one character, as editors show it.
#include "lsp/positions.h"

#include <algorithm>
#include <cstring>

namespace {
// The units of one byte: the first byte of a character counts, continuation bytes do not.
std::int64_t unitsOf(unsigned char byte, PositionEncoding encoding) {
    if (encoding == PositionEncoding::utf8) return 1;
    if ((byte & 0xC0) == 0x80) return 0;
    return byte >= 0xF0 ? 2 : 1;
}

std::size_t lineEnd(std::string_view text, std::size_t from) {
    const void* newline = std::memchr(text.data() + from, '\n', text.size() - from);
    return newline ? std::size_t(static_cast<const char*>(newline) - text.data()) : text.size();
}
}  // namespace

std::int64_t offsetOf(std::string_view text, TextPosition position, PositionEncoding encoding) {
    std::size_t at = 0;
    for (std::int64_t line = 0; line < position.line; ++line) {
        at = lineEnd(text, at);
        if (at == text.size()) return std::int64_t(at);
        ++at;
    }
    std::size_t end = lineEnd(text, at);
    // A place inside a character is taken to be its start: the loop stops at a first byte.
    for (std::int64_t units = 0; at < end; ++at) {
        std::int64_t next = units + unitsOf(static_cast<unsigned char>(text[at]), encoding);
        if (next > position.character) break;
        units = next;
    }
    return std::int64_t(at);
}

TextPosition PositionFinder::at(std::int64_t offset) {
    auto target = std::size_t(std::clamp<std::int64_t>(offset, 0, std::int64_t(text.size())));
    if (target < counted) {
        lineStart = counted = 0;
        line = units = 0;
    }
    for (std::size_t end = lineEnd(text, lineStart); end < target; end = lineEnd(text, lineStart)) {
        lineStart = end + 1;
        ++line;
        counted = lineStart;
        units = 0;
    }
    for (; counted < target; ++counted) units += unitsOf(static_cast<unsigned char>(text[counted]), encoding);
    return {line, units};
}
