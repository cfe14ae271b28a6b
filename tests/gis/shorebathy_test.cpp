#include <gtest/gtest.h>

#include <gdal_priv.h>
#include <sys/resource.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "gis/ray_site.h"
#include "gis/shorebathy.h"
#include "platform/gis/gis.h"
#include "test_support.h"

using namespace quor;
using namespace quor::gis;
namespace pg = quor::platform::gis;
using quor::test::RecordingMessages;
using quor::test::TempDir;

namespace {

class ScriptedChooser final : public DatasetChooser {
public:
    std::optional<std::vector<DatasetItem>> answer;
    std::vector<std::pair<DatasetFilter, std::string>> asked;
    std::optional<std::vector<DatasetItem>> choose(DatasetFilter filter, const std::string& title) override {
        asked.emplace_back(filter, title);
        return answer;
    }
};

// Shapefiles in folder/: "lake" (polygons, UTM), "noref" (polygons, no
// reference), "pts" (points, UTM).
void makeShapefiles(const std::string& folder) {
    std::filesystem::create_directories(folder);
    auto ws = pg::Workspace::open(folder);
    const auto utm = pg::SpatialReference::fromEpsg(32755);
    auto lake = ws->createFeatureClass("lake", pg::GeometryType::Polygon, {}, utm);
    pg::Feature f = lake->createFeature();
    f.setShape(pg::Geometry::polygons({{{{0, 0}, {1000, 0}, {1000, 1000}, {0, 1000}, {0, 0}},
                                         {{400, 400}, {400, 600}, {600, 600}, {600, 400}, {400, 400}}}}));
    lake->store(f);
    auto noref = ws->createFeatureClass("noref", pg::GeometryType::Polygon, {});
    pg::Feature g = noref->createFeature();
    g.setShape(pg::Geometry::polygon({{0, 0}, {1, 0}, {1, 1}}));
    noref->store(g);
    auto pts = ws->createFeatureClass("pts", pg::GeometryType::Point, {}, utm);
    pg::Feature p = pts->createFeature();
    p.setShape(pg::Geometry::point(1, 1));
    pts->store(p);
}

void makeRaster(const std::string& path, bool withSrs) {
    GDALAllRegister();
    GDALDataset* ds = GetGDALDriverManager()->GetDriverByName("GTiff")->Create(path.c_str(), 2, 2, 1, GDT_Float32, nullptr);
    double gt[6] = {0, 10, 0, 20, 0, -10};
    ds->SetGeoTransform(gt);
    if (withSrs) {
        OGRSpatialReference srs;
        srs.importFromEPSG(32755);
        ds->SetSpatialRef(&srs);
    }
    GDALClose(ds);
}

// A GeoTIFF of w x h cells 10 m wide, all 5 m deep, in UTM zone 55 S.
void writeFlatRaster(const std::string& path, int w, int h, const char** options = nullptr) {
    GDALAllRegister();
    GDALDataset* ds = GetGDALDriverManager()->GetDriverByName("GTiff")->Create(path.c_str(), w, h, 1, GDT_Float32,
                                                                               const_cast<char**>(options));
    double gt[6] = {0, 10, 0, 10.0 * h, 0, -10};
    ds->SetGeoTransform(gt);
    OGRSpatialReference srs;
    srs.importFromEPSG(32755);
    ds->SetSpatialRef(&srs);
    std::vector<float> depths(static_cast<std::size_t>(w) * h, -5.0f);
    EXPECT_EQ(ds->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, w, h, depths.data(), w, h, GDT_Float32, 0, 0), CE_None);
    GDALClose(ds);
}

model::MainFormState previousProject() {
    model::MainFormState mf;
    mf.shorecov = "/old";
    mf.shorename = "coast.shp";
    mf.shorefeature = "keep";
    mf.bathycov = "/old/bathy.tif";
    mf.bathyname = "bathy.tif";
    return mf;
}

// The one message of choosing a raster that must be refused; the
// project's bathymetry stays as it was.
std::string refusedBathymetry(const std::string& path) {
    auto mf = previousProject();
    ScriptedChooser chooser;
    chooser.answer = std::vector<DatasetItem>{{path, {}}};
    RecordingMessages msgs;
    EXPECT_EQ(Getbathymetry(mf, chooser, msgs), nullptr);
    EXPECT_EQ(mf.bathycov, "/old/bathy.tif");
    EXPECT_EQ(msgs.entries.size(), 1u);
    return msgs.entries.empty() ? std::string() : msgs.entries[0].text;
}

}  // namespace

TEST(Shoreline, ShapefileChoiceRecordsFolderAndName) {
    TempDir dir;
    makeShapefiles(dir.file("d"));
    auto mf = previousProject();
    ScriptedChooser chooser;
    chooser.answer = std::vector<DatasetItem>{{dir.file("d/lake.shp"), {}}, {dir.file("d/pts.shp"), {}}};
    RecordingMessages msgs;
    auto fc = Getshoreline(mf, 1, chooser, msgs);
    ASSERT_NE(fc, nullptr);
    EXPECT_EQ(fc->name(), "lake");  // only the first item counts
    ASSERT_EQ(chooser.asked.size(), 1u);
    EXPECT_EQ(chooser.asked[0].first, DatasetFilter::Shapefiles);
    EXPECT_EQ(chooser.asked[0].second, "Select a shoreline dataset");
    EXPECT_EQ(mf.shorecov, dir.file("d"));
    EXPECT_EQ(mf.shorename, "lake.shp");
    EXPECT_EQ(mf.shorefeature, "keep");
    EXPECT_TRUE(msgs.entries.empty());
    // The recorded place opens the same class again, ready for clipping.
    auto again = openShoreline(mf);
    EXPECT_EQ(again->featureCount(), 1);
    EXPECT_FALSE(pg::ClipPolygons::fromFeatureClass(*again).covers({500, 500}));

    // A kind the dialog never set: the shapefile filter, only the folder is recorded.
    auto mf2 = previousProject();
    EXPECT_NE(Getshoreline(mf2, 0, chooser, msgs), nullptr);
    EXPECT_EQ(mf2.shorecov, dir.file("d"));
    EXPECT_EQ(mf2.shorename, "coast.shp");
}

TEST(Shoreline, RefusedChoicesLeaveTheProjectAlone) {
    TempDir dir;
    makeShapefiles(dir.file("d"));
    std::ofstream(dir.file("d/bad.shp")) << "garbage that is not a shapefile";
    std::ofstream(dir.file("d/bad.shx")) << "garbage";
    std::ofstream(dir.file("d/bad.dbf")) << "garbage";
    // A shapefile cut short inside its polygon: the row is there, its shape is not.
    for (const char* ext : {".shp", ".shx", ".dbf", ".prj"})
        std::filesystem::copy_file(dir.file(std::string("d/lake") + ext), dir.file(std::string("d/cut") + ext));
    std::filesystem::resize_file(dir.file("d/cut.shp"), 150);
    const auto before = previousProject();
    struct Case {
        std::string path;
        std::string message;
    };
    const Case cases[] = {
        {dir.file("d/noref.shp"),
         "No spatial reference attached with the dataset. Please attach suitable spatial reference using a GIS tool."},
        {dir.file("d/pts.shp"), kShorelineNotPolygon},
        {dir.file("d/bad.shp"), "*"},
        {dir.file("d/cut.shp"), ""},
        {dir.file("d/missing.shp"), ""},
    };
    for (const auto& c : cases) {
        auto mf = previousProject();
        ScriptedChooser chooser;
        chooser.answer = std::vector<DatasetItem>{{c.path, {}}};
        RecordingMessages msgs;
        EXPECT_EQ(Getshoreline(mf, 1, chooser, msgs), nullptr) << c.path;
        ASSERT_EQ(msgs.entries.size(), 1u) << c.path;
        EXPECT_EQ(msgs.entries[0].icon, platform::MessageIcon::Critical);
        if (c.message == "*") {  // names the damaged file, whatever GDAL's words
            EXPECT_NE(msgs.entries[0].text.find("bad.shp"), std::string::npos) << msgs.entries[0].text;
        } else if (!c.message.empty()) {
            EXPECT_EQ(msgs.entries[0].text, c.message);
        }
        EXPECT_EQ(mf.shorecov, before.shorecov) << c.path;
        EXPECT_EQ(mf.shorename, before.shorename);
        EXPECT_EQ(mf.shorefeature, before.shorefeature);
    }
    // Cancelled: nothing, silently.
    auto mf = previousProject();
    ScriptedChooser cancel;
    RecordingMessages msgs;
    EXPECT_EQ(Getshoreline(mf, 1, cancel, msgs), nullptr);
    EXPECT_TRUE(msgs.entries.empty());
    EXPECT_EQ(mf.shorecov, "/old");
}

TEST(Shoreline, ClassInsideAWorkspaceRecordsTheContainerAndTheClass) {
    TempDir dir;
    {
        auto ws = pg::Workspace::createGeoPackage(dir.file("coast.gpkg"));
        auto c = ws->createFeatureClass("polygon", pg::GeometryType::Polygon, {}, pg::SpatialReference::fromEpsg(32755));
        pg::Feature f = c->createFeature();
        f.setShape(pg::Geometry::polygon({{0, 0}, {100, 0}, {100, 100}, {0, 100}}));
        c->store(f);
        ws->createFeatureClass("arc", pg::GeometryType::Polyline, {}, pg::SpatialReference::fromEpsg(32755));
    }
    auto mf = previousProject();
    ScriptedChooser chooser;
    chooser.answer = std::vector<DatasetItem>{{dir.file("coast.gpkg"), "polygon"}};
    RecordingMessages msgs;
    ASSERT_NE(Getshoreline(mf, 2, chooser, msgs), nullptr);
    EXPECT_EQ(chooser.asked[0].first, DatasetFilter::FeatureClasses);
    EXPECT_EQ(mf.shorecov, dir.path());
    EXPECT_EQ(mf.shorename, "coast.gpkg");
    EXPECT_EQ(mf.shorefeature, "polygon");
    // The clip later opens the chosen polygon class, not just the container.
    EXPECT_EQ(openShoreline(mf)->name(), "polygon");
    EXPECT_EQ(openShoreline(mf)->geometryType(), pg::GeometryType::Polygon);

    chooser.answer = std::vector<DatasetItem>{{dir.file("coast.gpkg"), "arc"}};
    auto mf2 = previousProject();
    EXPECT_EQ(Getshoreline(mf2, 2, chooser, msgs), nullptr);
    EXPECT_EQ(mf2.shorefeature, "keep");
}

TEST(Bathymetry, RasterChoiceRecordsNameAndCompleteName) {
    TempDir dir;
    makeRaster(dir.file("depth.tif"), true);
    makeRaster(dir.file("noref.tif"), false);
    std::ofstream(dir.file("junk.tif")) << "junk";

    auto mf = previousProject();
    ScriptedChooser chooser;
    chooser.answer = std::vector<DatasetItem>{{dir.file("depth.tif"), {}}};
    RecordingMessages msgs;
    auto r = Getbathymetry(mf, chooser, msgs);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(chooser.asked[0].first, DatasetFilter::Rasters);
    EXPECT_EQ(chooser.asked[0].second, "Select a Bathymetry Coverage");
    EXPECT_EQ(mf.bathyname, "depth.tif");
    EXPECT_EQ(mf.bathycov, dir.file("depth.tif"));
    EXPECT_EQ(openBathymetry(mf)->width(), 2);
    EXPECT_TRUE(msgs.entries.empty());

    for (const char* bad : {"noref.tif", "junk.tif"}) {
        auto m = previousProject();
        chooser.answer = std::vector<DatasetItem>{{dir.file(bad), {}}};
        RecordingMessages ms;
        EXPECT_EQ(Getbathymetry(m, chooser, ms), nullptr);
        ASSERT_EQ(ms.entries.size(), 1u);
        EXPECT_EQ(ms.entries[0].icon, platform::MessageIcon::Critical);
        EXPECT_EQ(m.bathycov, "/old/bathy.tif");
        EXPECT_EQ(m.bathyname, "bathy.tif");
    }
    RecordingMessages ms;
    auto m = previousProject();
    chooser.answer = std::vector<DatasetItem>{{dir.file("noref.tif"), {}}};
    Getbathymetry(m, chooser, ms);
    EXPECT_EQ(ms.entries.at(0).text,
              "No spatial reference attached with the bathymetry. Please attach suitable spatial reference using a GIS tool.");
}

// Choosing a raster checks every block but keeps none decoded: a run reads
// what it needs through its own handle, so holding them would double the memory.
TEST(Bathymetry, ChoosingARasterLeavesGdalsCacheAsItWas) {
    TempDir dir;
    const std::string path = dir.file("depth.tif");
    writeFlatRaster(path, 512, 512);
    const GIntBig before = GDALGetCacheUsed64();
    auto mf = previousProject();
    ScriptedChooser chooser;
    chooser.answer = std::vector<DatasetItem>{{path, {}}};
    RecordingMessages msgs;
    const auto raster = Getbathymetry(mf, chooser, msgs);
    ASSERT_NE(raster, nullptr);
    EXPECT_EQ(GDALGetCacheUsed64(), before);
}

TEST(Shoreline, RunsOpenTheShorelineThroughTheSameOpener) {
    TempDir dir;
    makeShapefiles(dir.file("d"));
    model::MainFormState mf;
    EXPECT_THROW(openShoreline(mf), pg::GisError);  // no shoreline chosen yet
    EXPECT_THROW(Shoreline::open(mf), pg::GisError);
    mf.shorecov = dir.file("d");
    mf.shorename = "lake.shp";
    mf.shorefeature = "ignored for a shapefile";
    const auto shore = Shoreline::open(mf);
    EXPECT_EQ(shore->spatialReference().epsgCode(), openShoreline(mf)->spatialReference().epsgCode());
    EXPECT_FALSE(shore->polygons().covers({500, 500}));
    mf.shorename = "nothere.shp";
    EXPECT_THROW(Shoreline::open(mf), pg::GisError);
}

TEST(Bathymetry, ADamagedRasterIsRefusedWithGdalsOwnReason) {
    TempDir dir;
    const std::string path = dir.file("cut.tif");
    writeFlatRaster(path, 300, 300);
    std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
    ASSERT_NO_THROW(pg::Raster::open(path)) << "the header still reads: only the cells are lost";

    const std::string said = refusedBathymetry(path);
    EXPECT_NE(said.find("is damaged"), std::string::npos) << said;
    EXPECT_EQ(said.find("NoData"), std::string::npos) << said;
    EXPECT_EQ(said.find("a block cannot be read"), std::string::npos) << "GDAL's words, not ours";

    // A run opening it is refused with the same reason.
    auto mf = previousProject();
    mf.bathycov = path;
    try {
        openBathymetry(mf);
        ADD_FAILURE() << "a damaged raster was opened";
    } catch (const pg::GisError& e) {
        EXPECT_EQ(std::string(e.what()), said.substr(said.find("The raster")));
    }
}

namespace {

// A small DEFLATE GeoTIFF of tiles whose header entries (tag -> 32-bit
// value) are then rewritten in the file's first directory; nothing else
// changes.
void writePatchedTiff(const std::string& path, int w, int h, int bands, const char* interleave, int tile,
                      const std::map<std::uint16_t, std::uint32_t>& patches) {
    {
        GDALAllRegister();
        const std::string size = std::to_string(tile);
        const std::string layout = std::string("INTERLEAVE=") + interleave;
        const std::string xs = "BLOCKXSIZE=" + size, ys = "BLOCKYSIZE=" + size;
        const char* options[] = {"TILED=YES", xs.c_str(), ys.c_str(), "COMPRESS=DEFLATE", layout.c_str(), nullptr};
        GDALDataset* ds = GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
            path.c_str(), w, h, bands, bands == 1 ? GDT_Float32 : GDT_Byte, const_cast<char**>(options));
        ASSERT_NE(ds, nullptr);
        double gt[6] = {0, 10, 0, 3500, 0, -10};
        ds->SetGeoTransform(gt);
        OGRSpatialReference srs;
        srs.importFromEPSG(32755);
        ds->SetSpatialRef(&srs);
        std::vector<float> depths(static_cast<std::size_t>(w) * h * bands, 5.0f);
        EXPECT_EQ(ds->RasterIO(GF_Write, 0, 0, w, h, depths.data(), w, h, GDT_Float32, bands, nullptr, 0, 0, 0),
                  CE_None);
        GDALClose(ds);
    }
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    char header[8];
    f.read(header, 8);
    ASSERT_EQ(std::string(header, 4), std::string("II*\0", 4)) << "a little-endian classic TIFF";
    std::uint32_t ifd;
    std::memcpy(&ifd, header + 4, 4);
    f.seekg(ifd);
    std::uint16_t entries = 0;
    f.read(reinterpret_cast<char*>(&entries), 2);
    std::size_t patched = 0;
    for (int i = 0; i < entries; ++i) {
        const std::streamoff at = ifd + 2 + 12 * i;
        std::uint16_t tag = 0;
        f.seekg(at);
        f.read(reinterpret_cast<char*>(&tag), 2);
        const auto it = patches.find(tag);
        if (it == patches.end()) continue;
        const std::uint16_t longType = 4;
        const std::uint32_t count = 1, value = it->second;
        f.seekp(at + 2);
        f.write(reinterpret_cast<const char*>(&longType), 2);
        f.write(reinterpret_cast<const char*>(&count), 4);
        f.write(reinterpret_cast<const char*>(&value), 4);
        ++patched;
    }
    ASSERT_EQ(patched, patches.size());
}

}  // namespace

// Small files whose headers ask for a block read of gigabytes: a huge tile
// of one band, and narrow tiles of 255 pixel-interleaved bands, which GDAL
// reads all together although only band 1 is wanted.
TEST(Bathymetry, AHeaderAskingForHugeBlocksIsRefusedBeforeAnyBlockIsRead) {
    constexpr std::uint16_t kImageLength = 257, kTileWidth = 322, kTileLength = 323;
    struct Case {
        const char* name;
        int width, height, bands;
        const char* interleave;
        int tile;
        std::map<std::uint16_t, std::uint32_t> patches;
        const char* said;
    };
    const std::vector<Case> cases = {
        {"tiles.tif", 600, 350, 1, "BAND", 256, {{kTileWidth, 65536}, {kTileLength, 65535}},
         "blocks of 65536 by 65535 cells,"},
        {"samples.tif", 64, 64, 255, "PIXEL", 64, {{kTileLength, 65535}, {kImageLength, 65535}},
         "blocks of 64 by 65535 cells in 255 bands read together,"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.file(c.name);
        writePatchedTiff(path, c.width, c.height, c.bands, c.interleave, c.tile, c.patches);
        ASSERT_LT(std::filesystem::file_size(path), 128u * 1024);

        // Should a block of that size ever be allocated, it fails here instead
        // of taking the machine's memory.
        const test::AddressSpaceCap cap(rlim_t{1} << 30);

        auto mf = previousProject();
        ScriptedChooser chooser;
        chooser.answer = std::vector<DatasetItem>{{path, {}}};
        RecordingMessages msgs;
        EXPECT_EQ(Getbathymetry(mf, chooser, msgs), nullptr);
        ASSERT_EQ(msgs.entries.size(), 1u);
        const std::string said = msgs.entries[0].text;
        EXPECT_NE(said.find(path), std::string::npos) << said;
        EXPECT_NE(said.find(c.said), std::string::npos) << said;

        // Runs and the project's display open it through the same door.
        mf.bathycov = path;
        EXPECT_THROW(openBathymetry(mf), pg::GisError);
        EXPECT_THROW(pg::Raster::open(path), pg::GisError);
    }
}
