// What tells one version of a script file's content from another between frames. Its identity
// (device, inode, size, modification and change time) names it, with one gap: a write that lands
// within the file system's timestamp granularity of the last one may leave every field as it
// was, and so may a second write through a shared mapping whose page is still dirty. So while a
// write could still hide that way, the content itself is compared: a hash of every byte.
#pragma once

#include <cstdint>
#include <string>

struct FileTime {
    std::int64_t seconds = 0;
    long nanoseconds = 0;
    auto operator<=>(const FileTime&) const = default;
};

// Besides the modification time, the device, inode, size and change time: the change time moves
// with every write and no user can set it back, so a save that restores the old modification
// time (touch -d) still makes a new identity.
struct FileIdentity {
    std::uint64_t device = 0, inode = 0;
    std::int64_t size = -1;
    FileTime modified, changed;
    bool operator==(const FileIdentity&) const = default;
};

// A file that cannot be queried has the earliest time there is, and no size: runs stay latched
// while it is missing, and it runs again as soon as it is back, since its real time differs.
FileIdentity identityOf(const std::string& path);
// The clock that file times are given in.
FileTime currentTime();
// Whether a write after `looked` (the start of the last look at the content) could have left the
// identity as it is: when `looked` is not more than 2 s (the coarsest timestamps in common use,
// FAT's) past the modification time.
bool identityMayHideWrites(const FileIdentity& identity, FileTime looked);
// A hash of every byte of the file; 0 when it cannot be read.
std::uint64_t contentHash(const std::string& path);
