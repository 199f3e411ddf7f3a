// Partial files beside their targets; see partial_file.h.
#include "tools/partial_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace {
std::string patternBeside(const std::string& target) {
    std::filesystem::path path(target);
    std::string directory = path.parent_path().empty() ? "." : path.parent_path().string();
    return directory + "/." + path.filename().string() + ".partial-XXXXXX";
}
}  // namespace

std::string makePartialBeside(const std::string& target) {
    std::string name = patternBeside(target);
    int fd = ::mkstemp(name.data());
    if (fd < 0) return "";
    // mkstemp makes the file private to its owner; what it becomes should be as readable as
    // any file the user writes.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    ::close(fd);
    return name;
}

std::string makePartialDirectoryBeside(const std::string& target) {
    std::string name = patternBeside(target);
    return ::mkdtemp(name.data()) ? name : "";
}
