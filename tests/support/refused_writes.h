#pragma once
// A disk that takes only so many more bytes of one file (or of the files
// of one folder, those made meanwhile included), the bytes written
// over old ones included, and refuses every write beyond them, as a full
// copy-on-write disk does: for its scope, in this process, one at a time. Writes
// made with pwrite() or pwrite64() count, by this program or a library it
// loads; other files are written as usual.
#include <cstddef>
#include <string>

namespace quor::test {

class RefusedWrites {
public:
    // How a write that goes past the bytes left ends: refused whole, or
    // cut there, its first part landed, as a disk whose room ends inside a
    // write's pages leaves it.
    enum class Past { RefusedWhole, CutShort };

    RefusedWrites(const std::string& path, std::size_t bytes, Past past = Past::RefusedWhole);
    ~RefusedWrites();
    RefusedWrites(const RefusedWrites&) = delete;
    RefusedWrites& operator=(const RefusedWrites&) = delete;

    // The writes refused so far.
    int refused() const;
};

}  // namespace quor::test
