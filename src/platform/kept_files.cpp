#include "platform/kept_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>

#include "platform/disk_writes.h"
#include "platform/textfile.h"

namespace quor::platform {

namespace {

// Empty when the bytes are back, else why not.
std::string writeBack(const std::string& path, const std::string& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return std::strerror(errno);
    // Cut first: what the change added beyond the old end is given back
    // before the old bytes go over what the change rewrote.
    int err = ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 ? 0 : errno;
    if (err == 0) err = writeAllAt(fd, bytes, 0);
    if (::close(fd) != 0 && err == 0) err = errno;
    return err == 0 ? std::string() : std::strerror(err);
}

}  // namespace

KeptFiles::KeptFiles(const std::vector<std::string>& paths) {
    for (const auto& path : paths) {
        std::error_code ec;
        if (!std::filesystem::exists(path, ec)) continue;
        std::ifstream in(path, std::ios::binary | std::ios::ate);
        const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : -1;
        try {
            std::string bytes(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
            if (size < 0 || !in.seekg(0) || !in.read(bytes.data(), size)) throw FileError("Cannot read file " + path + ".");
            files_.emplace_back(path, std::move(bytes));
        } catch (const std::bad_alloc&) {
            throw FileError("There is not enough memory to keep a copy of " + path + ".");
        }
    }
}

void KeptFiles::putBack() const {
    std::string failures;
    for (const auto& [path, bytes] : files_)
        if (const std::string why = writeBack(path, bytes); !why.empty())
            failures += (failures.empty() ? "" : "; ") + path + ": " + why;
    if (!failures.empty()) throw FileError("Cannot write back " + failures + ".");
}

std::uint64_t KeptFiles::size(const std::string& path) const {
    for (const auto& [p, bytes] : files_)
        if (p == path) return bytes.size();
    return 0;
}

}  // namespace quor::platform
