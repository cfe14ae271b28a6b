#include "platform/array_file.h"

#include <filesystem>
#include <system_error>

#include "platform/numbers.h"
#include "platform/textfile.h"

namespace quor::platform {

namespace fs = std::filesystem;

std::string outputArrayRow(int index, double value) {
    // formatNumber writes a negative zero as "0".
    return " " + std::to_string(index) + "   " + formatNumber(roundHalfEven(value, 2));
}

std::vector<std::string> outputArrayLines(const std::string& title, std::span<const double> values) {
    std::vector<std::string> lines;
    lines.reserve(values.size() + 2);
    lines.push_back(title);
    lines.emplace_back();
    for (std::size_t i = 0; i < values.size(); ++i) lines.push_back(outputArrayRow(static_cast<int>(i), values[i]));
    return lines;
}

void ensureParentFolder(const std::string& path) {
    const fs::path parent = fs::path(path).parent_path();
    if (parent.empty()) return;
    std::error_code ec;
    if (fs::is_directory(parent, ec)) return;
    fs::create_directories(parent, ec);
    if (ec || !fs::is_directory(parent, ec)) throw FileError("Cannot create folder " + parent.string());
}

void writeOutputArrayFile(const std::string& path, const std::string& title, std::span<const double> values) {
    ensureParentFolder(path);
    rewriteTextLines(path, outputArrayLines(title, values));
}

}  // namespace quor::platform
