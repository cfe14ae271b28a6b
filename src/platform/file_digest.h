#pragma once
// SHA-256 digests of files' bytes, as sha256sum gives them.
#include <string>
#include <string_view>
#include <vector>

namespace quor::platform {

// The SHA-256 (hex) of some bytes.
std::string bytesDigest(std::string_view bytes);

// The SHA-256 (hex) of one file's bytes. FileError when it cannot be read.
std::string fileDigest(const std::string& path);

// What tells a dataset's bytes from any other's: for one file, that file's
// own SHA-256; for several, the SHA-256 of sha256sum's lines for them
// ("DIGEST  NAME", each ending in a line feed), in the order given.
// FileError when one cannot be read.
std::string filesDigest(const std::vector<std::string>& files);

}  // namespace quor::platform
