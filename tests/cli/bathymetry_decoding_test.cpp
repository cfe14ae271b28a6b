// How often a run decodes its bathymetry, counted where libtiff decodes a
// block (a library preloaded into quor-run), not timed.
#include <gtest/gtest.h>

#include <QProcessEnvironment>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "model/model_state.h"
#include "project/project_file.h"
#include "quor_run_support.h"
#include "test_support.h"

using namespace quor;

// The checks before a run (the raster chosen or the project's opened, its
// extremes, REI's sign flag) and the run itself share one reading: no
// block of the bathymetry is decoded twice, on one thread or on several.
TEST(BathymetryDecoding, EveryBlockIsDecodedAtMostOncePerRun) {
    QUOR_REQUIRE_PORTPHILLIP(bay);
    test::TempDir dir;
    std::filesystem::create_directories(dir.file("sites"));
    const std::string sites = test::copyBaySites(dir.file("sites"), "sites", 3);
    const std::string raster = bay + "/bathy_portphillip_m.tif";
    int runs = 0;
    const auto check = [&](std::vector<std::string> args) {
        const std::string counts = dir.file("counts" + std::to_string(++runs));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", QString::fromStdString(dir.file("home")));
        env.remove("XDG_CONFIG_HOME");
        env.remove("QUOR_THREADS");
        env.insert("LD_PRELOAD", QUOR_DECODE_COUNT_LIBRARY);
        env.insert("QUOR_DECODE_COUNT", QString::fromStdString(counts));
        // Under AddressSanitizer the counting library comes first.
        env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
        args.insert(args.end(), {"--output", dir.file("out" + std::to_string(runs) + ".gpkg"), "--quiet"});
        const test::Ran ran = test::runProgram(QUOR_RUN_PROGRAM, args, dir.file("home"), env);
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
        EXPECT_GT(blocks, 0) << "no decode counted: the counting library did not see the run";
        EXPECT_EQ(again, 0) << "of " << blocks << " blocks decoded, these were decoded more than once";
    };
    for (const std::string model : {"rwe", "rei"}) {
        const bool rei = model == "rei";
        const std::string wind = bay + (rei ? "/sample.Wind_REI" : "/sample_56.Wind_RWE");
        for (const std::string threads : {"1", "3"}) {
            SCOPED_TRACE(model + " on " + threads + " threads");
            check({model, "--defaults", "--threads", threads, "--shoreline", bay + "/water_portphillip.shp",
                   "--bathymetry", raster, "--wind", wind, "--sites", sites});
        }
        SCOPED_TRACE(model + " from a project");
        project::ProjectFileContent content;
        content.bathycov = raster;
        content.bathyname = "bathy_portphillip_m.tif";
        content.shorecov = bay;
        content.shorename = "water_portphillip.shp";
        content.wind_path = wind;
        content.wind_name = std::filesystem::path(wind).filename().string();
        content.bathyunits = "Meter";
        content.geodatabase = "bay.gpkg";
        const std::string folder = dir.file("project-" + model);
        std::filesystem::create_directories(folder);
        test::copyBaySitesToGeoPackage(folder + "/bay.gpkg", "Pointdata1", 3);
        const uint8_t mode = rei ? model::REI_MODE : model::RWE_MODE;
        const std::string file = project::projectFilePath(folder, "bay", mode);
        project::writeProjectFile(file, project::projectFileLines(project::projectTitle(mode), "today", content));
        check({model, "--defaults", "--threads", "3", "--project", file, "--layer", "Pointdata1"});
    }
}
