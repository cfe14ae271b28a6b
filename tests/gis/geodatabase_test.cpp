#include <gtest/gtest.h>

#include <filesystem>

#include "gis/deleterays.h"
#include "gis/geodatabase.h"
#include "gis/load_features.h"
#include "platform/gis/gis.h"
#include "test_support.h"

using namespace quor;
using namespace quor::gis;
namespace pg = quor::platform::gis;
using quor::test::RecordingMessages;
using quor::test::TempDir;

namespace {

std::vector<std::string> fieldNames(const pg::FeatureClass& fc) {
    std::vector<std::string> n;
    for (const auto& f : fc.fields()->all()) n.push_back(f.name);
    return n;
}

}  // namespace

TEST(ProjectGeodatabase, CreatedWhenMissingOpenedUntouchedOtherwise) {
    TempDir dir;
    {
        auto ws = createWorkspace(dir.path(), "bay1");
        EXPECT_TRUE(std::filesystem::exists(dir.file("bay1.gpkg")));
        RecordingMessages msgs;
        auto fc = createWorkspaceFeatureClass(ws, "Pointdata1", ftype_simple, geom_point, msgs);
        pg::Feature f = fc->createFeature();
        f.setShape(pg::Geometry::point(1, 2));
        fc->store(f);
    }
    auto ws = createWorkspace(dir.path(), "bay1");
    EXPECT_EQ(ws->featureClassNames(), (std::vector<std::string>{"Pointdata1"}));
    EXPECT_EQ(ws->openFeatureClass("Pointdata1")->featureCount(), 1);
    EXPECT_EQ(geodatabaseFileName("bay1"), "bay1.gpkg");
    EXPECT_THROW(createWorkspace(dir.file("no/such/folder"), "x"), pg::GisError);
}

TEST(ProjectGeodatabase, PointdataNumbering) {
    EXPECT_EQ(nextPointdataNumber({}), 1);
    EXPECT_EQ(nextPointdataNumber({"Pointdata1", "Pointdata3", "Pointdata_ext2", "rays"}), 4);
    EXPECT_EQ(nextPointdataNumber({"Pointdata007"}), 8);
    EXPECT_EQ(nextPointdataNumber({"Pointdata40000", "Pointdata2"}), 3);  // beyond 16 bits: ignored
    EXPECT_EQ(nextPointdataNumber({"Otherclas12"}), 13);  // the first nine characters are not compared
    EXPECT_EQ(nextPointdataNumber({"Pointdata-4", "Inter_rays", "EffF_rays"}), 1);
}

TEST(ProjectGeodatabase, CreateAccessWorkspaceMakesTheNextPointClass) {
    TempDir dir;
    model::MainFormState mf;
    RecordingMessages msgs;
    EXPECT_EQ(createAccessWorkspace(mf, msgs, dir.path(), "bay1"), nullptr);
    ASSERT_EQ(msgs.entries.size(), 1u);
    EXPECT_EQ(msgs.entries[0].text, "91");
    EXPECT_EQ(msgs.entries[0].title, "createAccessWorkspace error");
    EXPECT_EQ(msgs.entries[0].icon, platform::MessageIcon::Information);

    mf.ptworkspace = createWorkspace(dir.path(), "bay1");
    auto first = createAccessWorkspace(mf, msgs, "ignored", "ignored");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->name(), "Pointdata1");
    EXPECT_EQ(mf.pfeatureworkspace, mf.ptworkspace);
    EXPECT_EQ(fieldNames(*first), (std::vector<std::string>{"shape", "OBJECTID", "X", "Y"}));

    createWorkspaceFeatureClass(mf.ptworkspace, "Pointdata7", ftype_simple, geom_point, msgs);
    createWorkspaceFeatureClass(mf.ptworkspace, "Pointdata_ext2", ftype_simple, geom_point, msgs);
    createWorkspaceFeatureClass(mf.ptworkspace, "rays", ftype_simple, geom_polyline, msgs);
    EXPECT_EQ(createAccessWorkspace(mf, msgs, {}, {})->name(), "Pointdata8");
    EXPECT_EQ(msgs.entries.size(), 1u);
}

TEST(ProjectGeodatabase, StandardFieldSetsAndFeatureTypes) {
    TempDir dir;
    auto ws = createWorkspace(dir.path(), "p");
    RecordingMessages msgs;
    auto rays = createWorkspaceFeatureClass(ws, "rays", ftype_simple, geom_polyline, msgs);
    EXPECT_EQ(fieldNames(*rays), (std::vector<std::string>{"shape", "OBJECTID", "Dir"}));
    EXPECT_EQ(rays->fields()->field(2).type, pg::FieldType::Integer);
    EXPECT_EQ(rays->fields()->field(2).alias, "Direction");
    EXPECT_EQ(rays->fields()->field(0).alias, "geometry");
    EXPECT_TRUE(rays->spatialReference().isNone());

    int32_t g = geom_line;  // 13 becomes a polyline for simple features, written back
    auto line = createWorkspaceFeatureClass(ws, "lines", ftype_simple, g, msgs);
    EXPECT_EQ(g, geom_polyline);
    EXPECT_EQ(fieldNames(*line), (std::vector<std::string>{"shape", "OBJECTID", "Dir"}));
    g = geom_polyline;
    auto junction = createWorkspaceFeatureClass(ws, "j", ftype_simple_junction, g, msgs);
    EXPECT_EQ(g, geom_point);
    EXPECT_EQ(junction->geometryType(), pg::GeometryType::Point);
    g = geom_polygon;
    auto poly = createWorkspaceFeatureClass(ws, "poly", ftype_simple, g, msgs);
    EXPECT_EQ(fieldNames(*poly), (std::vector<std::string>{"shape", "OBJECTID"}));
    g = geom_point;
    EXPECT_EQ(createWorkspaceFeatureClass(ws, "anno", ftype_annotation, g, msgs), nullptr);
    EXPECT_FALSE(ws->hasFeatureClass("anno"));
    EXPECT_EQ(createWorkspaceFeatureClass(nullptr, "x", ftype_simple, geom_point, msgs), nullptr);
    EXPECT_EQ(createWorkspaceFeatureClass(ws, "", ftype_simple, geom_point, msgs), nullptr);
    EXPECT_TRUE(msgs.entries.empty());

    // Coordinates far outside the old store's XY domain are kept as given.
    pg::Feature f = rays->createFeature();
    f.setShape(pg::Geometry::line({-5e6, 2e7}, {3e6, -1}));
    rays->store(f);
    EXPECT_EQ(rays->feature(1).shape().part(0)[0], (pg::Point{-5e6, 2e7}));
}

TEST(ProjectGeodatabase, CreatingAnExistingClassReportsAndKeepsIt) {
    TempDir dir;
    auto ws = createWorkspace(dir.path(), "p");
    RecordingMessages msgs;
    auto rays = createWorkspaceFeatureClass(ws, "rays", ftype_simple, geom_polyline, msgs);
    pg::Feature f = rays->createFeature();
    f.setShape(pg::Geometry::line({0, 0}, {1, 1}));
    f.setValue("Dir", std::int64_t{5});
    rays->store(f);
    EXPECT_EQ(createWorkspaceFeatureClass(ws, "rays", ftype_simple, geom_point, msgs), nullptr);
    ASSERT_EQ(msgs.entries.size(), 1u);
    EXPECT_EQ(msgs.entries[0].title, "createWorkspaceFeatureClass");
    EXPECT_EQ(msgs.entries[0].icon, platform::MessageIcon::Information);
    EXPECT_FALSE(msgs.entries[0].text.empty());
    EXPECT_EQ(rays->featureCount(), 1);
    EXPECT_EQ(pg::toInt(rays->feature(1).value("Dir")), 5);
}

TEST(WorkClasses, DeletedByNameWithoutRegardToCaseAndWhole) {
    TempDir dir;
    model::MainFormState mf;
    mf.ptworkspace = createWorkspace(dir.path(), "p");
    RecordingMessages msgs;
    for (const char* n : {"Pointdata1", "rays", "Inter_ray", "Inter_rays", "orp_rays", "EffF_rays"})
        createWorkspaceFeatureClass(mf.ptworkspace, n, ftype_simple, geom_polyline, msgs);
    deleterays(mf, "rays");
    EXPECT_EQ(mf.ptworkspace->featureClassNames(),
              (std::vector<std::string>{"Pointdata1", "Inter_ray", "Inter_rays", "orp_rays", "EffF_rays"}));
    deleterays(mf, "rays");  // twice: nothing
    deleterays(mf, "effF_rays");
    deleterays(mf, "INTER_RAYS");
    EXPECT_EQ(mf.ptworkspace->featureClassNames(), (std::vector<std::string>{"Pointdata1", "Inter_ray", "orp_rays"}));
    deleterays(mf, "Pointdata");  // not a whole name
    EXPECT_TRUE(mf.ptworkspace->hasFeatureClass("Pointdata1"));
    model::MainFormState none;
    deleterays(none, "rays");  // no workspace: silently nothing
    // Deleted classes can be made again at once, numbered from 1.
    auto rays = createWorkspaceFeatureClass(mf.ptworkspace, "rays", ftype_simple, geom_polyline, msgs);
    pg::Feature f = rays->createFeature();
    f.setShape(pg::Geometry::line({0, 0}, {1, 0}));
    EXPECT_EQ(rays->store(f), 1);
    EXPECT_TRUE(msgs.entries.empty());
}

namespace {

struct CopyFixture {
    TempDir dir;
    std::shared_ptr<pg::Workspace> ws;
    std::shared_ptr<pg::FeatureClass> source, target;
    RecordingMessages msgs;

    explicit CopyFixture(int n) {
        ws = createWorkspace(dir.path(), "p");
        source = ws->createFeatureClass("Inter_rays", pg::GeometryType::Polyline,
                                        {{"Dir", pg::FieldType::Integer}, {"Extra", pg::FieldType::String}});
        target = createWorkspaceFeatureClass(ws, "orp_rays", ftype_simple, geom_polyline, msgs);
        pg::Workspace::Transaction tx(*ws);
        for (int i = 0; i < n; ++i) {
            pg::Feature f = source->createFeature();
            f.setShape(pg::Geometry::line({0, 0}, {1.0 + i, 2}));
            f.setValue("Dir", std::int64_t{i % 32});
            f.setValue("Extra", std::string("x"));
            source->store(f);
        }
        tx.commit();
    }
};

}  // namespace

TEST(LoadFeatures, CopiesShapesAndMatchingAttributesAndShowsTheClass) {
    CopyFixture fx(250);
    pg::Map map;
    auto cur = fx.source->search();
    LoadFeaturesResult r = LoadFeatures(fx.target, cur, &map, fx.msgs);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.target, fx.target);
    EXPECT_EQ(fx.target->featureCount(), 250);
    // Object ids come from the target, "Dir" from the source, "Extra" has no home.
    pg::Feature f = fx.target->feature(250);
    EXPECT_EQ(pg::toInt(f.value("Dir")), 249 % 32);
    EXPECT_EQ(f.shape().part(0)[1], (pg::Point{250, 2}));
    EXPECT_EQ(fx.target->fields()->count(), 3);
    ASSERT_EQ(map.layerCount(), 1);
    EXPECT_EQ(map.layer(0)->name(), "orp_rays");
    EXPECT_EQ(map.layer(0)->featureClass(), fx.target);
    EXPECT_TRUE(fx.msgs.entries.empty());
}

TEST(LoadFeatures, EmptyCursorNoTargetAndFailuresReportedToTheCaller) {
    {
        CopyFixture fx(0);
        pg::Map map;
        auto cur = fx.source->search();
        auto r = LoadFeatures(fx.target, cur, &map, fx.msgs);
        EXPECT_TRUE(r.ok());
        EXPECT_EQ(fx.target->featureCount(), 0);
        EXPECT_EQ(map.layerCount(), 1);
    }
    {
        CopyFixture fx(3);
        pg::Map map;
        auto cur = fx.source->search();
        auto r = LoadFeatures(nullptr, cur, &map, fx.msgs);
        EXPECT_EQ(r.target, nullptr);
        EXPECT_EQ(cur.remaining(), 3u);  // not read
        EXPECT_EQ(map.layerCount(), 0);
    }
    {
        // The target vanishes before the copy: every write fails, the caller
        // hears of it, and the copy still ends.
        CopyFixture fx(5);
        auto cur = fx.source->search();
        fx.ws->deleteFeatureClass("orp_rays");
        auto r = LoadFeatures(fx.target, cur, nullptr, fx.msgs);
        EXPECT_FALSE(r.ok());
        EXPECT_GE(r.failures, 1);
        EXPECT_FALSE(r.firstError.empty());
        EXPECT_EQ(fx.msgs.entries.size(), static_cast<std::size_t>(r.failures));
        EXPECT_EQ(fx.msgs.entries[0].text, r.firstError);
        EXPECT_EQ(cur.remaining(), 0u);
    }
}

TEST(LoadFeatures, TargetFieldsWithoutASourceKeepTheBufferValue) {
    TempDir dir;
    auto ws = createWorkspace(dir.path(), "p");
    auto src = ws->createFeatureClass("src", pg::GeometryType::Polyline, {{"dir", pg::FieldType::Integer}});
    auto dst = ws->createFeatureClass("dst", pg::GeometryType::Polyline,
                                      {{"Dir", pg::FieldType::Integer}, {"Note", pg::FieldType::String}});
    pg::Feature f = src->createFeature();
    f.setShape(pg::Geometry::line({0, 0}, {1, 0}));
    f.setValue("dir", std::int64_t{4});  // names match without regard to case
    src->store(f);
    pg::Feature g = src->createFeature();
    g.setShape(pg::Geometry::line({0, 0}, {2, 0}));
    src->store(g);
    RecordingMessages msgs;
    auto cur = src->search();
    EXPECT_TRUE(LoadFeatures(dst, cur, nullptr, msgs).ok());
    EXPECT_EQ(pg::toInt(dst->feature(1).value("Dir")), 4);
    // The second source feature has a null "dir": the null is copied.
    EXPECT_TRUE(pg::isNull(dst->feature(2).value("Dir")));
    EXPECT_TRUE(pg::isNull(dst->feature(2).value("Note")));
}

TEST(LoadFeatures, FieldsTheStoreFillsItselfAreNotCopied) {
    pg::FieldDef length{"Shape_Length", pg::FieldType::Double};
    length.editable = false;
    const auto fields = std::make_shared<const pg::Fields>(std::vector<pg::FieldDef>{
        {"shape", pg::FieldType::Geometry}, {"OBJECTID", pg::FieldType::ObjectId}, {"Dir", pg::FieldType::Integer}, length});
    pg::Feature source(fields);
    source.setValue("Dir", std::int64_t{7});
    source.setValue("Shape_Length", 12.5);
    const auto plain = std::make_shared<const pg::Fields>(std::vector<pg::FieldDef>{
        {"shape", pg::FieldType::Geometry}, {"OBJECTID", pg::FieldType::ObjectId},
        {"Dir", pg::FieldType::Integer}, {"Shape_Length", pg::FieldType::Double}});
    pg::Feature buffer(plain);
    copyattributes(buffer, source);
    EXPECT_EQ(pg::toInt(buffer.value("Dir")), 7);
    EXPECT_TRUE(pg::isNull(buffer.value("Shape_Length")));
}
