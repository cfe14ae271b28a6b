#include "platform/file_stamp.h"

#include <sys/stat.h>

namespace quor::platform {

namespace {

FileStamp stampOf(const struct stat& st) {
    const auto ns = [](const timespec& t) { return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; };
    return {true,
            static_cast<std::uint64_t>(st.st_dev),
            static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::uint64_t>(st.st_size),
            ns(st.st_mtim),
            ns(st.st_ctim)};
}

}  // namespace

bool unwrittenSince(const FileStamp& then, const FileStamp& now) {
    return sameFile(then, now) && then.size == now.size && then.modified == now.modified;
}

FileStamp stampOfFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 ? stampOf(st) : FileStamp{};
}

FileStamp stampOfOpenFile(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? stampOf(st) : FileStamp{};
}

}  // namespace quor::platform
