// Counts line ends up to an offset by reading the script again; only tools call this, after a run.
#include "interpreter/script_location.h"

#include <fstream>

LineColumn locateOffset(const std::string& path, std::int64_t offset) {
    LineColumn at{1, 1};
    if (offset < 0) return at;
    std::ifstream in(path, std::ios::binary);
    char chunk[65536];
    std::int64_t seen = 0;
    while (seen < offset && in.read(chunk, sizeof chunk).gcount() > 0) {
        std::int64_t n = std::min<std::int64_t>(in.gcount(), offset - seen);
        for (std::int64_t i = 0; i < n; ++i) {
            if (chunk[i] == '\n') {
                ++at.line;
                at.column = 1;
            } else {
                ++at.column;
            }
        }
        seen += n;
    }
    return at;
}

std::string formatDiagnostic(const std::string& path, std::int64_t offset, std::string_view text) {
    LineColumn at = locateOffset(path, offset);
    return path + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) + ": " + std::string(text);
}
