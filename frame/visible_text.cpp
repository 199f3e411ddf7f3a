// The one escaping of shown text, shared by the log box and corvane-render's messages.
#include "frame/visible_text.h"

#include <cstdio>

namespace {
// The length of the well-formed UTF-8 sequence of two to four bytes at the start of bytes, and
// its code point; 0 for anything else.
int utf8Sequence(std::string_view bytes, char32_t& code) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    int length = byte(0) >= 0xf0 ? 4 : byte(0) >= 0xe0 ? 3 : byte(0) >= 0xc0 ? 2 : 0;
    if (length == 0 || byte(0) >= 0xf5 || bytes.size() < std::size_t(length)) return 0;
    code = byte(0) & (0x7f >> length);
    for (int i = 1; i < length; ++i) {
        if ((byte(i) & 0xc0) != 0x80) return 0;
        code = code << 6 | (byte(i) & 0x3f);
    }
    static constexpr char32_t lowest[] = {0, 0, 0x80, 0x800, 0x10000};
    bool surrogate = code >= 0xd800 && code <= 0xdfff;
    return code < lowest[length] || surrogate || code > 0x10ffff ? 0 : length;
}

// C1 controls, and the characters that take no room of their own or reorder the line around
// them: a word holding one would look like another word.
bool invisible(char32_t code) {
    return code < 0xa0 || (code >= 0x200b && code <= 0x200f) ||
           (code >= 0x2028 && code <= 0x202e) || (code >= 0x2060 && code <= 0x206f) ||
           code == 0xfeff;
}

std::string escaped(unsigned char byte) {
    if (byte == 0) return "\\0";
    char code[5];
    std::snprintf(code, sizeof code, "\\x%02x", byte);
    return code;
}
}  // namespace

std::string visibleText(std::string_view bytes, bool (*shows)(char32_t code)) {
    std::string shown;
    shown.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        char32_t code = 0;
        int length = byte >= 0x80 ? utf8Sequence(bytes.substr(i), code) : 0;
        if (byte >= 0x20 && byte < 0x7f) {
            shown += char(byte);
            ++i;
        } else if (length > 0 && !invisible(code) && (!shows || shows(code))) {
            shown.append(bytes.substr(i, length));
            i += length;
        } else {
            shown += escaped(byte);
            ++i;
        }
    }
    return shown;
}
