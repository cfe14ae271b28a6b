#pragma once
// Text files of a numeric array, as the model leaves its intermediate
// arrays for inspection: a title line, an empty line, then one row per
// value, " <index>   <value to 2 decimals>", CR LF after each line.
#include <span>
#include <string>
#include <vector>

namespace quor::platform {

// Titles of the array file family.
inline constexpr const char* kDepthFileTitle = "Quor Depth File";
inline constexpr const char* kFetchFileTitle = "Quor Fetch File";
inline constexpr const char* kWindFileTitle = "Quor Wind File";
inline constexpr const char* kWaveHeightFileTitle = "Quor Wave Height File";

// One row: a blank, the index, three blanks, the value rounded half to
// even to 2 decimals in its shortest plain form, never "-0" (" 7   12.25").
std::string outputArrayRow(int index, double value);

// The title, an empty line and one row per value (index from 0).
std::vector<std::string> outputArrayLines(const std::string& title, std::span<const double> values);

// Creates the folders leading to `path` when missing; throws FileError
// when that fails.
void ensureParentFolder(const std::string& path);

// Gives `path` the content outputArrayLines, creating its folder. Runs
// write these files for every site, so the file is rewritten in place
// (see rewriteTextLines). Throws FileError on failure.
void writeOutputArrayFile(const std::string& path, const std::string& title, std::span<const double> values);

}  // namespace quor::platform
