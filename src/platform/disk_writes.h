#pragma once
// Writing to the disk: whole writes, room for them, and how a write that
// failed is told to the user.
#include <cstdint>
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

// Whether the existing file can grow to `size` bytes. The system is asked
// to set aside the room (the free space, the user's quota and the largest
// file allowed all answer), and the file is then cut back to its old size:
// its bytes are not touched. True when the size is not larger, and when
// the system cannot tell (the write itself will).
bool roomToGrow(const std::string& path, std::uint64_t size);

}  // namespace quor::platform
