// Writes the national coast of the benchmarks: make_random_coast OUT.shp|OUT.gpkg COUNT [SEED].
// The same seed gives the same file, on any machine, for runs compared by hand.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "bay_data.h"
#include "random_coast.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUT.shp|OUT.gpkg COUNT [SEED]\n", argv[0]);
        return 2;
    }
    const auto folder = bayFolder();
    if (!folder) {
        std::fprintf(stderr, "%s\n", kBayMissing);
        return 2;
    }
    try {
        quor::bench::writeRandomCoast(*folder, argv[1], std::atoi(argv[2]),
                                      argc > 3 ? std::strtoull(argv[3], nullptr, 10) : quor::bench::kCoastSeed);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
