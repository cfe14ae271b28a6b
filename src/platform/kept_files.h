#pragma once
// The bytes of files that a change rewrites in place, kept so that the
// change can be undone byte for byte when it fails part-way.
//
// They are kept in memory, not on a disk: the change may fail because the
// disk is full, a copy in memory needs no room there, and nothing of it
// can be left behind however the program ends. What is kept is a point
// dataset's shapefile: some hundred kilobytes for a thousand sites.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quor::platform {

class KeptFiles {
public:
    // Reads the files; one that does not exist is left out. FileError
    // when a file cannot be read or there is no memory for it.
    explicit KeptFiles(const std::vector<std::string>& paths);

    // Writes every file back as it was kept, in place (the file stays the
    // same file) and cut to its old length. FileError, after trying every
    // file, when one cannot be written back.
    void putBack() const;

    // The size the file had when it was kept (0 when it was not).
    std::uint64_t size(const std::string& path) const;

private:
    std::vector<std::pair<std::string, std::string>> files_;
};

}  // namespace quor::platform
