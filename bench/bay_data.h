#pragma once
// Where the benchmarks on real data find the Port Phillip data set: the
// example that comes with the checkout (examples/portphillip). Nothing when
// the checkout lacks it; the benchmarks then report it and skip.
#include <filesystem>
#include <optional>
#include <string>

inline std::optional<std::string> bayFolder() {
    const std::string folder = QUOR_EXAMPLE_DATA;
    if (!std::filesystem::exists(folder + "/water_portphillip.shp")) return std::nullopt;
    return folder;
}

inline constexpr const char* kBayMissing = "The Port Phillip example is missing from the checkout (examples/portphillip).";
