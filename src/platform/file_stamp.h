#pragma once
// What any write into a file changes, whoever makes it: the file's
// identity, its size, and its modification and change times to the
// nanosecond. The change time cannot be set back, so a copy written over
// the file in place changes the stamp even when it keeps the size and
// puts the old modification time back.
#include <cstdint>
#include <string>

namespace quor::platform {

struct FileStamp {
    bool exists = false;
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t modified = 0, changed = 0;  // nanoseconds since the epoch
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// Whether both are stamps of one file, which every name and link of it
// shares: a rename or a write keeps it so.
inline bool sameFile(const FileStamp& a, const FileStamp& b) {
    return a.exists && b.exists && a.device == b.device && a.inode == b.inode;
}

// Whether `now` is the file `then` is the stamp of, unwritten since,
// however it was renamed meanwhile: a rename sets the change time alone.
bool unwrittenSince(const FileStamp& then, const FileStamp& now);

// The stamp of the file `path` names (a link's target's); one that does
// not exist when there is no such file.
FileStamp stampOfFile(const std::string& path);
FileStamp stampOfOpenFile(int fd);

}  // namespace quor::platform
