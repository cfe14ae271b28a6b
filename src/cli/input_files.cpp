#include "cli/input_files.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "cli/run_options.h"

namespace quor::cli {

void requireReadableFile(const std::string& option, const std::string& path, bool folderToo) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const auto status = fs::status(path, ec);
    if (!fs::exists(status)) throw badOption(option, path, "there is no such file.");
    const bool folder = fs::is_directory(status);
    if (folder && !folderToo) throw badOption(option, path, "this is a folder, not a file.");
    if (!folder && !fs::is_regular_file(status)) throw badOption(option, path, "this is not a file.");
    if (::access(path.c_str(), R_OK) != 0)
        throw badOption(option, path, std::string("the file cannot be read (") + std::strerror(errno) + ").");
}

}  // namespace quor::cli
