// Changing a shapefile's fields as a run does before its first site, with
// the program killed at many moments meanwhile: the user's table is
// afterwards either the old one, byte for byte, or the whole new one with
// every old column's bytes as they were; a half-made table never stays.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <thread>

#include "exchanges.h"
#include "platform/file_replacement.h"
#include "platform/gis/gis.h"
#include "refused_writes.h"
#include "test_support.h"

namespace fs = std::filesystem;
using namespace quor::platform::gis;
using quor::test::TempDir;

namespace {

constexpr int kSites = 5000;

std::vector<FieldDef> resultFields(const std::string& prefix, int count) {
    std::vector<FieldDef> defs;
    for (int i = 1; i <= count; ++i) defs.emplace_back(prefix + std::to_string(i), FieldType::Double, std::string(), 30);
    return defs;
}

// The user's sites: a text and a number of their own on every row.
void makeSites(const std::string& folder) {
    fs::create_directories(folder);
    auto fc = Workspace::open(folder)->createFeatureClass(
        "sites", GeometryType::Point,
        {{"SITE_ID", FieldType::String, std::string(), 10}, {"CATEGORY", FieldType::Integer, std::string(), 6}});
    auto cursor = fc->insertCursor();
    for (int i = 0; i < kSites; ++i) {
        Feature f = fc->createFeature();
        f.setShape(Geometry::point({1000.0 + i, 2000.0 - i}));
        f.setValue("SITE_ID", "S" + std::to_string(i));
        f.setValue("CATEGORY", std::int64_t{i % 7});
        cursor.insert(f);
    }
    cursor.flush();
    fc->flush();
}

void copyFolder(const std::string& from, const std::string& to) {
    fs::remove_all(to);
    fs::create_directories(to);
    for (const auto& e : fs::directory_iterator(from)) fs::copy_file(e.path(), fs::path(to) / e.path().filename());
}

struct Table {
    std::uint32_t rows = 0;
    std::size_t headerLength = 0, rowLength = 0;
    struct Column {
        std::string name;
        std::size_t offset, width;
    };
    std::vector<Column> columns;
    std::string bytes;

    explicit Table(std::string b) : bytes(std::move(b)) {
        auto u = [&](std::size_t i) { return static_cast<unsigned char>(bytes.at(i)); };
        rows = u(4) | (u(5) << 8) | (u(6) << 16) | (static_cast<std::uint32_t>(u(7)) << 24);
        headerLength = u(8) | (u(9) << 8);
        rowLength = u(10) | (u(11) << 8);
        std::size_t offset = 1;
        for (std::size_t at = 32; bytes.at(at) != 0x0D; at += 32) {
            columns.push_back({std::string(bytes.c_str() + at), offset, u(at + 16)});
            offset += u(at + 16);
        }
    }
    std::string cell(std::uint32_t row, const Column& c) const {
        return bytes.substr(headerLength + row * rowLength + c.offset, c.width);
    }
    const Column* column(const std::string& name) const {
        for (const auto& c : columns)
            if (c.name == name) return &c;
        return nullptr;
    }
};

enum class Found { Old, New };

// What a kill left: the old table as it was, or the whole new one with the
// old columns' bytes kept (and those emptied made empty).
Found check(const std::string& oldBytes, const std::string& nowBytes, int added,
            const std::vector<std::string>& emptied) {
    if (nowBytes == oldBytes) return Found::Old;
    const Table before(oldBytes), now(nowBytes);
    EXPECT_EQ(now.rows, before.rows);
    EXPECT_EQ(now.columns.size(), before.columns.size() + static_cast<std::size_t>(added));
    EXPECT_EQ(now.bytes.size(), now.headerLength + now.rows * now.rowLength + 1) << "a table cut short";
    for (const auto& c : before.columns) {
        const Table::Column* n = now.column(c.name);
        if (!n) {
            ADD_FAILURE() << "the column " << c.name << " is gone";
            continue;
        }
        const bool empty = std::find(emptied.begin(), emptied.end(), c.name) != emptied.end();
        for (std::uint32_t r = 0; r < before.rows; ++r)
            if (now.cell(r, *n) != (empty ? std::string(c.width, '*') : before.cell(r, c))) {
                ADD_FAILURE() << c.name << " of row " << r << " reads " << now.cell(r, *n);
                break;
            }
    }
    return Found::New;
}

// Runs `change` in a child process, which writes a byte to the descriptor
// it is given as the change begins; killed `after` that (never, when
// negative).
void killedWhile(const std::function<void(int)>& change, std::chrono::microseconds after) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::close(ready[0]);
        try {
            change(ready[1]);
        } catch (...) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    ::close(ready[1]);
    char c;
    const bool started = ::read(ready[0], &c, 1) == 1;
    ::close(ready[0]);
    if (started && after.count() >= 0) {
        std::this_thread::sleep_for(after);
        ::kill(pid, SIGKILL);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
}

// Opens the sites as a run does, says it begins, then changes them.
std::function<void(int)> changeOf(const std::string& folder, const std::vector<FieldDef>& add,
                                  const std::vector<std::string>& empty) {
    return [=](int ready) {
        auto fc = Workspace::open(folder)->openFeatureClass("sites");
        const char go = 'g';
        if (::write(ready, &go, 1) != 1) ::_exit(2);
        fc->changeFields(add, empty);
    };
}

// Kills the change at moments spread over the time it takes, and once
// lets it end; checks each outcome, and that the next change on the
// dataset clears whatever half-made table the kill left.
void killAtManyMoments(const std::string& pristine, const std::vector<FieldDef>& add,
                       const std::vector<std::string>& empty) {
    TempDir dir;
    const std::string folder = dir.path() + "/sites";
    const std::string oldBytes = quor::test::fileBytes(pristine + "/sites.dbf");
    const std::string partial = quor::platform::FileReplacement::partialPath(folder + "/sites.dbf");

    copyFolder(pristine, folder);
    const auto start = std::chrono::steady_clock::now();
    Workspace::open(folder)->openFeatureClass("sites")->changeFields(add, empty);
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);

    constexpr int kMoments = 30;
    int found[2] = {0, 0};
    for (int i = 0; i <= kMoments; ++i) {
        copyFolder(pristine, folder);
        // The last moment is past the end: the change is let finish.
        const auto after = i == kMoments ? std::chrono::microseconds(-1) : took * i / (kMoments - 5);
        killedWhile(changeOf(folder, add, empty), after);
        const Found f = check(oldBytes, quor::test::fileBytes(folder + "/sites.dbf"), static_cast<int>(add.size()), empty);
        ++found[static_cast<int>(f)];
        if (i == kMoments) {
            EXPECT_EQ(f, Found::New);
        }
        // The next run on the dataset clears a half-made table.
        Workspace::open(folder)->openFeatureClass("sites")->changeFields({}, {});
        EXPECT_FALSE(fs::exists(partial)) << "after the kill at " << after.count() << " us";
        for (const auto& e : fs::directory_iterator(folder)) EXPECT_EQ(e.path().stem(), "sites") << e.path();
    }
    std::cout << "over " << took.count() << " us: " << found[0] << " old tables, " << found[1] << " new ones\n";
}

}  // namespace

TEST(TableChange, AKillWhileFieldsAreAddedOrEmptiedLeavesTheOldTableOrTheWholeNewOne) {
    TempDir dir;
    const std::string pristine = dir.path() + "/pristine";
    makeSites(pristine);
    // A first run: its 41 fields are added.
    killAtManyMoments(pristine, resultFields("R", 41), {});
    // A re-run: the values it replaces are emptied as its missing field is added.
    auto fc = Workspace::open(pristine)->openFeatureClass("sites");
    fc->addFields(resultFields("R", 41));
    {
        Workspace::Transaction tx(*fc->workspace());
        auto cursor = fc->search();
        while (auto f = cursor.next()) {
            for (int i = 1; i <= 41; ++i) f->setValue("R" + std::to_string(i), 0.5 * i);
            fc->store(*f);
        }
        tx.commit();
    }
    fc->flush();
    fc.reset();
    killAtManyMoments(pristine, {FieldDef("IIndex", FieldType::Double, std::string(), 30)},
                      {"R1", "R2", "R3", "R4", "R5", "R6", "R7", "R8", "R9"});
}

namespace {

// A small table of the user's, as GDAL writes it, then altered by `alter`
// as another program may have written it.
std::string alteredSites(const TempDir& dir, const std::string& name, const std::function<void(std::string&)>& alter) {
    const std::string folder = dir.path() + "/" + name;
    fs::create_directories(folder);
    {
        auto fc = Workspace::open(folder)->createFeatureClass("sites", GeometryType::Point,
                                                              {{"CATEGORY", FieldType::Integer, std::string(), 6}});
        for (int i = 0; i < 5; ++i) {
            Feature f = fc->createFeature();
            f.setShape(Geometry::point({1000.0 + i, 2000.0}));
            f.setValue("CATEGORY", std::int64_t{i + 1});
            fc->store(f);
        }
    }
    std::string bytes = quor::test::fileBytes(folder + "/sites.dbf");
    alter(bytes);
    std::ofstream(folder + "/sites.dbf", std::ios::binary | std::ios::trunc) << bytes;
    return folder;
}

void put16(std::string& b, std::size_t at, unsigned v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8);
}

// The values of a field as GDAL reads the table afresh.
std::vector<std::string> readByGdal(const std::string& folder, const std::string& field) {
    std::vector<std::string> values;
    GDALDatasetUniquePtr ds(GDALDataset::Open((folder + "/sites.shp").c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    if (!ds) return {"(GDAL cannot open the table)"};
    OGRLayer* layer = ds->GetLayer(0);
    const int i = layer->GetLayerDefn()->GetFieldIndex(field.c_str());
    for (auto& f : *layer) values.push_back(i < 0 ? "(no field)" : f->IsFieldSetAndNotNull(i) ? f->GetFieldAsString(i) : "");
    return values;
}

}  // namespace

// Tables other programs write, read as GDAL reads them: names padded with
// blanks, rows wider than their fields, a header counting fewer rows than
// the file holds. A first run's fields go in, a re-run empties what it
// names, and GDAL and a reader that walks the rows to the table's end
// mark both read the new table.
TEST(TableChange, ReadsEveryTableAsGdalDoes) {
    TempDir dir;
    {
        SCOPED_TRACE("names padded with blanks");
        const std::string folder = alteredSites(dir, "padded-names", [](std::string& b) {
            for (std::size_t at = 32; b[at] != 0x0D; at += 32)
                for (std::size_t k = 0; k < 11; ++k)
                    if (b[at + k] == '\0') b[at + k] = ' ';
        });
        auto fc = Workspace::open(folder)->openFeatureClass("sites");
        ASSERT_GE(fc->findField("CATEGORY"), 2);
        fc->changeFields({}, {"CATEGORY"});
        EXPECT_EQ(readByGdal(folder, "CATEGORY"), std::vector<std::string>(5, ""));
    }
    {
        SCOPED_TRACE("rows wider than their fields");
        const std::string folder = alteredSites(dir, "padded-rows", [](std::string& b) {
            const Table t(b);
            std::string rows;
            for (std::uint32_t r = 0; r < t.rows; ++r) rows += b.substr(t.headerLength + r * t.rowLength, t.rowLength) + "PP";
            put16(b, 10, static_cast<unsigned>(t.rowLength + 2));
            b = b.substr(0, t.headerLength) + rows + "\x1A";
        });
        auto fc = Workspace::open(folder)->openFeatureClass("sites");
        fc->addFields(resultFields("R", 3));
        Feature f = fc->feature(2);
        f.setValue("R2", 2.5);
        fc->store(f);
        fc->flush();
        EXPECT_EQ(readByGdal(folder, "CATEGORY"), (std::vector<std::string>{"1", "2", "3", "4", "5"}));
        EXPECT_EQ(readByGdal(folder, "R2"), (std::vector<std::string>{"", "", "2.500000000000000", "", ""}));
        const Table t(quor::test::fileBytes(folder + "/sites.dbf"));
        for (std::uint32_t r = 0; r < t.rows; ++r)
            EXPECT_EQ(t.bytes.substr(t.headerLength + (r + 1) * t.rowLength - 2, 2), "PP") << "row " << r;
    }
    {
        SCOPED_TRACE("a header counting fewer rows than the file holds");
        const std::string folder = alteredSites(dir, "uncounted-rows", [](std::string& b) { b[4] = 3; });
        Workspace::open(folder)->openFeatureClass("sites")->addFields(resultFields("R", 3));
        EXPECT_EQ(readByGdal(folder, "CATEGORY"), (std::vector<std::string>{"1", "2", "3"}));
        const Table t(quor::test::fileBytes(folder + "/sites.dbf"));
        EXPECT_EQ(t.rows, 3u);
        ASSERT_EQ(t.bytes.size(), t.headerLength + t.rows * t.rowLength + 1) << "rows past the end mark";
        EXPECT_EQ(t.bytes.back(), '\x1A');
    }
}

// A table whose name is as long as a disk allows is changed like any other.
TEST(TableChange, ATableWithTheLongestNameTakesAFirstRun) {
    TempDir dir;
    const std::string name(246, 's');  // "<name>.dbf": 250 bytes
    auto fc = Workspace::open(dir.path())->createFeatureClass(name, GeometryType::Point, {});
    Feature f = fc->createFeature();
    f.setShape(Geometry::point({1, 2}));
    fc->store(f);
    fc->addFields(resultFields("R", 41));
    Feature row = fc->feature(0);
    row.setValue("R41", 0.25);
    fc->store(row);
    EXPECT_DOUBLE_EQ(toDouble(fc->feature(0).value("R41")), 0.25);
}

// A geodatabase's full disk is told in words, naming the dataset, never
// in the statement the store was running; nothing changes.
TEST(TableChange, AGeodatabaseOnAFullDiskSaysSo) {
    TempDir dir;
    auto ws = Workspace::createGeoPackage(dir.file("bay1.gpkg"));
    auto fc = ws->createFeatureClass("Pointdata1", GeometryType::Point, {{"X", FieldType::Double}});
    Feature f = fc->createFeature();
    f.setShape(Geometry::point({1, 2}));
    fc->store(f);
    try {
        const quor::test::RefusedWrites full(dir.path(), 0);
        fc->addFields(resultFields("R", 3));
        ADD_FAILURE() << "the fields were added on a full disk";
    } catch (const DiskFullError& e) {
        EXPECT_STREQ(e.what(), "The fields cannot be added to Pointdata1: the disk is full. Nothing was changed.");
    }
    EXPECT_EQ(fc->findField("R1"), -1);
}

namespace {

struct UserField {
    const char* name;
    OGRFieldType type;
    int width, precision;
};

// Four sites with fields of the user's own, made by another program as
// narrow as it liked; `fill` gives row `i` its values.
std::string sitesOf(const TempDir& dir, const std::string& name, const std::vector<UserField>& fields,
                    const std::function<void(OGRFeature&, int i)>& fill) {
    const std::string folder = dir.path() + "/" + name;
    fs::create_directories(folder);
    GDALAllRegister();
    GDALDriver* drv = GetGDALDriverManager()->GetDriverByName("ESRI Shapefile");
    GDALDatasetUniquePtr ds(drv->Create(folder.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    OGRLayer* layer = ds->CreateLayer("sites", nullptr, wkbPoint, nullptr);
    for (const auto& field : fields) {
        OGRFieldDefn fd(field.name, field.type);
        fd.SetWidth(field.width);
        fd.SetPrecision(field.precision);
        EXPECT_EQ(layer->CreateField(&fd), OGRERR_NONE);
    }
    for (int i = 0; i < 4; ++i) {
        OGRFeature f(layer->GetLayerDefn());
        OGRPoint pt(1000 + i, 2000);
        f.SetGeometry(&pt);
        fill(f, i);
        EXPECT_EQ(layer->CreateFeature(&f), OGRERR_NONE);
    }
    return folder;
}

// The user's sites with fields of their own, some of them named as a run's
// result fields.
std::string usersSites(const TempDir& dir, const std::string& name) {
    return sitesOf(dir, name,
                   {{"depth", OFTReal, 6, 2},
                    {"RWE", OFTInteger, 4, 0},
                    {"MaxWvH", OFTReal, 10, 3},
                    {"Label", OFTString, 3, 0},
                    {"NOTE", OFTString, 8, 0}},
                   [](OGRFeature& f, int i) {
                       f.SetField("depth", -1.5 * i);
                       if (i != 2) f.SetField("RWE", 10 * i);
                       f.SetField("NOTE", ("mine" + std::to_string(i)).c_str());
                   });
}

// Every field of every row as GDAL reads the table afresh.
std::vector<std::vector<std::string>> rowsByGdal(const std::string& folder) {
    std::vector<std::vector<std::string>> rows;
    GDALDatasetUniquePtr ds(GDALDataset::Open((folder + "/sites.shp").c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    OGRLayer* layer = ds->GetLayer(0);
    std::vector<std::string> header;
    for (int k = 0; k < layer->GetLayerDefn()->GetFieldCount(); ++k) {
        const OGRFieldDefn* fd = layer->GetLayerDefn()->GetFieldDefn(k);
        header.push_back(std::string(fd->GetNameRef()) + "/" + std::to_string(fd->GetWidth()));
    }
    rows.push_back(header);
    for (auto& f : *layer) {
        std::vector<std::string> row;
        for (int k = 0; k < f->GetFieldCount(); ++k) row.push_back(f->IsFieldSetAndNotNull(k) ? f->GetFieldAsString(k) : "");
        rows.push_back(row);
    }
    return rows;
}

}  // namespace

// Values wider than the fields another program made: each lands whole in
// its own field, widened as GDAL widens it, and the table reads value for
// value as when GDAL writes the rows itself; the user's own fields keep
// theirs.
TEST(TableChange, AValueWiderThanItsFieldWidensItAsGdalDoes) {
    TempDir dir;
    const std::string ours = usersSites(dir, "ours"), gdals = usersSites(dir, "gdals");
    auto valuesOf = [](int row) {
        return std::vector<std::pair<std::string, FieldValue>>{
            {"RWE", 123456.0 * (row + 1)}, {"MaxWvH", 0.5 + row}, {"Label", std::string(row + 2, 'x')}};
    };
    auto fc = Workspace::open(ours)->openFeatureClass("sites");
    for (int row = 0; row < 4; ++row) {
        Feature f = fc->feature(row);
        for (const auto& [name, value] : valuesOf(row)) f.setValue(name, value);
        fc->store(f);
    }
    fc->flush();
    {
        GDALDatasetUniquePtr ds(GDALDataset::Open(gdals.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE));
        OGRLayer* layer = ds->GetLayer(0);
        for (int row = 0; row < 4; ++row) {
            OGRFeatureUniquePtr f(layer->GetFeature(row));
            for (const auto& [name, value] : valuesOf(row)) {
                const int k = f->GetFieldIndex(name.c_str());
                if (const auto* d = std::get_if<double>(&value)) f->SetField(k, *d);
                if (const auto* s = std::get_if<std::string>(&value)) f->SetField(k, s->c_str());
            }
            ASSERT_EQ(layer->SetFeature(f.get()), OGRERR_NONE);
        }
    }
    EXPECT_EQ(rowsByGdal(ours), rowsByGdal(gdals));
    EXPECT_EQ(rowsByGdal(ours)[1].back(), "mine0");
}

// Real numbers too wide for the real-number fields another program made,
// which GDAL cuts short with no more than a warning (759.68 as 759 in a
// field of 3 with 1 decimal, 1,141.43 as 114): each field is widened until
// its values read back whole, to its own decimals, and the user's own
// values stay.
TEST(TableChange, ARealFieldTooNarrowIsWidenedUntilEveryValueLandsWhole) {
    TempDir dir;
    const std::string folder = sitesOf(
        dir, "narrow",
        {{"RWE", OFTReal, 3, 1}, {"Total", OFTReal, 6, 2}, {"Wide", OFTReal, 20, 0}, {"NOTE", OFTString, 8, 0}},
        [](OGRFeature& f, int i) { f.SetField("NOTE", ("mine" + std::to_string(i)).c_str()); });
    const double rwe[] = {759.68, 1141.43, 2777.28, 12.5};
    auto fc = Workspace::open(folder)->openFeatureClass("sites");
    for (int row = 0; row < 4; ++row) {
        Feature f = fc->feature(row);
        f.setValue("RWE", rwe[row]);
        if (row == 1) f.setValue("Total", 1234567.8);
        if (row == 2) f.setValue("Wide", 1e25);
        fc->store(f);
    }
    fc->flush();
    EXPECT_EQ(rowsByGdal(folder),
              (std::vector<std::vector<std::string>>{{"RWE/6", "Total/10", "Wide/26", "NOTE/8"},
                                                      {"759.7", "", "", "mine0"},
                                                      {"1141.4", "1234567.80", "", "mine1"},
                                                      {"2777.3", "", "10000000000000000905969664", "mine2"},
                                                      {"12.5", "", "", "mine3"}}));
}

// A row a worker spelt ahead goes in as it was spelt: the commit does not
// spell it again (a spelling changed on the way lands as changed). One
// spelt for the layout before an earlier row's write widened a field is
// spelt again, into the wider field.
TEST(TableChange, ARowSpeltAheadLandsAsSpeltUnlessAnEarlierWriteWidenedItsField) {
    TempDir dir;
    const std::string folder = sitesOf(dir, "ahead", {{"RWE", OFTReal, 4, 1}}, [](OGRFeature&, int) {});
    auto fc = Workspace::open(folder)->openFeatureClass("sites");
    RowsAhead::Speller worker(fc->rowsAhead());
    const auto valuesOf = [&](double rwe) {
        Feature f(fc->fields());
        f.setValue("RWE", rwe);
        return valuesToStore(f);
    };
    EXPECT_FALSE(worker.spell(valuesOf(1.5))) << "nothing to spell for before the table is opened for writing";
    const auto storeRow = [&](int row, double rwe, const SpeltRow* ahead) {
        Feature f = fc->feature(row);
        f.setValue("RWE", rwe);
        fc->store(f, ahead);
    };
    storeRow(0, 1.5, nullptr);

    std::optional<SpeltRow> ahead = worker.spell(valuesOf(2.5));
    ASSERT_TRUE(ahead);
    const std::size_t at = ahead->bytes.find(" 2.5");
    ASSERT_NE(at, std::string::npos) << ahead->bytes;
    ahead->bytes.replace(at, 4, " 7.5");
    storeRow(1, 2.5, &*ahead);

    std::optional<SpeltRow> stale = worker.spell(valuesOf(3.5));
    ASSERT_TRUE(stale);
    stale->bytes.replace(stale->bytes.find(" 3.5"), 4, " 7.5");
    storeRow(2, 1141.43, nullptr);  // widens RWE
    storeRow(3, 3.5, &*stale);
    fc->flush();
    EXPECT_EQ(rowsByGdal(folder), (std::vector<std::vector<std::string>>{
                                      {"RWE/6"}, {"1.5"}, {"7.5"}, {"1141.4"}, {"3.5"}}));
}

// An empty result in a number field of the user's reads back empty, as
// GDAL's own empty value does, never as 0.
TEST(TableChange, AnEmptyValueInANumberFieldReadsEmpty) {
    TempDir dir;
    const std::string folder = sitesOf(dir, "empty", {{"Sed_Motion", OFTInteger, 5, 0}},
                                       [](OGRFeature& f, int) { f.SetField("Sed_Motion", 7); });
    auto fc = Workspace::open(folder)->openFeatureClass("sites");
    Feature f = fc->feature(1);
    f.setValue("Sed_Motion", std::string());
    fc->store(f);
    fc->flush();
    EXPECT_EQ(readByGdal(folder, "Sed_Motion"), (std::vector<std::string>{"7", "", "7", "7"}));
}

// A value its field's type cannot hold, a number in a date field or a text
// in a number field, is refused before anything is written: the table
// stays byte for byte as it was.
TEST(TableChange, AValueItsFieldCannotHoldIsRefusedWithTheTableAsItWas) {
    TempDir dir;
    const std::string folder = sitesOf(dir, "types", {{"Depth", OFTDate, 8, 0}, {"Sed_Motion", OFTInteger, 5, 0}},
                                       [](OGRFeature& f, int i) {
                                           f.SetField("Depth", 2024, 1, i + 1);
                                           f.SetField("Sed_Motion", 7);
                                       });
    const std::string before = quor::test::fileBytes(folder + "/sites.dbf");
    const std::pair<std::string, FieldValue> refused[] = {{"Depth", 12.5}, {"Sed_Motion", std::string("Yes")}};
    for (const auto& [field, value] : refused) {
        SCOPED_TRACE(field);
        auto fc = Workspace::open(folder)->openFeatureClass("sites");
        Feature f = fc->feature(0);
        f.setValue(field, value);
        EXPECT_THROW(fc->store(f), GisError);
        fc->flush();
        EXPECT_TRUE(quor::test::fileBytes(folder + "/sites.dbf") == before) << "the table was changed";
    }
}

// Field names as GDAL reads them: blanks kept before a NUL, and every
// field of a result's name, whatever its case, emptied by a re-run.
TEST(TableChange, NamesAreMatchedAsGdalReadsThem) {
    TempDir dir;
    {
        SCOPED_TRACE("a name padded with blanks and ended by a NUL");
        const std::string folder = alteredSites(dir, "blank-then-nul", [](std::string& b) {
            b.replace(32, 11, std::string("CATEGORY  \0", 11));
        });
        auto fc = Workspace::open(folder)->openFeatureClass("sites");
        ASSERT_EQ(fc->findField("CATEGORY"), -1) << "GDAL keeps those blanks";
        fc->addFields({FieldDef("CATEGORY", FieldType::Double, std::string(), 30)});
        EXPECT_EQ(readByGdal(folder, "CATEGORY  "), (std::vector<std::string>{"1", "2", "3", "4", "5"}));
    }
    {
        SCOPED_TRACE("a header without the fields' end mark");
        const std::string folder = alteredSites(dir, "no-end-mark", [](std::string& b) {
            const Table t(b);
            b.erase(t.headerLength - 1, 1);
            put16(b, 8, static_cast<unsigned>(t.headerLength - 1));
        });
        ASSERT_EQ(readByGdal(folder, "CATEGORY"), (std::vector<std::string>{"1", "2", "3", "4", "5"}));
        Workspace::open(folder)->openFeatureClass("sites")->addFields(resultFields("R", 2));
        EXPECT_EQ(readByGdal(folder, "CATEGORY"), (std::vector<std::string>{"1", "2", "3", "4", "5"}));
        EXPECT_EQ(readByGdal(folder, "R2"), std::vector<std::string>(5, ""));
    }
    {
        SCOPED_TRACE("case twins");
        const std::string folder = alteredSites(dir, "twins", [](std::string& b) {
            // A second field, named as the first but for its case.
            const Table t(b);
            std::string rows;
            for (std::uint32_t r = 0; r < t.rows; ++r) {
                const std::string row = b.substr(t.headerLength + r * t.rowLength, t.rowLength);
                rows += row + row.substr(1);
            }
            std::string twin = b.substr(32, 32);
            twin.replace(0, 8, "category");
            put16(b, 8, static_cast<unsigned>(t.headerLength + 32));
            put16(b, 10, static_cast<unsigned>(2 * t.rowLength - 1));
            b = b.substr(0, 64) + twin + b.substr(64, t.headerLength - 64) + rows + "\x1A";
        });
        auto fc = Workspace::open(folder)->openFeatureClass("sites");
        fc->changeFields({}, {"CATEGORY"});
        EXPECT_EQ(readByGdal(folder, "CATEGORY"), std::vector<std::string>(5, ""));
        EXPECT_EQ(rowsByGdal(folder)[3], (std::vector<std::string>{"", ""}));
    }
}

namespace {

// As an editor saves one value in place: `from` becomes `to` (as long) in
// the file's own bytes, written through a handle of its own.
void editInPlace(const std::string& path, const std::string& from, const std::string& to) {
    std::string bytes = quor::test::fileBytes(path);
    const auto at = bytes.find(from);
    ASSERT_NE(at, std::string::npos) << path;
    bytes.replace(at, to.size(), to);
    std::fstream(path, std::ios::binary | std::ios::in | std::ios::out) << bytes;
}

// The files of `folder` the user sees (no hidden one) that hold `bytes`.
std::vector<std::string> shownFilesHolding(const std::string& folder, const std::string& bytes) {
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string()[0] != '.' && quor::test::fileBytes(e.path()).find(bytes) != std::string::npos)
            found.push_back(e.path().string());
    return found;
}

struct NoPause {
    ~NoPause() { quor::platform::FileReplacement::setBetweenLookAndExchange({}); }
};

}  // namespace

// Another program writes into the table after the last look at it and
// before the new table takes its place, as a slow disk leaves time for:
// when fields are added before a run, and when a value widens its field
// during one. The edit is kept, and the change says so.
TEST(TableChange, AnEditWrittenJustBeforeTheNewTableTakesItsPlaceIsKeptAndTold) {
    TempDir dir;
    const NoPause reset;
    for (const bool widening : {false, true}) {
        SCOPED_TRACE(widening ? "a value widens its field" : "fields are added");
        const std::string folder = usersSites(dir, widening ? "widen" : "add");
        const std::string dbf = folder + "/sites.dbf";
        std::string edited;
        quor::platform::FileReplacement::setBetweenLookAndExchange([&](const std::string& target) {
            editInPlace(target, "mine0", "THEIR");
            edited = quor::test::fileBytes(target);
        });
        auto fc = Workspace::open(folder)->openFeatureClass("sites");
        try {
            if (widening) {
                Feature f = fc->feature(1);
                f.setValue("Label", std::string("a label wider than its field"));
                fc->store(f);
            } else {
                fc->addFields(resultFields("R", 3));
            }
            ADD_FAILURE() << "the other program's edit went unseen";
        } catch (const GisError& e) {
            EXPECT_NE(std::string(e.what()).find("changed by another program"), std::string::npos) << e.what();
        }
        quor::platform::FileReplacement::setBetweenLookAndExchange({});
        EXPECT_FALSE(edited.empty());
        EXPECT_EQ(quor::test::fileBytes(dbf), edited) << "the other program's table was not kept";
        EXPECT_FALSE(fs::exists(quor::platform::FileReplacement::partialPath(dbf)));
    }
}

// Another program writes into the old table just before the exchange, and
// into the new one at its place just after: putting the old one back would
// throw the second edit away. Both stay, the old table beside the new one
// under a name the user sees, which the message gives.
TEST(TableChange, AnEditAtTheNewTablesPlaceBeforeTheOldOneGoesBackIsKept) {
    TempDir dir;
    const std::string folder = usersSites(dir, "sites");
    const std::string dbf = folder + "/sites.dbf";
    const NoPause reset;
    quor::platform::FileReplacement::setBetweenLookAndExchange(
        [](const std::string& target) { editInPlace(target, "mine0", "THEIR"); });
    const quor::test::Exchanges exchanges(folder, 0, 0, [&] { editInPlace(dbf, "mine1", "LATER"); });
    auto fc = Workspace::open(folder)->openFeatureClass("sites");
    std::string said;
    try {
        fc->addFields(resultFields("R", 3));
        ADD_FAILURE() << "the other program's edits went unseen";
    } catch (const GisError& e) {
        said = e.what();
    }
    EXPECT_NE(quor::test::fileBytes(dbf).find("LATER"), std::string::npos) << "the later edit was thrown away";
    const auto kept = shownFilesHolding(folder, "THEIR");
    ASSERT_EQ(kept.size(), 1u) << said;
    EXPECT_NE(said.find(kept[0]), std::string::npos) << said;
}

// The old table, written by another program as the new one took its place,
// cannot go back (the disk fails the second exchange): the new table stays
// in place, and the words say so, never that nothing was changed; the old
// one is kept beside it under a name the next run leaves alone.
TEST(TableChange, AnEditedTableThatCannotGoBackIsKeptThroughTheNextRun) {
    TempDir dir;
    const std::string folder = usersSites(dir, "sites");
    const NoPause reset;
    quor::platform::FileReplacement::setBetweenLookAndExchange(
        [](const std::string& target) { editInPlace(target, "mine0", "THEIR"); });
    std::string said;
    {
        const quor::test::Exchanges exchanges(folder, EIO, 1);
        auto fc = Workspace::open(folder)->openFeatureClass("sites");
        try {
            fc->addFields(resultFields("R", 3));
            ADD_FAILURE() << "the other program's edit went unseen";
        } catch (const GisError& e) {
            said = e.what();
        }
        EXPECT_EQ(exchanges.refused(), 1);
    }
    quor::platform::FileReplacement::setBetweenLookAndExchange({});
    EXPECT_EQ(said.find("Nothing was changed"), std::string::npos) << said;
    // The next run on the dataset clears what a killed one left.
    Workspace::open(folder)->openFeatureClass("sites")->changeFields({}, {});
    const auto kept = shownFilesHolding(folder, "THEIR");
    ASSERT_EQ(kept.size(), 1u) << said;
    EXPECT_NE(said.find(kept[0]), std::string::npos) << said;
}

// A disk without the exchange (FUSE, many network disks): the new table is
// renamed over the old one, and an edit written into the old one in place
// meanwhile went with it. It is kept beside the table, and the end of the
// change's writes says where.
TEST(TableChange, WithoutAnExchangeAnEditWrittenInPlaceMeanwhileIsKeptAndTold) {
    TempDir dir;
    const std::string folder = usersSites(dir, "sites");
    const NoPause reset;
    quor::platform::FileReplacement::setBetweenLookAndExchange(
        [](const std::string& target) { editInPlace(target, "mine0", "THEIR"); });
    const quor::test::Exchanges none(folder, EINVAL);
    auto fc = Workspace::open(folder)->openFeatureClass("sites");
    std::string said;
    try {
        fc->addFields(resultFields("R", 3));
        fc->flush();
        ADD_FAILURE() << "the other program's edit went unseen";
    } catch (const GisError& e) {
        said = e.what();
    }
    EXPECT_GT(none.refused(), 0);
    const auto kept = shownFilesHolding(folder, "THEIR");
    ASSERT_EQ(kept.size(), 1u) << said;
    EXPECT_NE(said.find(kept[0]), std::string::npos) << said;
}
