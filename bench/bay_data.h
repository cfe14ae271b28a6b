#pragma once
// Where the benchmarks on real data find the Port Phillip data set:
// $QUOR_SHARED_DATA/portphillip, else the shared data folder beside the
// checkout. Nothing when it is not there; the benchmarks then skip.
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

inline std::optional<std::string> bayFolder() {
    const char* base = std::getenv("QUOR_SHARED_DATA");
    const std::string folder = (base && *base ? std::string(base) : std::string(QUOR_DEFAULT_SHARED_DATA)) + "/portphillip";
    if (!std::filesystem::exists(folder + "/water_portphillip.shp")) return std::nullopt;
    return folder;
}
