#pragma once
// Writing to the disk: whole writes, room for them, and how a write that
// failed is told to the user.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quor::platform {

inline constexpr const char* kDiskFullText = "the disk is full";

// Whether a failed write's error number means there was no room for it:
// a full disk, a used-up quota, or a file larger than the system allows.
bool isNoRoom(int err);

// A failed write's cause as the user reads it: kDiskFullText when there
// was no room, else the system's own words.
std::string writeFailureText(int err);

// Writes all of `bytes` into the open file `fd` from `offset` on, in as
// many writes as it takes. 0, or the error number of the write that failed.
int writeAllAt(int fd, std::string_view bytes, std::uint64_t offset);

// The bytes this program may still write on the disk that holds `path`
// (a file or a folder); nothing when the system cannot tell.
std::optional<std::uint64_t> freeSpace(const std::string& path);

}  // namespace quor::platform
