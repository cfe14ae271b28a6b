// How often a run decodes its bathymetry, counted where libtiff decodes a
// block (a library preloaded into quor-run), not timed.
#include <gtest/gtest.h>

#include <QProcessEnvironment>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "quor_run_support.h"
#include "test_support.h"

using namespace quor;

// The checks before a run (the raster chosen, its extremes, REI's sign
// flag) and the run itself share one reading: no block of the bathymetry
// is decoded twice, on one thread or on several.
TEST(BathymetryDecoding, EveryBlockIsDecodedAtMostOncePerRun) {
    QUOR_REQUIRE_PORTPHILLIP(bay);
    test::TempDir dir;
    std::filesystem::create_directories(dir.file("sites"));
    const std::string sites = test::copyBaySites(dir.file("sites"), "sites", 3);
    const std::string raster = bay + "/bathy_portphillip_m.tif";
    for (const std::string model : {"rwe", "rei"})
        for (const std::string threads : {"1", "3"}) {
            SCOPED_TRACE(model + " on " + threads + " threads");
            const std::string counts = dir.file("counts-" + model + threads);
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("HOME", QString::fromStdString(dir.file("home")));
            env.remove("XDG_CONFIG_HOME");
            env.remove("QUOR_THREADS");
            env.insert("LD_PRELOAD", QUOR_DECODE_COUNT_LIBRARY);
            env.insert("QUOR_DECODE_COUNT", QString::fromStdString(counts));
            // Under AddressSanitizer the counting library comes first.
            env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
            const test::Ran ran = test::runProgram(
                QUOR_RUN_PROGRAM,
                {model, "--defaults", "--threads", threads, "--shoreline", bay + "/water_portphillip.shp",
                 "--bathymetry", raster, "--wind", bay + (model == "rwe" ? "/sample_56.Wind_RWE" : "/sample.Wind_REI"),
                 "--sites", sites, "--output", dir.file("out-" + model + threads + ".gpkg"), "--quiet"},
                dir.file("home"), env);
            ASSERT_EQ(ran.exit, 0) << ran.err;
            std::ifstream in(counts);
            int blocks = 0, again = 0;
            for (std::string line; std::getline(in, line);) {
                std::istringstream fields(line);
                std::string file;
                unsigned block = 0, times = 0;
                fields >> file >> block >> times;
                if (file != raster) continue;
                ++blocks;
                if (times > 1) ++again;
            }
            EXPECT_EQ(again, 0) << "of " << blocks << " blocks decoded, these were decoded more than once";
            EXPECT_GT(blocks, 0) << "no decode counted: the counting library did not see the run";
        }
}
