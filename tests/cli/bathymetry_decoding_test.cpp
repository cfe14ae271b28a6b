// How often a run decodes its bathymetry, counted where libtiff decodes a
// block (a library preloaded into quor-run), not timed.
#include <gtest/gtest.h>

#include <QProcessEnvironment>

#include <cpl_vsi.h>
#include <gdal_priv.h>
#include <gdal_utils.h>
#include <ogrsf_frmts.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <tuple>
#include <vector>

#include "model/model_state.h"
#include "project/project_file.h"
#include "quor_run_support.h"
#include "test_support.h"

using namespace quor;

namespace {

namespace fs = std::filesystem;

// One run of quor-run with the counting library, its home `home`: the
// times each block of `raster` was decoded, by block.
struct CountedRun {
    test::Ran ran;
    std::map<unsigned, unsigned> decoded;
    int again() const {
        int n = 0;
        for (const auto& [block, times] : decoded) n += times > 1 ? 1 : 0;
        return n;
    }
};

CountedRun countedRun(const std::string& raster, const std::string& home, const std::string& counts,
                      const std::vector<std::string>& args) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", QString::fromStdString(home));
    env.remove("XDG_CONFIG_HOME");
    env.remove("XDG_CACHE_HOME");
    env.remove("QUOR_THREADS");
    env.insert("LD_PRELOAD", QUOR_DECODE_COUNT_LIBRARY);
    env.insert("QUOR_DECODE_COUNT", QString::fromStdString(counts));
    // Under AddressSanitizer the counting library comes first.
    env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
    CountedRun run;
    run.ran = test::runProgram(QUOR_RUN_PROGRAM, args, home, env);
    std::ifstream in(counts);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string file;
        unsigned block = 0, times = 0;
        fields >> file >> block >> times;
        if (file == raster) run.decoded[block] = times;
    }
    return run;
}

// The number of blocks of band 1 of a raster.
int blocksOf(const std::string& raster) {
    GDALAllRegister();
    std::unique_ptr<GDALDataset> ds(GDALDataset::Open(raster.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
    int w = 0, h = 0;
    ds->GetRasterBand(1)->GetBlockSize(&w, &h);
    return ((ds->GetRasterXSize() + w - 1) / w) * ((ds->GetRasterYSize() + h - 1) / h);
}

// Writes `bytes` over a file from `offset` on, keeping its size and time.
void rewriteInPlace(const std::string& path, std::size_t offset, const std::string& bytes) {
    const auto time = fs::last_write_time(path);
    {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(offset));
        f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    fs::last_write_time(path, time);
}

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

// A GeoTIFF over the bay, in its reference, of 100 m cells in tiles of
// 64, every cell `depth` but those of the first tile, `corner`.
void writeBayRaster(const std::string& path, float depth, float corner, std::optional<double> noData,
                    const char* compress = "COMPRESS=DEFLATE") {
    GDALAllRegister();
    const char* options[] = {"TILED=YES", "BLOCKXSIZE=64", "BLOCKYSIZE=64", compress, nullptr};
    const int w = 700, h = 720;
    std::unique_ptr<GDALDataset> ds(GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
        path.c_str(), w, h, 1, GDT_Float32, const_cast<char**>(options)));
    double gt[6] = {268000, 100, 0, 5814000, 0, -100};
    ds->SetGeoTransform(gt);
    OGRSpatialReference srs;
    srs.importFromEPSG(32755);
    ds->SetSpatialRef(&srs);
    if (noData) ds->GetRasterBand(1)->SetNoDataValue(*noData);
    std::vector<float> cells(static_cast<std::size_t>(w) * h, depth);
    for (int r = 0; r < 64; ++r)
        for (int c = 0; c < 64; ++c) cells[static_cast<std::size_t>(r) * w + c] = corner;
    ASSERT_EQ(ds->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, w, h, cells.data(), w, h, GDT_Float32, 0, 0), CE_None);
}

// A VRT whose one source is the raster `source` (a VRT's too, not a copy
// of it), named as GDAL names it.
void writeVrtOver(const std::string& source, const std::string& vrt) {
    GDALAllRegister();
    const char* names[] = {source.c_str()};
    GDALDatasetH made = GDALBuildVRT(vrt.c_str(), 1, nullptr, names, nullptr, nullptr);
    ASSERT_TRUE(made) << vrt;
    GDALClose(made);
}

// Every field of every site an output holds.
std::vector<std::string> outputRows(const std::string& gpkg) {
    GDALAllRegister();
    std::vector<std::string> fields;
    {
        std::unique_ptr<GDALDataset> ds(GDALDataset::Open(gpkg.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
        if (!ds) return {"no output"};
        OGRFeatureDefn* defn = ds->GetLayer(0)->GetLayerDefn();
        for (int i = 0; i < defn->GetFieldCount(); ++i) fields.emplace_back(defn->GetFieldDefn(i)->GetNameRef());
    }
    return test::layerRows(gpkg, "", fields);
}

// One of the bay's sites and a copy of its raster, in a folder of their own.
// Its runs share one home, so that a reading one run remembers is the
// next one's; each counts its decodes and writes its output apart.
struct OneSiteOnACopy {
    test::TempDir dir;
    std::string sites, raster;
    int whole = 0;  // the raster's blocks
    mutable int runs = 0;
    explicit OneSiteOnACopy(const std::string& bay) : raster(dir.file("bathy.tif")) {
        fs::create_directories(dir.file("sites"));
        sites = test::copyBaySites(dir.file("sites"), "sites", 1);
        fs::copy_file(bay + "/bathy_portphillip_m.tif", raster);
        whole = blocksOf(raster);
    }
    CountedRun run(std::vector<std::string> args) const {
        ++runs;
        args.insert(args.end(), {"--output", dir.file("out" + std::to_string(runs) + ".gpkg"), "--quiet"});
        return countedRun(raster, dir.file("home"), dir.file("counts" + std::to_string(runs)), args);
    }
};

}  // namespace

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
        ++runs;
        args.insert(args.end(), {"--output", dir.file("out" + std::to_string(runs) + ".gpkg"), "--quiet"});
        // A home of its own: no reading of an earlier run is remembered.
        const CountedRun run = countedRun(raster, dir.file("home" + std::to_string(runs)),
                                          dir.file("counts" + std::to_string(runs)), args);
        ASSERT_EQ(run.ran.exit, 0) << run.ran.err;
        const int blocks = static_cast<int>(run.decoded.size());
        EXPECT_GT(blocks, 0) << "no decode counted: the counting library did not see the run";
        EXPECT_EQ(run.again(), 0) << "of " << blocks << " blocks decoded, these were decoded more than once";
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

// A raster read whole by one run is known to the next: a run on the same
// bytes decodes only the blocks its sites need, once each, on one thread
// or several, whatever the run.
TEST(BathymetryDecoding, ARunOnARasterReadWholeBeforeDecodesOnlyWhatItsSitesNeed) {
    QUOR_REQUIRE_PORTPHILLIP(bay);
    const OneSiteOnACopy copy(bay);
    const test::TempDir& dir = copy.dir;
    const std::string& raster = copy.raster;
    const int whole = copy.whole;
    const auto run = [&](const std::string& model, const std::string& algorithm, const std::string& threads) {
        return copy.run({model, "--defaults", algorithm, "--threads", threads, "--shoreline",
                         bay + "/water_portphillip.shp", "--bathymetry", raster, "--wind",
                         bay + (model == "rei" ? "/sample.Wind_REI" : "/sample_56.Wind_RWE"), "--sites", copy.sites});
    };
    const CountedRun first = run("rwe", "--clip", "1");
    ASSERT_EQ(first.ran.exit, 0) << first.ran.err;
    EXPECT_EQ(static_cast<int>(first.decoded.size()), whole) << "the first run reads the raster whole";
    for (const auto& [model, algorithm, threads] :
         std::vector<std::tuple<std::string, std::string, std::string>>{
             {"rwe", "--clip", "1"}, {"rwe", "--fast", "3"}, {"rei", "--clip", "3"}, {"rei", "--fast", "1"}}) {
        SCOPED_TRACE(model + " " + algorithm + " on " + threads + " threads");
        const CountedRun later = run(model, algorithm, threads);
        ASSERT_EQ(later.ran.exit, 0) << later.ran.err;
        EXPECT_GT(later.decoded.size(), 0u) << "no decode counted: the counting library did not see the run";
        EXPECT_LT(static_cast<int>(later.decoded.size()), whole / 4);
        EXPECT_EQ(later.again(), 0);
    }
    // Neighbouring sites on several threads, which want the same blocks at
    // the same time: one decodes a block, the others wait for it.
    const std::string many = test::copyBaySites(dir.file("sites"), "many");
    const CountedRun side = countedRun(raster, dir.file("home"), dir.file("counts-many"),
                                       {"rwe", "--defaults", "--fast", "--threads", "8", "--bathymetry", raster,
                                        "--wind", bay + "/sample_56.Wind_RWE", "--sites", many, "--output",
                                        dir.file("many.gpkg"), "--quiet"});
    ASSERT_EQ(side.ran.exit, 0) << side.ran.err;
    EXPECT_GT(side.decoded.size(), 0u);
    EXPECT_EQ(side.again(), 0) << "of " << side.decoded.size() << " blocks decoded, these more than once";
}

// What is remembered is the raster's bytes: the same name, size and time
// with other bytes is read whole again, and damage is refused with GDAL's
// words as on a first reading.
TEST(BathymetryDecoding, ARasterRewrittenInPlaceIsReadWholeAgain) {
    QUOR_REQUIRE_PORTPHILLIP(bay);
    const OneSiteOnACopy copy(bay);
    const std::string& raster = copy.raster;
    const int whole = copy.whole;
    const auto run = [&] {
        return copy.run({"rei", "--defaults", "--fast", "--bathymetry", raster, "--wind", bay + "/sample.Wind_REI",
                         "--sites", copy.sites});
    };
    ASSERT_EQ(run().ran.exit, 0);
    const CountedRun known = run();
    ASSERT_EQ(known.ran.exit, 0) << known.ran.err;
    ASSERT_LT(static_cast<int>(known.decoded.size()), whole / 4) << "the reading is remembered";

    // Another NoData value, of as many characters: other extremes.
    const std::string bytes = fileBytes(raster);
    const std::string noData = std::string("-9999") + '\0';
    const auto at = bytes.find(noData);
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(bytes.find(noData, at + 1), std::string::npos);
    rewriteInPlace(raster, at, "-9998");
    const CountedRun other = run();
    EXPECT_EQ(other.ran.exit, 0) << other.ran.err;
    EXPECT_EQ(static_cast<int>(other.decoded.size()), whole) << "bytes never read whole are read whole";

    // A tile's compressed bytes overwritten.
    std::unique_ptr<GDALDataset> ds(GDALDataset::Open(raster.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
    const char* offset = ds->GetRasterBand(1)->GetMetadataItem("BLOCK_OFFSET_5_5", "TIFF");
    const char* size = ds->GetRasterBand(1)->GetMetadataItem("BLOCK_SIZE_5_5", "TIFF");
    ASSERT_TRUE(offset && size);
    const std::size_t tile = std::stoull(offset), length = std::stoull(size);
    ds.reset();
    rewriteInPlace(raster, tile + length / 4, std::string(length / 2, '\xff'));
    const CountedRun damaged = run();
    EXPECT_NE(damaged.ran.exit, 0);
    EXPECT_NE(damaged.ran.err.find("is damaged: "), std::string::npos) << damaged.ran.err;
    EXPECT_EQ(damaged.ran.err.find("a block cannot be read"), std::string::npos) << "GDAL's words, not ours";
}

// Extremes taken from an earlier reading decide as the whole reading did:
// the depth sign (a positive bathymetry with one negative tile far from
// the site, which leaves a site on a positive cell without its index) and
// the refusal of a raster without a valid depth, in the same words.
TEST(BathymetryDecoding, RememberedExtremesDecideAsAWholeReading) {
    QUOR_REQUIRE_PORTPHILLIP(bay);
    test::TempDir dir;
    fs::create_directories(dir.file("sites"));
    const std::string sites = test::copyBaySites(dir.file("sites"), "sites", 1);
    const std::string signs = dir.file("signs.tif"), empty = dir.file("empty.tif");
    writeBayRaster(signs, 5, -5, std::nullopt);
    writeBayRaster(empty, -9999, -9999, -9999);
    int runs = 0;
    const auto run = [&](const std::string& model, const std::string& raster, const std::string& output) {
        ++runs;
        return countedRun(raster, dir.file("home"), dir.file("counts" + std::to_string(runs)),
                          {model, "--defaults", "--fast", "--bathymetry", raster, "--wind",
                           bay + (model == "rei" ? "/sample.Wind_REI" : "/sample_56.Wind_RWE"), "--sites", sites,
                           "--output", output, "--quiet"});
    };
    const auto reportOf = [](const std::string& err) { return err.substr(0, err.rfind(';')); };

    const CountedRun whole = run("rei", signs, dir.file("whole.gpkg"));
    ASSERT_EQ(whole.ran.exit, 0) << whole.ran.err;
    const CountedRun known = run("rei", signs, dir.file("known.gpkg"));
    EXPECT_LT(known.decoded.size(), whole.decoded.size()) << "the reading is remembered";
    EXPECT_EQ(known.ran.exit, 0) << known.ran.err;
    EXPECT_EQ(outputRows(dir.file("known.gpkg")), outputRows(dir.file("whole.gpkg")));

    for (const std::string model : {"rei", "rwe"}) {
        SCOPED_TRACE(model);
        const std::string output = dir.file("refused.gpkg");
        const CountedRun refused = run(model, empty, output);
        EXPECT_NE(refused.ran.exit, 0);
        EXPECT_NE(refused.ran.err.find("holds no"), std::string::npos) << refused.ran.err;
        const CountedRun again = run(model, empty, output);
        EXPECT_EQ(again.decoded.size(), 0u) << "the reading is remembered";
        EXPECT_EQ(again.ran.exit, refused.ran.exit);
        EXPECT_EQ(reportOf(again.ran.err), reportOf(refused.ran.err));
    }
}

// What is remembered is every file the cells are read from: the GeoTIFF
// under a VRT of a VRT, rewritten with the same size and time, gives what
// a fresh home gives, and damaged, is refused as a first reading refuses it.
TEST(BathymetryDecoding, AFileUnderANestedVrtRewrittenInPlaceIsReadWholeAgain) {
    QUOR_REQUIRE_PORTPHILLIP(bay);
    test::TempDir dir;
    fs::create_directories(dir.file("sites"));
    fs::create_directories(dir.file("inner"));
    const std::string sites = test::copyBaySites(dir.file("sites"), "sites", 1);
    const std::string tif = dir.file("inner/depths.tif"), outer = dir.file("outer.vrt");
    writeBayRaster(tif, 5, 5, std::nullopt, "COMPRESS=NONE");
    writeVrtOver(tif, dir.file("inner/depths.vrt"));
    writeVrtOver(dir.file("inner/depths.vrt"), outer);
    int runs = 0;
    const auto run = [&](const std::string& home) {
        ++runs;
        const std::string output = dir.file("out" + std::to_string(runs) + ".gpkg");
        const CountedRun ran = countedRun(tif, dir.file(home), dir.file("counts" + std::to_string(runs)),
                                          {"rei", "--defaults", "--fast", "--bathymetry", outer, "--wind",
                                           bay + "/sample.Wind_REI", "--sites", sites, "--output", output, "--quiet"});
        return std::make_pair(ran.ran, outputRows(output));
    };
    const auto first = run("home");
    ASSERT_EQ(first.first.exit, 0) << first.first.err;

    // The first tile's cells made negative, in place: the depths' sign
    // changes, and the site's index with it.
    std::unique_ptr<GDALDataset> ds(GDALDataset::Open(tif.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
    const std::size_t tile = std::stoull(ds->GetRasterBand(1)->GetMetadataItem("BLOCK_OFFSET_0_0", "TIFF"));
    ds.reset();
    const float negative = -5;
    std::string cells;
    for (int i = 0; i < 64 * 64; ++i) cells.append(reinterpret_cast<const char*>(&negative), sizeof negative);
    rewriteInPlace(tif, tile, cells);
    const auto remembered = run("home"), fresh = run("fresh-home");
    ASSERT_EQ(fresh.first.exit, 0) << fresh.first.err;
    ASSERT_NE(fresh.second, first.second) << "the rewrite changes the results";
    EXPECT_EQ(remembered.first.exit, 0) << remembered.first.err;
    EXPECT_EQ(remembered.second, fresh.second);

    fs::resize_file(tif, fs::file_size(tif) - 64 * 64 * 4);
    const auto damaged = run("home"), damagedFresh = run("damaged-home");
    EXPECT_EQ(damagedFresh.first.exit, 2) << damagedFresh.first.err;
    EXPECT_EQ(damaged.first.exit, damagedFresh.first.exit) << damaged.first.err;
}

// The record of an --output run takes the bathymetry as GDAL reads it:
// a raster inside a zip, named as GDAL names it or through a VRT, runs
// and gives the raster's results; one GDAL cannot open is refused,
// named as it was given.
TEST(BathymetryDecoding, AnOutputRunReadsASourceInsideAZip) {
    QUOR_REQUIRE_PORTPHILLIP(bay);
    const OneSiteOnACopy copy(bay);
    const std::string zipped = "/vsizip/" + copy.dir.file("bathy.zip") + "/bathy.tif";
    const std::string bytes = fileBytes(copy.raster);
    VSILFILE* f = VSIFOpenL(zipped.c_str(), "wb");
    ASSERT_TRUE(f);
    ASSERT_EQ(VSIFWriteL(bytes.data(), 1, bytes.size(), f), bytes.size());
    ASSERT_EQ(VSIFCloseL(f), 0);
    const std::string vrt = copy.dir.file("zipped.vrt");
    writeVrtOver(zipped, vrt);
    auto run = [&](const std::string& raster) {
        return copy.run({"rei", "--defaults", "--fast", "--bathymetry", raster, "--wind", bay + "/sample.Wind_REI",
                         "--sites", copy.sites});
    };
    for (const std::string& raster : {copy.raster, vrt, zipped}) {
        const CountedRun ran = run(raster);
        EXPECT_EQ(ran.ran.exit, 0) << ran.ran.err;
    }
    EXPECT_EQ(outputRows(copy.dir.file("out2.gpkg")), outputRows(copy.dir.file("out1.gpkg")));
    EXPECT_EQ(outputRows(copy.dir.file("out3.gpkg")), outputRows(copy.dir.file("out1.gpkg")));
    const std::string missing = "/vsizip/" + copy.dir.file("bathy.zip") + "/none.tif";
    const CountedRun refused = run(missing);
    EXPECT_EQ(refused.ran.exit, 2) << refused.ran.err;
    EXPECT_NE(refused.ran.err.find("--bathymetry " + missing + ": The bathymetry raster cannot be read."),
              std::string::npos)
        << refused.ran.err;
}
