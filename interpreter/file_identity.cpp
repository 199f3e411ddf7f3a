// File identity and content; see file_identity.h.
#include "interpreter/file_identity.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <memory>

namespace {
// The coarsest timestamps in common use, FAT's, are 2 s apart; finer ones fall within that too.
constexpr std::int64_t windowSeconds = 2;

constexpr FileTime missingFile = {INT64_MIN, 0};
}  // namespace

FileIdentity identityOf(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return {0, 0, -1, missingFile, missingFile};
    return {std::uint64_t(status.st_dev), std::uint64_t(status.st_ino),
            std::int64_t(status.st_size),
            {std::int64_t(status.st_mtim.tv_sec), status.st_mtim.tv_nsec},
            {std::int64_t(status.st_ctim.tv_sec), status.st_ctim.tv_nsec}};
}

FileTime currentTime() {
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return {std::int64_t(now.tv_sec), now.tv_nsec};
}

bool identityMayHideWrites(const FileIdentity& identity, FileTime looked) {
    if (identity.modified == missingFile) return false;
    const FileTime windowEnd = {identity.modified.seconds + windowSeconds, identity.modified.nanoseconds};
    return looked <= windowEnd;
}

// FNV-1a over 8-byte words: each step is a bijection of the state, so content that differs in
// one word always hashes differently.
std::uint64_t contentHash(const std::string& path) {
    // Regular files only, as the scanner reads: a device may never end.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat status {};
    if (descriptor < 0 || ::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        if (descriptor >= 0) ::close(descriptor);
        return 0;
    }
    constexpr std::size_t chunk = 64 * 1024;
    const auto buffer = std::make_unique_for_overwrite<std::uint64_t[]>(chunk / 8);
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (;;) {
        const ssize_t got = ::read(descriptor, buffer.get(), chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        const std::size_t words = (std::size_t(got) + 7) / 8;
        if (std::size_t(got) % 8) std::memset(reinterpret_cast<char*>(buffer.get()) + got, 0, 8 - got % 8);
        for (std::size_t i = 0; i < words; ++i) hash = (hash ^ buffer[i]) * 0x100000001b3u;
        hash = (hash ^ std::uint64_t(got)) * 0x100000001b3u;
    }
    ::close(descriptor);
    return hash;
}
