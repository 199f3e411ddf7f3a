// Places in a document as the protocol gives them (a line and a character, counted in UTF-16
// code units unless the editor agreed to UTF-8 bytes) and as the analysis takes them (a byte
// offset into the text).
#pragma once

#include <cstdint>
#include <string_view>

enum class PositionEncoding { utf16, utf8 };

struct TextPosition {
    std::int64_t line = 0;        // 0-based
    std::int64_t character = 0;   // 0-based, in the encoding's units
};

// The offset of a position; past its line's end it is the line's end, past the text's the text's.
std::int64_t offsetOf(std::string_view text, TextPosition position, PositionEncoding encoding);

// The positions of offsets, each found by reading on from the last one asked for; asked in
// increasing order, a whole document's offsets cost one pass over it.
class PositionFinder {
public:
    PositionFinder(std::string_view text, PositionEncoding encoding) : text(text), encoding(encoding) {}
    TextPosition at(std::int64_t offset);

private:
    std::string_view text;
    PositionEncoding encoding;
    std::size_t lineStart = 0;   // of the line of the last offset asked for
    std::int64_t line = 0;
    std::size_t counted = 0;     // the last offset asked for, and its units from lineStart
    std::int64_t units = 0;
};
