// The one place that turns a byte offset in a script into a line and a column.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct LineColumn {
    int line;     // 1-based
    int column;   // 1-based, in bytes: a tab counts as one column
};

// Offsets below 0 (messages about no word in particular) give line 1, column 1.
LineColumn locateOffset(const std::string& path, std::int64_t offset);
// "SCRIPT:LINE:COLUMN: message", the form editors' error parsers read.
std::string formatDiagnostic(const std::string& path, std::int64_t offset, std::string_view text);
