// Text from a script or from the command line as it is shown to a person: in the log box, on a
// terminal or in a file that collects a terminal's output. The text itself is never changed.
#pragma once

#include <string>
#include <string_view>

// Printable ASCII and well-formed UTF-8 as they are; NUL as \0; every other byte that would act
// on a terminal or show nothing as \xHH: C0 and C1 controls, DEL, malformed UTF-8, a byte-order
// mark and the other invisible format characters (zero-width, bidirectional, line separators).
// A character that shows also gets through only when shows(code) is true, where given (a font
// without a glyph for it).
std::string visibleText(std::string_view bytes, bool (*shows)(char32_t code) = nullptr);
