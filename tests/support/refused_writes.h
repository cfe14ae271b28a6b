#pragma once
// A disk that takes only so many more bytes of one file (or of the files
// of one folder, those made meanwhile included), the bytes written
// over old ones included, and refuses whole every write beyond them, as a
// full copy-on-write disk does: for its scope, in this process. Writes
// made with pwrite() or pwrite64() count, by this program or a library it
// loads; other files are written as usual.
#include <cstddef>
#include <string>

namespace quor::test {

class RefusedWrites {
public:
    RefusedWrites(const std::string& path, std::size_t bytes);
    ~RefusedWrites();
    RefusedWrites(const RefusedWrites&) = delete;
    RefusedWrites& operator=(const RefusedWrites&) = delete;

    // The writes refused so far.
    int refused() const;
};

}  // namespace quor::test
