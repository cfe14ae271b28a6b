#pragma once
// SHA-256 digests of files' bytes, as sha256sum gives them.
#include <string>
#include <string_view>
#include <vector>

namespace quor::platform {

// The SHA-256 (hex) of some bytes.
std::string bytesDigest(std::string_view bytes);

// The SHA-256 (hex) of one file's bytes, read as GDAL reads them: any
// path of its virtual file layer ("/vsizip/...") as well as a plain one.
// FileError when it cannot be read.
std::string fileDigest(const std::string& path);

// What tells a dataset's bytes from any other's: for one file, that file's
// own SHA-256; for several, the SHA-256 of sha256sum's lines for them
// ("DIGEST  NAME", each ending in a line feed), in the order given. NAME
// is the file's path from `folder` (the dataset's own), or its name alone
// without one. FileError when one cannot be read.
std::string filesDigest(const std::vector<std::string>& files, const std::string& folder = {});
// The same of files whose digests are known, `digests[i]` that of `files[i]`.
std::string filesDigest(const std::vector<std::string>& files, const std::vector<std::string>& digests,
                        const std::string& folder);

}  // namespace quor::platform
