#include <gtest/gtest.h>

#include <gdal_priv.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <sstream>
#include <thread>

#include "local_http_server.h"
#include "platform/gis/gis.h"
#include "test_support.h"

using namespace quor::platform::gis;
using quor::test::TempDir;

namespace {

// A north-up GeoTIFF with 10 m cells whose upper-left corner is (1000, 2000).
void writeTiff(const std::string& path, int w, int h, GDALDataType type, const std::vector<double>& values,
               std::optional<double> nodata, bool withSrs = true, const char* const* options = nullptr) {
    GDALAllRegister();
    auto* drv = GetGDALDriverManager()->GetDriverByName("GTiff");
    GDALDataset* ds = drv->Create(path.c_str(), w, h, 1, type, const_cast<char**>(options));
    ASSERT_NE(ds, nullptr);
    double gt[6] = {1000, 10, 0, 2000, 0, -10};
    ds->SetGeoTransform(gt);
    if (withSrs) {
        OGRSpatialReference srs;
        srs.importFromEPSG(32755);
        ds->SetSpatialRef(&srs);
    }
    if (nodata) ds->GetRasterBand(1)->SetNoDataValue(*nodata);
    std::vector<double> v = values;
    ASSERT_EQ(ds->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, w, h, v.data(), w, h, GDT_Float64, 0, 0), CE_None);
    GDALClose(ds);
}

// A one-row ERDAS Imagine raster of unit cells from x = 0, y = 0 down,
// which keeps its NoData value as given, in GDAL's signed bytes if asked.
void writeImg(const std::string& path, GDALDataType type, bool signedBytes, const std::vector<double>& cells,
              std::optional<double> nodata) {
    GDALAllRegister();
    const char* const signedByte[] = {"PIXELTYPE=SIGNEDBYTE", nullptr};
    const int w = static_cast<int>(cells.size());
    DatasetHandle ds(GetGDALDriverManager()->GetDriverByName("HFA")->Create(
        path.c_str(), w, 1, 1, type, const_cast<char**>(signedBytes ? signedByte : nullptr)));
    ASSERT_TRUE(ds);
    double gt[6] = {0, 1, 0, 0, 0, -1};
    ds->SetGeoTransform(gt);
    if (nodata) ds->GetRasterBand(1)->SetNoDataValue(*nodata);
    std::vector<std::int8_t> bytes(cells.begin(), cells.end());
    ASSERT_EQ(signedBytes ? ds->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, w, 1, bytes.data(), w, 1, GDT_Byte, 0, 0)
                          : ds->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, w, 1, const_cast<double*>(cells.data()), w,
                                                           1, GDT_Float64, 0, 0),
              CE_None);
}

}  // namespace

TEST(Raster, IdentifyHasThreeOutcomes) {
    TempDir dir;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    writeTiff(dir.file("b.tif"), 3, 2, GDT_Float32, {-3.1, 12.5, -9999, 0, nan, -0.25}, -9999);
    auto r = Raster::open(dir.file("b.tif"));
    EXPECT_EQ(r->width(), 3);
    EXPECT_EQ(r->height(), 2);
    EXPECT_DOUBLE_EQ(r->cellSizeX(), 10);
    EXPECT_DOUBLE_EQ(r->cellSizeY(), 10);
    EXPECT_EQ(r->extent(), (Envelope{1000, 1980, 1030, 2000}));
    EXPECT_EQ(r->spatialReference().epsgCode(), 32755);
    ASSERT_TRUE(r->noData().has_value());

    // A Float32 pixel reaches the model as its short decimal form.
    PixelValue v = r->identify(1005, 1995);
    ASSERT_TRUE(v.hasValue());
    EXPECT_EQ(v.value, -3.1);
    EXPECT_EQ(v.text(), "-3.1");
    EXPECT_EQ(r->identify(1015, 1995).value, 12.5);
    EXPECT_EQ(r->identify(1025, 1995).text(), "NoData");  // the nodata value
    EXPECT_TRUE(r->identify(1015, 1985).isNoData());      // NaN
    EXPECT_EQ(r->identify(1005, 1985).value, 0);          // zero is a value
    EXPECT_EQ(r->identify(1029.99, 1980.01).value, -0.25);
    // Off the raster, including the right and bottom edges.
    for (Point p : {Point{999.99, 1995}, Point{1030, 1995}, Point{1005, 1980}, Point{1005, 2000.01}, Point{nan, 1990}}) {
        EXPECT_TRUE(r->identify(p).isOutside()) << p.x << " " << p.y;
        EXPECT_EQ(r->identify(p).text(), "");
    }
    EXPECT_TRUE(r->identify(1000, 2000).hasValue());  // the upper-left corner belongs to the first cell

    auto mm = r->minMax();
    EXPECT_FLOAT_EQ(static_cast<float>(mm.first), -3.1f);
    EXPECT_FLOAT_EQ(static_cast<float>(mm.second), 12.5f);
}

// The extremes equal GDAL's exact minimum and maximum, and identify finds
// the same values, for every cell type and kind of NoData value: none, one
// the type holds, one it cannot hold exactly (compared in the cell's own
// type, as GDAL does), one beyond it, NaN; NaN cells and signed bytes.
TEST(Raster, ExtremesAndIdentifyReadEveryTypeAndNoDataAsGdal) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::optional<double> none;
    struct Case {
        GDALDataType type;
        bool signedBytes;
        std::vector<double> cells;
        std::vector<std::optional<double>> nodata;  // a raster each
    };
    const std::vector<Case> cases = {
        {GDT_Byte, false, {0, 7, 200, 255}, {none, 255, 0, 300, 254.5}},
        {GDT_Byte, true, {-128, -15, 5, 127}, {none, -128, 127, 255, -15.5}},
        {GDT_UInt16, false, {0, 9, 65535}, {none, 65535, -1, 9.5}},
        {GDT_Int16, false, {-32768, -9999, 12, 32767}, {none, -32768, -9999.5, 1e6}},
        {GDT_UInt32, false, {0, 5, 4294967295.0}, {none, 4294967295.0, -1}},
        {GDT_Int32, false, {-2147483648.0, -9999, 12, 2147483647}, {none, -2147483648.0, -9999.5}},
        // NoData values no float holds; one beyond every float marks nothing.
        {GDT_Float32, false, {-3.4e38, -12.5, -5, nan}, {none, -3.4e38, -1e39, nan}},
        {GDT_Float32, false, {-99.99, -12.5, -5, nan}, {-99.99}},
        // Cells nearly equal to the NoData value are NoData to GDAL too:
        // within a few float epsilons of it (-9999.001), and, near the
        // largest floats, every cell whose sum with it overflows (-2.5e38).
        {GDT_Float32, false, {-2.5e38, -1.5e38, -12.5}, {-1e38}},
        {GDT_Float64, false, {-9999, -9999.001, -9999.01, 12.5, nan}, {none, -9999, nan}},
    };
    TempDir dir;
    int n = 0;
    for (const Case& c : cases) {
        for (const std::optional<double>& nodata : c.nodata) {
            const std::string path = dir.file("c" + std::to_string(++n) + ".img");
            SCOPED_TRACE(GDALGetDataTypeName(c.type) + std::string(c.signedBytes ? " signed" : "") + " NoData " +
                         (nodata ? std::to_string(*nodata) : "none"));
            writeImg(path, c.type, c.signedBytes, c.cells, nodata);
            double gdal[2] = {0, 0};
            {
                DatasetHandle ds(static_cast<GDALDataset*>(GDALOpen(path.c_str(), GA_ReadOnly)));
                ASSERT_EQ(ds->GetRasterBand(1)->ComputeRasterMinMax(FALSE, gdal), CE_None);
            }
            auto r = Raster::open(path);
            EXPECT_EQ(r->minMax(), std::make_pair(gdal[0], gdal[1]));
            // A Float32 cell reaches identify as its shortest decimal text.
            const auto inType = [&](double v) { return c.type == GDT_Float32 ? static_cast<float>(v) : v; };
            double low = std::numeric_limits<double>::infinity(), high = -low;
            for (std::size_t i = 0; i < c.cells.size(); ++i) {
                const PixelValue v = r->identify(i + 0.5, -0.5);
                if (v.hasValue()) low = std::min(low, inType(v.value)), high = std::max(high, inType(v.value));
            }
            EXPECT_EQ(std::make_pair(low, high), std::make_pair(gdal[0], gdal[1]));
        }
    }
}

// 64-bit whole numbers near their NoData value: identify leaves out the
// cells GDAL's extremes leave out, on either side of it (cells on one side
// only, so that a cell wrongly read as a value moves an extreme).
TEST(Raster, SixtyFourBitCellsNearTheirNoDataReadAsGdalsExtremes) {
    TempDir dir;
    const struct {
        GDALDataType type;
        double noData;
        double side;
    } cases[] = {{GDT_Int64, 1e15, -1}, {GDT_Int64, 1e15, 1},   {GDT_Int64, -1e15, -1},
                 {GDT_Int64, -1e15, 1}, {GDT_UInt64, 1e15, -1}, {GDT_UInt64, 1e15, 1}};
    for (const auto& c : cases) {
        std::vector<double> cells;
        for (const double off : {0.0, 1e6, 1e8, 1e9, 1e10, 1e12}) cells.push_back(c.noData + c.side * off);
        const std::string path = dir.file(std::string(GDALGetDataTypeName(c.type)) + std::to_string(c.noData) +
                                          std::to_string(c.side) + ".tif");
        writeTiff(path, static_cast<int>(cells.size()), 1, c.type, cells, c.noData);
        double gdal[2] = {0, 0};
        {
            DatasetHandle ds(static_cast<GDALDataset*>(GDALOpen(path.c_str(), GA_ReadOnly)));
            ASSERT_EQ(ds->GetRasterBand(1)->ComputeRasterMinMax(FALSE, gdal), CE_None);
        }
        auto r = Raster::open(path);
        EXPECT_EQ(r->minMax(), std::make_pair(gdal[0], gdal[1])) << c.noData << " " << c.side;
        double low = std::numeric_limits<double>::infinity(), high = -low;
        int values = 0;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const PixelValue v = r->identify(1000 + 10 * i + 5, 1995);
            if (v.hasValue()) low = std::min(low, v.value), high = std::max(high, v.value), ++values;
        }
        EXPECT_EQ(std::make_pair(low, high), std::make_pair(gdal[0], gdal[1]))
            << GDALGetDataTypeName(c.type) << " " << c.noData << " " << c.side;
        EXPECT_LT(values, static_cast<int>(cells.size()) - 1) << "cells near the NoData value are NoData to GDAL";
    }
    // A raster none of whose cells holds a value says so.
    writeTiff(dir.file("none.tif"), 2, 1, GDT_Float32, {-9999, -9999}, -9999);
    try {
        Raster::open(dir.file("none.tif"))->minMax();
        ADD_FAILURE() << "extremes of no value";
    } catch (const GisError& e) {
        EXPECT_NE(std::string(e.what()).find("holds no data: every cell is NoData"), std::string::npos) << e.what();
    }
}

TEST(Raster, InfinitePixelsCarryNoDepth) {
    // A damaged or badly converted grid can hold infinities; they must not
    // become an infinite depth downstream.
    TempDir dir;
    const double inf = std::numeric_limits<double>::infinity();
    for (GDALDataType type : {GDT_Float32, GDT_Float64}) {
        const std::string path = dir.file(type == GDT_Float32 ? "f32.tif" : "f64.tif");
        writeTiff(path, 3, 2, type, {inf, -inf, 2.5, 0, 0, 0}, -9999);
        auto r = Raster::open(path);
        EXPECT_TRUE(r->identify(1005, 1995).isNoData());
        EXPECT_TRUE(r->identify(1015, 1995).isNoData());
        EXPECT_EQ(r->identify(1025, 1995).value, 2.5);
    }
}

// A mosaic of more cells than a 32-bit count holds (66038 by 67925 cells
// of about a metre over a 3 by 2 grid of 10 m) opens and reads as any
// other raster.
TEST(Raster, MoreCellsThanA32BitCountOpenAndRead) {
    TempDir dir;
    writeTiff(dir.file("b.tif"), 3, 2, GDT_Float32, {-3.5, 12.5, -1, 0, 7, -0.25}, -9999);
    const int cols = 66038, rows = 67925;
    const double cell = 30.0 / cols;
    std::ofstream(dir.file("m.vrt")) << "<VRTDataset rasterXSize=\"" << cols << "\" rasterYSize=\"" << rows << "\">"
        << "<GeoTransform>1000, " << cell << ", 0, 2000, 0, " << -20.0 / rows << "</GeoTransform>"
        << "<VRTRasterBand dataType=\"Float32\" band=\"1\"><NoDataValue>-9999</NoDataValue><SimpleSource>"
        << "<SourceFilename relativeToVRT=\"1\">b.tif</SourceFilename><SourceBand>1</SourceBand>"
        << "<SrcRect xOff=\"0\" yOff=\"0\" xSize=\"3\" ySize=\"2\"/>"
        << "<DstRect xOff=\"0\" yOff=\"0\" xSize=\"" << cols << "\" ySize=\"" << rows << "\"/>"
        << "</SimpleSource></VRTRasterBand></VRTDataset>";
    auto r = Raster::open(dir.file("m.vrt"));
    EXPECT_EQ(r->width(), cols);
    EXPECT_EQ(r->height(), rows);
    EXPECT_EQ(r->identify(1005, 1995).value, -3.5);
    EXPECT_EQ(r->identify(1029.9, 1980.1).value, -0.25);
    EXPECT_EQ(r->identify(1015, 1985).value, 7);
}

TEST(Raster, BlocksAreCountedUpToTheWidestWidth) {
    const int widest = std::numeric_limits<int>::max();
    EXPECT_EQ(blockCount(widest, 128), 16777216);
    EXPECT_EQ(blockCount(widest, widest), 1);
    EXPECT_EQ(blockCount(256, 128), 2);
}

// A limit on the process, not the machine, refuses the block: the user is
// told so and what gets the raster read.
TEST(Raster, ABlockRefusedUnderAProcessLimitSaysWhatHelps) {
    TempDir dir;
    GDALAllRegister();
    const char* const oneStrip[] = {"BLOCKYSIZE=2048", "COMPRESS=DEFLATE", "SPARSE_OK=TRUE", nullptr};
    GDALClose(GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
        dir.file("strip.tif").c_str(), 8192, 2048, 1, GDT_Float32, const_cast<char**>(oneStrip)));
    const quor::test::AddressSpaceCap cap(rlim_t{512} << 20);  // a 64 MB block against a 32 MB share
    try {
        Raster::open(dir.file("strip.tif"));
        FAIL() << "opened";
    } catch (const GisError& e) {
        const std::string said = e.what();
        EXPECT_NE(said.find("blocks of 8192 by 2048 cells, too large to read under the memory limit"),
                  std::string::npos) << said;
        EXPECT_NE(said.find("gdal_translate -co TILED=YES"), std::string::npos) << said;
    }
}

// A large raster's exact extremes take a long reading, which shows its
// progress instead of leaving the window looking hung.
TEST(Raster, TheExactExtremesReportTheirReadingAsTheyGo) {
    TempDir dir;
    const int w = 64, h = 400;
    std::vector<double> values(static_cast<std::size_t>(w) * h, -5);
    values[3] = -9999;  // NoData
    values[w * 7 + 5] = -41.25;
    values[w * (h - 1) + 60] = 3.5;
    const char* const rowStrips[] = {"BLOCKYSIZE=1", nullptr};
    writeTiff(dir.file("b.tif"), w, h, GDT_Float32, values, -9999, true, rowStrips);
    auto r = Raster::open(dir.file("b.tif"));
    quor::test::RecordingProgress progress;
    EXPECT_EQ(r->minMax(&progress), std::make_pair(-41.25, 3.5));
    ASSERT_FALSE(progress.bar1History.empty());
    EXPECT_TRUE(std::is_sorted(progress.bar1History.begin(), progress.bar1History.end()));
    EXPECT_EQ(progress.bar1History.back(), 100);
    EXPECT_GE(progress.yields, 50) << "the event loop gets a turn as the reading goes on";
}

TEST(Raster, IntegerTiledAndAsciiGridsReadAlike) {
    TempDir dir;
    std::vector<double> vals(300 * 200);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x) vals[static_cast<std::size_t>(y) * 300 + x] = x - y;
    const char* tiled[] = {"TILED=YES", "BLOCKXSIZE=64", "BLOCKYSIZE=32", "COMPRESS=DEFLATE", nullptr};
    writeTiff(dir.file("t.tif"), 300, 200, GDT_Int16, vals, -32768, true, tiled);
    auto r = Raster::open(dir.file("t.tif"));
    // Walk across block boundaries in both directions and back.
    for (int y : {0, 31, 32, 33, 199})
        for (int x : {0, 63, 64, 65, 299, 64, 0}) {
            const PixelValue v = r->identify(1000 + 10 * x + 5, 2000 - 10 * y - 5);
            ASSERT_TRUE(v.hasValue());
            EXPECT_EQ(v.value, x - y);
        }

    std::ofstream(dir.file("g.asc")) << "ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 5\nNODATA_value -1\n"
                                        "1.5 -1\n-2 4\n";
    auto a = Raster::open(dir.file("g.asc"));
    EXPECT_EQ(a->identify(2, 8).value, 1.5);
    EXPECT_TRUE(a->identify(7, 8).isNoData());
    EXPECT_EQ(a->identify(7, 2).value, 4);
    EXPECT_TRUE(a->spatialReference().isNone());
    EXPECT_EQ(a->name(), "g.asc");
}

// Bulk reads give exactly what identify gives, on one-row strips and on
// small tiles, with far more blocks than the raster holds at once and
// runs whose points fight for the same held block.
TEST(Raster, ManyPointsReadAsOneAtATimeOnStripedAndTiledFiles) {
    TempDir dir;
    const int w = 40, h = 3000;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> vals(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            vals[static_cast<std::size_t>(y) * w + x] =
                (x * 7 + y) % 211 == 0 ? -9999 : (x + y) % 307 == 0 ? nan : -0.01 * (x * 13 + y * 0.37) - 0.003;
    const char* striped[] = {"BLOCKYSIZE=1", nullptr};
    const char* tiled[] = {"TILED=YES", "BLOCKXSIZE=16", "BLOCKYSIZE=16", nullptr};
    writeTiff(dir.file("s.tif"), w, h, GDT_Float32, vals, -9999, true, striped);
    writeTiff(dir.file("t.tif"), w, h, GDT_Float32, vals, -9999, true, tiled);

    std::vector<Point> pts;
    unsigned seed = 7;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    for (int i = 0; i < 5000; ++i)  // scattered, some off the raster
        pts.push_back({995 + (next() % 4100) / 10.0, 2005 - (next() % 300100) / 10.0});
    for (int i = 0; i < 600; ++i)  // rows 1,024 apart take the same place among the held blocks
        pts.push_back({1005 + 10 * (i % w), 1995 - 10 * ((i * 1024 + i / 3) % h)});
    pts.push_back({nan, 1990});
    for (const char* name : {"s.tif", "t.tif"}) {
        auto r = Raster::open(dir.file(name));
        auto one = Raster::open(dir.file(name));
        const std::vector<PixelValue> many = r->identifyMany(pts);
        ASSERT_EQ(many.size(), pts.size());
        int values = 0, nodata = 0, outside = 0;
        for (std::size_t i = 0; i < pts.size(); ++i) {
            const PixelValue v = one->identify(pts[i]);
            ASSERT_EQ(many[i].kind, v.kind) << name << " " << i;
            ASSERT_EQ(std::memcmp(&many[i].value, &v.value, sizeof v.value), 0) << name << " " << i;
            values += v.hasValue(), nodata += v.isNoData(), outside += v.isOutside();
        }
        EXPECT_GT(values, 4000);
        EXPECT_GT(nodata, 10);
        EXPECT_GT(outside, 10);
        EXPECT_EQ(r->identify(1015, 1995).value, -0.133);  // the shortest decimal reading, as before
        EXPECT_TRUE(r->identifyMany(std::vector<Point>{}).empty());
    }
}

// Handles on several threads that share one store of decoded blocks read
// exactly what a handle of its own reads, also once the store is full and
// each keeps the blocks beyond it to itself.
TEST(Raster, HandlesSharingAFullStoreReadWhatAHandleOfItsOwnReads) {
    TempDir dir;
    const int w = 64, h = 2048;
    std::vector<double> vals(static_cast<std::size_t>(w) * h);
    for (std::size_t i = 0; i < vals.size(); ++i) vals[i] = -0.25 * static_cast<double>(i % 9973) - 0.5;
    const char* tiled[] = {"TILED=YES", "BLOCKXSIZE=16", "BLOCKYSIZE=16", nullptr};
    writeTiff(dir.file("t.tif"), w, h, GDT_Float32, vals, -9999, true, tiled);
    std::vector<Point> pts;
    for (int i = 0; i < 20000; ++i) pts.push_back({1005 + 10 * ((i * 37) % w), 1995 - 10 * ((i * 101) % h)});
    const std::vector<PixelValue> alone = Raster::open(dir.file("t.tif"))->identifyMany(pts);

    // Room for a tenth of the 512 blocks, begun with those a handle decoded.
    auto first = Raster::open(dir.file("t.tif"));
    first->identifyMany(std::vector<Point>(pts.begin(), pts.begin() + 2000));
    auto store = first->takeSharedBlocks(51 * 16 * 16 * 4);
    std::vector<std::vector<PixelValue>> read(4);
    std::vector<std::thread> threads;
    for (auto& out : read)
        threads.emplace_back([&, o = &out] {
            auto r = Raster::open(dir.file("t.tif"));
            r->shareBlocks(store);
            *o = r->identifyMany(pts);
        });
    for (auto& t : threads) t.join();
    for (const auto& out : read) {
        ASSERT_EQ(out.size(), alone.size());
        for (std::size_t i = 0; i < out.size(); ++i) {
            ASSERT_EQ(out[i].kind, alone[i].kind) << i;
            ASSERT_EQ(out[i].value, alone[i].value) << i;
        }
    }
    std::size_t published = 0;
    for (std::size_t k = 0; k < store->blocks(); ++k) published += store->find(k) != nullptr;
    EXPECT_LE(published, 51u);
    EXPECT_GT(published, 0u);
}

// Read whole on several threads, a raster gives the extremes one thread
// gives (GDAL's, to the sign of a zero that ends them) and hands every
// block it decoded on to the workers' store, read there as a handle of its
// own reads it.
TEST(Raster, ReadWholeOnSeveralThreadsGivesOneThreadsExtremesAndItsBlocks) {
    TempDir dir;
    const int w = 64, h = 512;
    std::vector<double> vals(static_cast<std::size_t>(w) * h);
    for (std::size_t i = 0; i < vals.size(); ++i) vals[i] = -0.25 * static_cast<double>(i % 9973) - 0.5;
    vals[static_cast<std::size_t>(20 * w + 3)] = -0.0;  // a zero of either sign tops the cells
    vals[static_cast<std::size_t>(400 * w + 50)] = 0.0;
    const char* tiled[] = {"TILED=YES", "BLOCKXSIZE=16", "BLOCKYSIZE=16", nullptr};
    const std::string path = dir.file("t.tif");
    writeTiff(path, w, h, GDT_Float32, vals, -9999, true, tiled);
    double gdal[2] = {0, 0};
    {
        DatasetHandle ds(static_cast<GDALDataset*>(GDALOpen(path.c_str(), GA_ReadOnly)));
        ASSERT_EQ(ds->GetRasterBand(1)->ComputeRasterMinMax(FALSE, gdal), CE_None);
    }
    auto one = Raster::open(path);
    one->readWhole(1, kSharedBlockBytes);
    auto four = Raster::open(path);
    four->readWhole(4, kSharedBlockBytes);
    EXPECT_EQ(four->minMax(), std::make_pair(gdal[0], gdal[1]));
    EXPECT_EQ(four->minMax(), one->minMax());
    EXPECT_EQ(std::signbit(four->minMax().second), std::signbit(one->minMax().second));

    auto store = four->takeSharedBlocks(kSharedBlockBytes);
    std::size_t published = 0;
    for (std::size_t k = 0; k < store->blocks(); ++k) published += store->find(k) != nullptr;
    EXPECT_EQ(published, store->blocks());
    std::vector<Point> pts;
    for (int i = 0; i < 5000; ++i) pts.push_back({1005 + 10 * ((i * 37) % w), 1995 - 10 * ((i * 101) % h)});
    auto shared = Raster::open(path);
    shared->shareBlocks(store);
    const std::vector<PixelValue> alone = Raster::open(path)->identifyMany(pts), read = shared->identifyMany(pts);
    for (std::size_t i = 0; i < pts.size(); ++i) {
        ASSERT_EQ(read[i].kind, alone[i].kind) << i;
        ASSERT_EQ(read[i].value, alone[i].value) << i;
    }
}

TEST(Raster, UnreadableRastersAreRefused) {
    TempDir dir;
    EXPECT_THROW(Raster::open(dir.file("missing.tif")), GisError);
    std::ofstream(dir.file("junk.tif")) << "not a tiff";
    EXPECT_THROW(Raster::open(dir.file("junk.tif")), GisError);
    // A truncated file: opening or reading its pixels fails with a GisError.
    std::vector<double> vals(512 * 512, 1.0);
    writeTiff(dir.file("full.tif"), 512, 512, GDT_Float32, vals, std::nullopt);
    std::filesystem::copy_file(dir.file("full.tif"), dir.file("cut.tif"));
    std::filesystem::resize_file(dir.file("cut.tif"), 4000);
    try {
        auto r = Raster::open(dir.file("cut.tif"));
        EXPECT_THROW(
            {
                for (int y = 0; y < 512; y += 16) r->identify(1005, 2000 - 10 * y - 5);
            },
            GisError);
    } catch (const GisError&) {
        SUCCEED();
    }
}

// A VRT whose source lies on a server that does not answer is whole: it
// is the source that cannot be reached, whichever reading finds it.
TEST(Raster, AVrtWhoseSourceCannotBeReachedIsSaidSoNotDamaged) {
    TempDir dir;
    std::string source;
    {
        // A port that was just listened on, and no longer is.
        quor::test::LocalHttpServer gone;
        source = "/vsicurl/" + gone.address() + "/bay.tif";
    }
    const std::string vrt = dir.file("remote.vrt");
    std::ofstream(vrt) << "<VRTDataset rasterXSize=\"64\" rasterYSize=\"64\">"
                          "<GeoTransform>1000, 10, 0, 2000, 0, -10</GeoTransform>"
                          "<VRTRasterBand dataType=\"Float32\" band=\"1\"><SimpleSource>"
                          "<SourceFilename relativeToVRT=\"0\">" << source << "</SourceFilename>"
                          "<SourceBand>1</SourceBand>"
                          "<SourceProperties RasterXSize=\"64\" RasterYSize=\"64\" DataType=\"Float32\" "
                          "BlockXSize=\"64\" BlockYSize=\"64\"/>"
                          "</SimpleSource></VRTRasterBand></VRTDataset>";
    const std::vector<std::pair<const char*, std::function<void(Raster&)>>> readings = {
        {"checked", [](Raster& r) { r.checkBlocks(); }},
        {"read whole on two threads", [](Raster& r) { r.readWhole(2, kSharedBlockBytes); }},
        {"its extremes", [](Raster& r) { r.minMax(); }},
    };
    for (const auto& [how, read] : readings) {
        SCOPED_TRACE(how);
        const auto raster = Raster::open(vrt);
        try {
            read(*raster);
            ADD_FAILURE() << "the raster read";
        } catch (const GisError& e) {
            const std::string said = e.what();
            EXPECT_NE(said.find(source + ", which cannot be reached."), std::string::npos) << said;
            EXPECT_EQ(said.find("damaged"), std::string::npos) << said;
        }
    }
}

TEST(Raster, RealBayPixelsUnderEverySite) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    auto metres = Raster::open(data + "/bathy_portphillip_m.tif");
    auto centimetres = Raster::open(data + "/bathy_portphillip_cm.tif");
    EXPECT_DOUBLE_EQ(metres->cellSizeX(), 20);
    EXPECT_EQ(metres->spatialReference().epsgCode(), 32755);
    auto ws = Workspace::open(data + "/sites_portphillip.shp");
    auto sites = ws->openFeatureClass("sites_portphillip");
    std::map<std::int64_t, Point> where;
    auto cur = sites->search();
    while (auto f = cur.next()) where[toInt(f->value("SITE_ID"))] = f->shape().asPoint();

    std::ifstream in(data + "/sites_portphillip.csv");
    std::string line;
    std::getline(in, line);
    int n = 0, nodata = 0, outside = 0;
    while (std::getline(in, line)) {
        std::vector<std::string> c;
        std::stringstream ss(line);
        for (std::string s; std::getline(ss, s, ',');) c.push_back(s);
        const Point p = where.at(std::stoll(c[0]));
        const PixelValue m = metres->identify(p), cm = centimetres->identify(p);
        if (c[10] == "OUTSIDE") {
            EXPECT_TRUE(m.isOutside()) << c[0];
            ++outside;
        } else if (c[10] == "NODATA") {
            EXPECT_TRUE(m.isNoData()) << c[0];
            EXPECT_TRUE(cm.isNoData()) << c[0];
            ++nodata;
        } else {
            ASSERT_TRUE(m.hasValue()) << c[0];
            EXPECT_EQ(m.value, std::stod(c[10])) << c[0];
            EXPECT_EQ(cm.value, std::stod(c[11])) << c[0];
        }
        ++n;
    }
    EXPECT_EQ(n, 1015);
    EXPECT_EQ(outside, 5);
    EXPECT_GE(nodata, 7);
}

TEST(Raster, NothingIsWrittenBesideAnOpenedRaster) {
    TempDir dir;
    writeTiff(dir.file("s.tif"), 2, 2, GDT_Float32, {1, 2, 3, 4}, std::nullopt);
    {
        auto r = Raster::open(dir.file("s.tif"));
        EXPECT_EQ(r->minMax(), std::make_pair(1.0, 4.0));
        // Statistics GDAL would otherwise keep in an .aux.xml file on close.
        double mn, mx, mean, sd;
        ASSERT_EQ(r->dataset()->GetRasterBand(1)->ComputeStatistics(FALSE, &mn, &mx, &mean, &sd, nullptr, nullptr),
                  CE_None);
        EXPECT_DOUBLE_EQ(mean, 2.5);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("s.tif.aux.xml")));
    // An auxiliary file that is there is still read: its NoData value counts.
    {
        std::ofstream aux(dir.file("s.tif.aux.xml"));
        aux << "<PAMDataset><PAMRasterBand band=\"1\"><NoDataValue>2</NoDataValue></PAMRasterBand></PAMDataset>";
    }
    auto r = Raster::open(dir.file("s.tif"));
    EXPECT_TRUE(r->identify(1015, 1995).isNoData());
}
