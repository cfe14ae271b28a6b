#include <gtest/gtest.h>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "platform/gis/gdal_support.h"
#include "platform/gis/gis.h"
#include "test_support.h"

using namespace quor::platform::gis;
using quor::test::TempDir;

namespace {

std::vector<FieldDef> rayFields() { return {{"Dir", FieldType::Integer, "Direction"}}; }

void addRay(FeatureClass& fc, double x, int dir) {
    Feature f = fc.createFeature();
    f.setShape(Geometry::line({0, 0}, {x, 0}));
    f.setValue("Dir", std::int64_t{dir});
    fc.store(f);
}

std::vector<std::int64_t> allIds(const FeatureClass& fc) {
    std::vector<std::int64_t> ids;
    auto c = fc.search();
    while (auto f = c.next()) ids.push_back(f->oid());
    return ids;
}

}  // namespace

// A cursor reads a geodatabase's rows several at a time: it hands out what
// reading each row on its own gives, in its order, rows that are gone
// passed over, for every id and for a list of ids in any order.
TEST(Workspace, ACursorReadingRowsTogetherHandsOutWhatEachRowReadsAlone) {
    TempDir dir;
    auto pts = Workspace::createGeoPackage(dir.file("p.gpkg"))
                   ->createFeatureClass("pts", GeometryType::Point, {{"X", FieldType::Double}});
    auto ins = pts->insertCursor(true);
    for (int i = 0; i < 150; ++i) {
        Feature f = ins.createFeatureBuffer();
        f.setShape(Geometry::point(i, -i));
        f.setValue("X", i + 0.5);
        ins.insert(f);
    }
    ins.flush();
    for (const std::int64_t gone : {5, 70, 71, 140}) pts->deleteFeature(gone);
    const auto read = [&](FeatureCursor cursor) {
        std::vector<std::pair<std::int64_t, double>> rows;
        while (auto f = cursor.next()) rows.emplace_back(f->oid(), toDouble(f->value("X")));
        return rows;
    };
    const std::vector<std::int64_t> lists[] = {allIds(*pts), {140, 3, 4, 5, 300, 6, 149, 72, 1}};
    const auto listed = read(pts->search(lists[1]));
    EXPECT_EQ(listed.size(), 6u);
    for (const auto& ids : lists) {
        std::vector<std::pair<std::int64_t, double>> alone;
        for (const std::int64_t id : ids)
            if (auto f = pts->findFeature(id)) alone.emplace_back(id, toDouble(f->value("X")));
        EXPECT_EQ(read(pts->search(ids)), alone);
    }
    EXPECT_EQ(read(pts->search()).size(), 146u);
}

TEST(Workspace, OneSharedHandlePerFileAndCreationRules) {
    TempDir dir;
    const std::string path = dir.file("bay1.gpkg");
    EXPECT_THROW(Workspace::openGeoPackage(path), GisError);  // missing
    auto ws = Workspace::createGeoPackage(path);
    EXPECT_EQ(ws->kind(), WorkspaceKind::GeoPackage);
    EXPECT_EQ(Workspace::openGeoPackage(path), ws);
    EXPECT_EQ(Workspace::open(dir.path() + "/./bay1.gpkg"), ws);
    EXPECT_THROW(Workspace::createGeoPackage(path), GisError);  // exists
    EXPECT_TRUE(ws->featureClassNames().empty());
}

TEST(Workspace, ClassesKeepStoreOrderAndStandardFieldPositions) {
    TempDir dir;
    auto ws = Workspace::createGeoPackage(dir.file("p.gpkg"));
    ws->createFeatureClass("Pointdata1", GeometryType::Point,
                           {{"X", FieldType::Double, "X_coord"}, {"Y", FieldType::Double, "Y_coord"}});
    auto rays = ws->createFeatureClass("rays", GeometryType::Polyline, rayFields());
    ws->createFeatureClass("Inter_rays", GeometryType::Polyline, rayFields());
    ws->createFeatureClass("Pointdata3", GeometryType::Point, {});
    EXPECT_EQ(ws->featureClassNames(), (std::vector<std::string>{"Pointdata1", "rays", "Inter_rays", "Pointdata3"}));

    auto pts = ws->openFeatureClass("Pointdata1");
    auto f = pts->fields();
    ASSERT_EQ(f->count(), 4);
    EXPECT_EQ(f->field(0).name, "shape");
    EXPECT_EQ(f->field(0).type, FieldType::Geometry);
    EXPECT_EQ(f->field(1).name, "OBJECTID");
    EXPECT_EQ(f->field(1).type, FieldType::ObjectId);
    EXPECT_EQ(f->field(2).name, "X");
    EXPECT_EQ(f->field(3).name, "Y");
    EXPECT_EQ(pts->geometryType(), GeometryType::Point);
    EXPECT_EQ(rays->findField("dir"), 2);
    EXPECT_EQ(rays->findField("DIR"), 2);
    EXPECT_EQ(rays->findField("Direction"), -1);
    EXPECT_EQ(rays->fields()->field(2).type, FieldType::Integer);
    EXPECT_EQ(rays->fields()->field(2).alias, "Direction");
    EXPECT_THROW(ws->openFeatureClass("RAYS"), GisError);  // opening is by exact name
}

TEST(Workspace, CreatingAnExistingNameFailsAndLeavesTheClassAlone) {
    TempDir dir;
    auto ws = Workspace::createGeoPackage(dir.file("p.gpkg"));
    auto rays = ws->createFeatureClass("rays", GeometryType::Polyline, rayFields());
    addRay(*rays, 10, 3);
    EXPECT_THROW(ws->createFeatureClass("rays", GeometryType::Point, {}), GisError);
    EXPECT_THROW(ws->createFeatureClass("RAYS", GeometryType::Point, {}), GisError);
    EXPECT_EQ(rays->featureCount(), 1);
    EXPECT_EQ(rays->geometryType(), GeometryType::Polyline);
    EXPECT_EQ(toInt(rays->feature(1).value("Dir")), 3);
}

TEST(Workspace, ObjectIdsStartAtOneAgainAfterDeleteAndRecreate) {
    TempDir dir;
    auto ws = Workspace::createGeoPackage(dir.file("p.gpkg"));
    for (int round = 0; round < 3; ++round) {
        auto rays = ws->createFeatureClass("rays", GeometryType::Polyline, rayFields());
        for (int i = 0; i < 5; ++i) addRay(*rays, 10 + i, i);
        EXPECT_EQ(allIds(*rays), (std::vector<std::int64_t>{1, 2, 3, 4, 5})) << "round " << round;
        EXPECT_EQ(toInt(rays->feature(4).value("Dir")), 3);
        ws->deleteFeatureClass("rays");
        EXPECT_FALSE(ws->hasFeatureClass("rays"));
        EXPECT_THROW(rays->featureCount(), GisError);  // the old object no longer reaches a class
    }
    EXPECT_THROW(ws->deleteFeatureClass("rays"), GisError);
}

TEST(Workspace, FeaturesReadBackWithShapesAndValuesAndCanBeRewrittenDuringARead) {
    TempDir dir;
    auto ws = Workspace::createGeoPackage(dir.file("p.gpkg"));
    auto pts = ws->createFeatureClass("pts", GeometryType::Point,
                                      {{"X", FieldType::Double}, {"Name", FieldType::String}, {"N", FieldType::SmallInteger}});
    for (int i = 0; i < 4; ++i) {
        Feature f = pts->createFeature();
        f.setShape(Geometry::point(100.5 + i, -7.25));
        f.setValue("X", 100.5 + i);
        f.setValue("Name", std::string("p") + std::to_string(i));
        pts->store(f);
        EXPECT_EQ(f.oid(), i + 1);
    }
    EXPECT_EQ(pts->featureCount(), 4);
    EXPECT_FALSE(pts->findFeature(99).has_value());
    EXPECT_THROW(pts->feature(99), GisError);

    // Rewrite every row while the search is in progress.
    auto cur = pts->search();
    while (auto f = cur.next()) {
        f->setValue("N", std::int64_t{static_cast<int>(f->oid()) * 10});
        pts->store(*f);
    }
    Feature third = pts->feature(3);
    EXPECT_EQ(third.shape().asPoint(), (Point{102.5, -7.25}));
    EXPECT_DOUBLE_EQ(toDouble(third.value(2)), 102.5);
    EXPECT_EQ(toText(third.value("name")), "p2");
    EXPECT_EQ(toInt(third.value("N")), 30);
    EXPECT_EQ(toInt(third.value(1)), 3);
    EXPECT_THROW(third.setValue(1, std::int64_t{7}), GisError);  // the object id is not an attribute
    EXPECT_THROW(third.value("Nope"), GisError);

    pts->addField({"Extra", FieldType::Double});
    EXPECT_EQ(pts->findField("extra"), 5);
    EXPECT_TRUE(isNull(pts->feature(1).value("Extra")));
    EXPECT_THROW(pts->addField({"EXTRA", FieldType::Double}), GisError);
}

// Another program named the id column with a double quote in it: every
// statement takes the name as a name, and the rows are read and written.
TEST(Workspace, AnIdColumnNamedWithAQuoteIsReadAndWritten) {
    TempDir dir;
    {
        GDALAllRegister();
        GDALDatasetUniquePtr ds(GetGDALDriverManager()->GetDriverByName("GPKG")->Create(
            dir.file("q.gpkg").c_str(), 0, 0, 0, GDT_Unknown, nullptr));
        const char* options[] = {"FID=my\"fid", nullptr};
        OGRLayer* l = ds->CreateLayer("pts", nullptr, wkbPoint, const_cast<char**>(options));
        OGRFieldDefn x("X", OFTReal);
        ASSERT_EQ(l->CreateField(&x), OGRERR_NONE);
        for (int i = 0; i < 5; ++i) {
            OGRFeature f(l->GetLayerDefn());
            f.SetGeometryDirectly(new OGRPoint(i, i));
            ASSERT_EQ(l->CreateFeature(&f), OGRERR_NONE);
        }
    }
    auto pts = Workspace::openGeoPackage(dir.file("q.gpkg"))->openFeatureClass("pts");
    ASSERT_EQ(pts->fields()->field(1).name, "my\"fid");
    auto cursor = pts->search();
    while (auto f = cursor.next()) {
        f->setValue("X", f->oid() + 0.5);
        pts->store(*f);
    }
    pts->deleteFeature(3);
    std::vector<std::pair<std::int64_t, double>> rows;
    for (auto read = pts->search(); auto f = read.next();) rows.emplace_back(f->oid(), toDouble(f->value("X")));
    EXPECT_EQ(rows, (std::vector<std::pair<std::int64_t, double>>{{1, 1.5}, {2, 2.5}, {4, 4.5}, {5, 5.5}}));
}

// A stored GeoPackage row takes the values set since it was read and
// nothing else: another program's text in a number column stays text, the
// shape's bytes stay as they were, and a row deleted meanwhile is told.
TEST(Workspace, AGeoPackageRowTakesOnlyTheValuesSetSinceItWasRead) {
    TempDir dir;
    auto ws = Workspace::createGeoPackage(dir.file("p.gpkg"));
    auto pts = ws->createFeatureClass("pts", GeometryType::Point, {{"X", FieldType::Double}, {"Note", FieldType::Double}});
    for (int i = 0; i < 2; ++i) {
        Feature f = pts->createFeature();
        f.setShape(Geometry::point(3.5, -1));
        pts->store(f);
    }
    OGRLayer* layer = ws->layerOf("pts");
    const std::string fid = layer->GetFIDColumn(), shape = layer->GetGeometryColumn();
    const auto row = [&] {
        std::vector<std::string> got;
        const detail::SqlResult r(*ws->dataset(),
                                  "SELECT typeof(Note), CAST(Note AS TEXT), hex(" + shape + "), X FROM pts WHERE " + fid + " = 1");
        if (OGRFeatureUniquePtr f{r.layer()->GetNextFeature()})
            for (int i = 0; i < 4; ++i) got.push_back(f->GetFieldAsString(i));
        return got;
    };
    { const detail::SqlResult r(*ws->dataset(), "UPDATE pts SET Note = 'n/a' WHERE " + fid + " = 1"); }
    const auto before = row();
    ASSERT_EQ(before.size(), 4u);

    Feature f = pts->feature(1);
    f.setValue("X", 7.25);
    pts->store(f);
    EXPECT_EQ(row(), (std::vector<std::string>{"text", "n/a", before[2], "7.25"}));

    Feature gone = pts->feature(2);
    pts->deleteFeature(2);
    gone.setValue("X", 1.0);
    EXPECT_THROW(pts->store(gone), GisError);
}

// Values GDAL converts its own way (a text too wide for its field, a date)
// go in as GDAL's own writing puts them, into their columns alone: another
// program's value written since the row was read stays. The table is
// dated at the end of the writes, as GDAL dates it.
TEST(Workspace, AValueGdalConvertsItsOwnWayTakesOnlyItsColumn) {
    TempDir dir;
    const std::string file = dir.file("p.gpkg");
    auto ws = Workspace::createGeoPackage(file);
    auto pts = ws->createFeatureClass(
        "pts", GeometryType::Point,
        {{"Label", FieldType::String, {}, 4}, {"When", FieldType::Date}, {"Note", FieldType::String, {}, 20}});
    for (int i = 0; i < 2; ++i) {
        Feature f = pts->createFeature();
        f.setShape(Geometry::point(i, 0));
        pts->store(f);
    }
    const auto sql = [&](const std::string& statement) {
        GDALDatasetUniquePtr other(GDALDataset::Open(file.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE));
        std::vector<std::string> got;
        if (OGRLayer* r = other->ExecuteSQL(statement.c_str(), nullptr, nullptr)) {
            while (OGRFeatureUniquePtr f{r->GetNextFeature()})
                for (int i = 0; i < f->GetFieldCount(); ++i) got.push_back(f->GetFieldAsString(i));
            other->ReleaseResultSet(r);
        }
        return got;
    };
    const std::vector<std::pair<std::string, FieldValue>> values = {{"Label", std::string("wider than four")},
                                                                      {"When", std::string("2024/03/05 06:07:08")}};
    {
        // GDAL's own writing of the values, into row 2.
        GDALDatasetUniquePtr other(GDALDataset::Open(file.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE));
        OGRLayer* l = other->GetLayerByName("pts");
        OGRFeatureUniquePtr f(l->GetFeature(2));
        for (const auto& [name, value] : values) f->SetField(name.c_str(), std::get<std::string>(value).c_str());
        ASSERT_EQ(l->SetFeature(f.get()), OGRERR_NONE);
    }
    Feature f = pts->feature(1);
    sql("UPDATE pts SET Note = 'theirs' WHERE OBJECTID = 1");
    for (const auto& [name, value] : values) f.setValue(name, value);
    CPLSetConfigOption("OGR_CURRENT_DATE", "2001-02-03T04:05:06.000Z");
    pts->store(f);
    pts->flush();
    CPLSetConfigOption("OGR_CURRENT_DATE", nullptr);
    const std::string row = "SELECT typeof(Label), Label, typeof(\"When\"), CAST(\"When\" AS TEXT) FROM pts WHERE OBJECTID = ";
    EXPECT_EQ(sql(row + "1"), sql(row + "2"));
    EXPECT_EQ(sql(row + "1").at(1), "wider than four");
    EXPECT_EQ(sql("SELECT Note FROM pts WHERE OBJECTID = 1"), std::vector<std::string>{"theirs"});
    EXPECT_EQ(sql("SELECT CAST(last_change AS TEXT) FROM gpkg_contents WHERE table_name = 'pts'"),
              std::vector<std::string>{"2001-02-03T04:05:06.000Z"});
}

TEST(Workspace, BufferedInsertsReachTheStoreAtFlushOnly) {
    TempDir dir;
    auto ws = Workspace::createGeoPackage(dir.file("p.gpkg"));
    auto rays = ws->createFeatureClass("orp_rays", GeometryType::Polyline, rayFields());
    auto ins = rays->insertCursor(true);
    Feature buf = ins.createFeatureBuffer();
    for (int i = 0; i < 3; ++i) {
        buf.setShape(Geometry::line({0, 0}, {1.0 + i, 1}));
        buf.setValue("Dir", std::int64_t{i});
        EXPECT_EQ(ins.insert(buf), -1);
    }
    EXPECT_EQ(ins.pending(), 3u);
    EXPECT_EQ(rays->featureCount(), 0);
    ins.flush();
    EXPECT_EQ(rays->featureCount(), 3);
    EXPECT_EQ(toInt(rays->feature(3).value("Dir")), 2);

    auto direct = rays->insertCursor(false);
    EXPECT_EQ(direct.insert(buf), 4);

    // A flush into a class deleted meanwhile fails and empties the queue.
    ins.insert(buf);
    ws->deleteFeatureClass("orp_rays");
    EXPECT_THROW(ins.flush(), GisError);
    EXPECT_EQ(ins.pending(), 0u);
}

TEST(Workspace, TransactionsCommitOrRollBackAndNest) {
    TempDir dir;
    auto ws = Workspace::createGeoPackage(dir.file("p.gpkg"));
    auto rays = ws->createFeatureClass("rays", GeometryType::Polyline, rayFields());
    {
        Workspace::Transaction tx(*ws);
        addRay(*rays, 1, 0);
        {
            Workspace::Transaction inner(*ws);  // joins the outer one
            addRay(*rays, 2, 1);
            inner.commit();
        }
        EXPECT_TRUE(ws->inTransaction());
        // no commit: everything goes
    }
    EXPECT_FALSE(ws->inTransaction());
    EXPECT_EQ(rays->featureCount(), 0);
    {
        Workspace::Transaction tx(*ws);
        auto tmp = ws->createFeatureClass("Inter_ray", GeometryType::Polyline, rayFields());
        addRay(*tmp, 5, 1);
        addRay(*rays, 1, 0);
        ws->deleteFeatureClass("Inter_ray");
        tx.commit();
    }
    EXPECT_EQ(rays->featureCount(), 1);
    EXPECT_FALSE(ws->hasFeatureClass("Inter_ray"));
    {
        // Classes made or deleted in a transaction that rolls back: the
        // workspace shows the file as it is again.
        Workspace::Transaction tx(*ws);
        ws->createFeatureClass("orp_rays", GeometryType::Polyline, rayFields());
        ws->deleteFeatureClass("rays");
    }
    EXPECT_EQ(ws->featureClassNames(), (std::vector<std::string>{"rays"}));
    EXPECT_EQ(rays->featureCount(), 1);  // the old object reaches the class again
    auto orp = ws->createFeatureClass("orp_rays", GeometryType::Polyline, rayFields());
    addRay(*orp, 3, 2);
    EXPECT_EQ(orp->feature(1).oid(), 1);
}

TEST(Workspace, RollbackThatCannotReopenTheFileKeepsAUsableHandle) {
    TempDir dir;
    auto ws = Workspace::createGeoPackage(dir.file("p.gpkg"));
    ws->createFeatureClass("rays", GeometryType::Polyline, rayFields());
    {
        Workspace::Transaction tx(*ws);
        ws->createFeatureClass("orp_rays", GeometryType::Polyline, rayFields());
        std::filesystem::rename(dir.file("p.gpkg"), dir.file("moved.gpkg"));
    }
    ASSERT_NE(ws->dataset(), nullptr);
    EXPECT_NO_THROW(ws->featureClassNames());
}

TEST(Workspace, SelectionOfIntersectingFeaturesCountsTouchingAndIsInIdOrder) {
    TempDir dir;
    auto ws = Workspace::createGeoPackage(dir.file("p.gpkg"));
    auto fc = ws->createFeatureClass("Inter_rays", GeometryType::Polyline, rayFields());
    auto line = [&](Point a, Point b) {
        Feature f = fc->createFeature();
        f.setShape(Geometry::line(a, b));
        fc->store(f);
    };
    line({1000, 2000}, {1000, 3000});   // 1: starts at the site
    line({1003, 2000}, {1500, 2000});   // 2: begins 3 units away: dropped
    line({1002, 2002}, {1100, 2100});   // 3: touches the corner
    line({900, 2000}, {998, 2000});     // 4: ends on the left edge
    line({1000, 1990}, {1000, 1997.9}); // 5: stops short below
    const Geometry square = Geometry::polygon({{1002, 2002}, {998, 2002}, {998, 1998}, {1002, 1998}, {1002, 2002}});
    EXPECT_EQ(fc->selectIntersecting(square), (std::vector<std::int64_t>{1, 3, 4}));
    // The class reads normally afterwards (no filter left behind).
    EXPECT_EQ(fc->featureCount(), 5);
    EXPECT_EQ(allIds(*fc).size(), 5u);
}

TEST(Workspace, SpatialReferencesFromEpsgAndAlteredWithoutMovingCoordinates) {
    TempDir dir;
    const auto utm = SpatialReference::fromEpsg(32755);
    EXPECT_TRUE(utm.isProjected());
    EXPECT_FALSE(utm.isGeographic());
    EXPECT_EQ(utm.epsgCode(), 32755);
    EXPECT_NE(utm.name().find("UTM zone 55S"), std::string::npos);
    const auto wgs = SpatialReference::fromEpsg(4326);
    EXPECT_TRUE(wgs.isGeographic());
    EXPECT_FALSE(wgs.isSame(utm));
    EXPECT_TRUE(SpatialReference().isSame(SpatialReference()));
    EXPECT_THROW(SpatialReference::fromEpsg(999999), GisError);
    // Traditional GIS axis order: x is the longitude even where EPSG says latitude first.
    OGRSpatialReference lonlat;
    lonlat.importFromEPSG(4326);
    lonlat.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    EXPECT_EQ(wgs.ogr()->GetDataAxisToSRSAxisMapping(), lonlat.GetDataAxisToSRSAxisMapping());
    EXPECT_EQ(SpatialReference::fromWkt(wgs.wkt()).ogr()->GetDataAxisToSRSAxisMapping(),
              lonlat.GetDataAxisToSRSAxisMapping());
    EXPECT_NE(utm.proj4().find("+zone=55"), std::string::npos);

    {
        auto ws = Workspace::createGeoPackage(dir.file("p.gpkg"));
        auto rays = ws->createFeatureClass("rays", GeometryType::Polyline, rayFields());
        EXPECT_TRUE(rays->spatialReference().isNone());
        addRay(*rays, 123.25, 0);
        rays->alterSpatialReference(utm);
        EXPECT_TRUE(rays->spatialReference().isSame(utm));
        EXPECT_EQ(rays->feature(1).shape().part(0)[1], (Point{123.25, 0}));
        auto empty = ws->createFeatureClass("EffF_rays", GeometryType::Polyline, rayFields());
        empty->alterSpatialReference(utm);  // before any feature was written
    }
    // Reopened from the file: the new reference stayed, the coordinates too.
    auto ws = Workspace::openGeoPackage(dir.file("p.gpkg"));
    auto rays = ws->openFeatureClass("rays");
    EXPECT_TRUE(rays->spatialReference().isSame(utm));
    EXPECT_EQ(rays->feature(1).shape().part(0)[1], (Point{123.25, 0}));
    EXPECT_TRUE(ws->openFeatureClass("EffF_rays")->spatialReference().isSame(utm));
}

TEST(Workspace, RolledBackTransactionKeepsEarlierSpatialReferenceChanges) {
    TempDir dir;
    auto ws = Workspace::createGeoPackage(dir.file("p.gpkg"));
    auto rays = ws->createFeatureClass("rays", GeometryType::Polyline, rayFields());
    const auto utm = SpatialReference::fromEpsg(32755);
    rays->alterSpatialReference(utm);
    {
        Workspace::Transaction tx(*ws);
        addRay(*rays, 5, 1);
    }
    EXPECT_TRUE(rays->spatialReference().isSame(utm));
    {
        Workspace::Transaction tx(*ws);
        rays->alterSpatialReference(SpatialReference::fromEpsg(4326));
        EXPECT_TRUE(rays->spatialReference().isGeographic());
    }
    EXPECT_TRUE(rays->spatialReference().isSame(utm));
}

// A shapefile's reference file is replaced whole, never written over in
// place: a link to the old file keeps the old reference.
TEST(Workspace, AShapefilesReferenceIsReplacedNotWrittenOver) {
    TempDir dir;
    auto sites = Workspace::open(dir.path())->createFeatureClass("sites", GeometryType::Point, {},
                                                                 SpatialReference::fromEpsg(32755));
    const std::string prj = dir.file("sites.prj"), kept = dir.file("kept.prj.link");
    std::filesystem::create_hard_link(prj, kept);
    const std::string before = quor::test::fileBytes(prj);
    sites->alterSpatialReference(SpatialReference::fromEpsg(4326));
    EXPECT_EQ(quor::test::fileBytes(kept), before);
    EXPECT_NE(quor::test::fileBytes(prj), before);
}

TEST(Workspace, ShapefileFoldersWithAndWithoutReference) {
    TempDir dir;
    const std::string folder = dir.file("shp");
    std::filesystem::create_directories(folder);
    {
        auto ws = Workspace::open(folder);
        EXPECT_EQ(ws->kind(), WorkspaceKind::ShapefileFolder);
        auto a = ws->createFeatureClass("with_ref", GeometryType::Polygon, {{"ID", FieldType::Integer}},
                                        SpatialReference::fromEpsg(32755));
        Feature f = a->createFeature();
        f.setShape(Geometry::polygon({{0, 0}, {10, 0}, {10, 10}, {0, 10}}));
        f.setValue("ID", std::int64_t{7});
        a->store(f);
        auto b = ws->createFeatureClass("no_ref", GeometryType::Point, {});
        Feature g = b->createFeature();
        g.setShape(Geometry::point(1, 2));
        b->store(g);
    }
    auto ws = Workspace::open(folder + "/with_ref.shp");  // a shapefile opens its folder
    EXPECT_EQ(ws->path(), folder);
    auto a = ws->openFeatureClass("with_ref");
    EXPECT_EQ(a->geometryType(), GeometryType::Polygon);
    EXPECT_EQ(a->spatialReference().epsgCode(), 32755);
    EXPECT_EQ(a->fields()->field(1).name, "FID");
    EXPECT_EQ(toInt(a->feature(0).value("ID")), 7);  // shapefile ids count from 0
    auto b = ws->openFeatureClass("no_ref");
    EXPECT_TRUE(b->spatialReference().isNone());
    b->alterSpatialReference(SpatialReference::fromEpsg(4326));
    EXPECT_TRUE(std::filesystem::exists(folder + "/no_ref.prj"));

    // Result fields added to a point shapefile and written row by row stay.
    b->addField({"Index", FieldType::Double, {}, 30});
    auto cur = b->search();
    while (auto f = cur.next()) {
        f->setValue("Index", 12.75);
        b->store(*f);
    }
    a.reset();
    b.reset();
    ws.reset();
    auto again = Workspace::open(folder)->openFeatureClass("no_ref");
    EXPECT_EQ(again->featureCount(), 1);
    EXPECT_DOUBLE_EQ(toDouble(again->feature(0).value("index")), 12.75);
    EXPECT_EQ(again->spatialReference().epsgCode(), 4326);
}

TEST(Workspace, ShapefileNamedWithLowerCaseExtensionOpensWhateverTheFileSpelling) {
    TempDir dir;
    const std::string folder = dir.file("upper");
    std::filesystem::create_directories(folder);
    {
        auto ws = Workspace::open(folder);
        auto fc = ws->createFeatureClass("Coast", GeometryType::Polygon, {}, SpatialReference::fromEpsg(32755));
        Feature f = fc->createFeature();
        f.setShape(Geometry::polygon({{0, 0}, {10, 0}, {10, 10}, {0, 10}}));
        fc->store(f);
    }
    for (const char* ext : {"shp", "shx", "dbf", "prj"}) {
        std::string up = ext;
        for (auto& c : up) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        std::filesystem::rename(folder + "/Coast." + ext, folder + "/Coast." + up);
    }
    // Projects record the shoreline as "Coast.shp".
    auto fc = Workspace::open(folder + "/Coast.shp")->openFeatureClass("Coast");
    EXPECT_EQ(fc->featureCount(), 1);
    EXPECT_EQ(fc->spatialReference().epsgCode(), 32755);
}

// The user writes a new copy over a shapefile this program has written
// results into and still holds, as cp does: the class opened again is the
// copy, and nothing this program held of the old files reaches it, when
// the class is opened again or when the folder is let go.
TEST(Workspace, ShapefileWrittenOverInPlaceIsOpenedAsTheNewCopyAndKeptAsItIs) {
    for (const bool openAgain : {true, false}) {
        SCOPED_TRACE(openAgain ? "opened again" : "let go");
        TempDir dir;
        const std::string folder = dir.file("sites"), copies = dir.file("copies");
        std::filesystem::create_directories(folder);
        std::filesystem::create_directories(copies);
        auto fresh = Workspace::open(copies)->createFeatureClass("pts", GeometryType::Point, {{"SITE", FieldType::Integer}});
        for (int i = 1; i <= 3; ++i) {
            Feature f = fresh->createFeature();
            f.setShape(Geometry::point(1000 * i, 1000));
            f.setValue("SITE", std::int64_t{i});
            fresh->store(f);
            if (i == 1) {
                fresh->flush();
                for (const char* ext : {".shp", ".shx", ".dbf"})
                    std::filesystem::copy_file(copies + "/pts" + ext, folder + "/pts" + ext);
            }
        }
        fresh->flush();
        auto ws = Workspace::open(folder);
        auto pts = ws->openFeatureClass("pts");
        pts->addField({"RWE", FieldType::Double, {}, 30});
        for (auto cursor = pts->search(); auto f = cursor.next();) {
            f->setValue("RWE", 2.5);
            pts->store(*f);
        }
        pts->flush();

        std::map<std::string, std::string> copied;
        for (const char* ext : {".shp", ".shx", ".dbf"}) {
            std::filesystem::copy_file(copies + "/pts" + ext, folder + "/pts" + ext,
                                       std::filesystem::copy_options::overwrite_existing);
            copied[ext] = quor::test::fileBytes(folder + "/pts" + ext);
        }
        if (openAgain) {
            auto again = ws->openFeatureClass("pts");
            EXPECT_EQ(again->featureCount(), 3);
            EXPECT_EQ(again->findField("RWE"), -1);
        } else {
            pts.reset();
            ws.reset();
        }
        for (const auto& [ext, bytes] : copied)
            EXPECT_TRUE(quor::test::fileBytes(folder + "/pts" + ext) == bytes) << ext << " was written into";
    }
}

// GDAL writes a shapefile's headers again whenever it closes a handle that
// wrote into it: this program's own write of a row is closed at once, so
// that files another program copies over afterwards are left as it wrote them.
TEST(Workspace, ARowAddedIsLetGoBeforeAnotherProgramCopiesItsFilesOver) {
    TempDir dir;
    const std::string folder = dir.file("sites"), theirs = dir.file("theirs");
    std::filesystem::create_directories(folder);
    std::filesystem::create_directories(theirs);
    for (const std::string& at : {folder, theirs}) {
        auto fc = Workspace::open(at)->createFeatureClass("pts", GeometryType::Point, {{"SITE", FieldType::Integer}});
        for (int i = 1; i <= (at == folder ? 1 : 4); ++i) {
            Feature f = fc->createFeature();
            f.setShape(Geometry::point(1000 * i, 1000));
            f.setValue("SITE", std::int64_t{i});
            fc->store(f);
        }
    }
    auto ws = Workspace::open(folder);
    auto pts = ws->openFeatureClass("pts");
    Feature f = pts->createFeature();
    f.setShape(Geometry::point(5000, 1000));
    pts->store(f);
    std::map<std::string, std::string> copied;
    for (const char* ext : {".shp", ".shx", ".dbf"}) {
        std::filesystem::copy_file(theirs + "/pts" + ext, folder + "/pts" + ext,
                                   std::filesystem::copy_options::overwrite_existing);
        copied[ext] = quor::test::fileBytes(folder + "/pts" + ext);
    }
    pts.reset();
    ws.reset();
    for (const auto& [ext, bytes] : copied)
        EXPECT_TRUE(quor::test::fileBytes(folder + "/pts" + ext) == bytes) << ext << " was written into";
}

// Another program removes a class of the geodatabase this one has open:
// reading it says so in words.
TEST(Workspace, AClassAnotherProgramRemovedIsToldAsGone) {
    TempDir dir;
    auto ws = Workspace::createGeoPackage(dir.file("bay1.gpkg"));
    auto fc = ws->createFeatureClass("Pointdata1", GeometryType::Point, {{"X", FieldType::Double}});
    Feature f = fc->createFeature();
    f.setShape(Geometry::point({1, 2}));
    fc->store(f);
    {
        GDALDatasetUniquePtr other(GDALDataset::Open(dir.file("bay1.gpkg").c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE));
        ASSERT_TRUE(other);
        ASSERT_EQ(other->DeleteLayer(0), OGRERR_NONE);
    }
    try {
        fc->search();
        ADD_FAILURE() << "a removed class was read";
    } catch (const GisError& e) {
        EXPECT_STREQ(e.what(), "The dataset Pointdata1 no longer exists: another program has removed it.");
    }
}

TEST(Workspace, ReadOnlyShapefileInAWritableFolderIsReadNotCalledDamaged) {
    TempDir dir;
    const std::string folder = dir.file("ro");
    std::filesystem::create_directories(folder);
    {
        auto ws = Workspace::open(folder);
        auto fc = ws->createFeatureClass("lake", GeometryType::Polygon, {}, SpatialReference::fromEpsg(32755));
        Feature f = fc->createFeature();
        f.setShape(Geometry::polygon({{0, 0}, {10, 0}, {10, 10}, {0, 10}}));
        fc->store(f);
        auto pts = ws->createFeatureClass("pts", GeometryType::Point, {{"Index", FieldType::Double}});
        Feature p = pts->createFeature();
        p.setShape(Geometry::point(1, 1));
        pts->store(p);
    }
    std::vector<std::string> lakeFiles;
    for (const char* ext : {".shp", ".shx", ".dbf", ".prj"}) lakeFiles.push_back(folder + "/lake" + ext);
    const quor::test::ReadOnlyFiles readOnly(lakeFiles);
    if (!readOnly.binding()) GTEST_SKIP() << "this disk cannot keep a file from the superuser";
    auto ws = Workspace::open(folder + "/lake.shp");
    EXPECT_FALSE(ws->readOnly());
    auto lake = ws->openFeatureClass("lake");
    EXPECT_EQ(lake->featureCount(), 1);
    EXPECT_EQ(lake->geometryType(), GeometryType::Polygon);
    EXPECT_EQ(lake->spatialReference().epsgCode(), 32755);
    Feature g = lake->createFeature();
    g.setShape(Geometry::polygon({{0, 0}, {1, 0}, {1, 1}}));
    EXPECT_THROW(lake->store(g), GisError);
    EXPECT_EQ(lake->featureCount(), 1);
    // The writable shapefile beside it is still written.
    auto pts = ws->openFeatureClass("pts");
    auto row = pts->feature(0);
    row.setValue("Index", 2.5);
    pts->store(row);
    EXPECT_DOUBLE_EQ(toDouble(pts->feature(0).value("Index")), 2.5);
}

// A class opened on a read-only shapefile while its folder is written
// is still read after the table of another shapefile there changes.
TEST(Workspace, AReadOnlyClassIsStillReadAfterAFieldChangeBesideIt) {
    TempDir dir;
    const std::string folder = dir.file("ro");
    std::filesystem::create_directories(folder);
    auto ws = Workspace::open(folder);
    auto lake = ws->createFeatureClass("lake", GeometryType::Polygon, {});
    Feature shore = lake->createFeature();
    shore.setShape(Geometry::polygon({{0, 0}, {10, 0}, {10, 10}, {0, 10}}));
    lake->store(shore);
    std::vector<std::string> lakeFiles;
    for (const char* ext : {".shp", ".shx", ".dbf"}) lakeFiles.push_back(folder + "/lake" + ext);
    const quor::test::ReadOnlyFiles readOnly(lakeFiles);
    if (!readOnly.binding()) GTEST_SKIP() << "this disk cannot keep a file from the superuser";

    auto pts = ws->createFeatureClass("pts", GeometryType::Point, {{"SITE", FieldType::Integer}});
    Feature site = pts->createFeature();
    site.setShape(Geometry::point(1, 1));
    pts->store(site);
    lake = ws->openFeatureClass("lake");
    ASSERT_EQ(lake->featureCount(), 1);
    pts->addField({"Index", FieldType::Double, {}, 30});
    EXPECT_EQ(lake->featureCount(), 1);
    EXPECT_EQ(ws->openFeatureClass("lake")->geometryType(), GeometryType::Polygon);
}

TEST(Workspace, DamagedReadOnlyAndLockedGeoPackagesGiveClearErrors) {
    TempDir dir;
    // Not a GeoPackage at all.
    std::ofstream(dir.file("junk.gpkg")) << "this is not a database";
    EXPECT_THROW(Workspace::openGeoPackage(dir.file("junk.gpkg")), GisError);

    // Truncated: a real file cut short.
    {
        auto ws = Workspace::createGeoPackage(dir.file("full.gpkg"));
        auto rays = ws->createFeatureClass("rays", GeometryType::Polyline, rayFields());
        for (int i = 0; i < 200; ++i) addRay(*rays, i + 1, i);
    }
    std::filesystem::copy_file(dir.file("full.gpkg"), dir.file("cut.gpkg"));
    std::filesystem::resize_file(dir.file("cut.gpkg"), 2048);
    bool refused = false;
    try {
        auto ws = Workspace::openGeoPackage(dir.file("cut.gpkg"));
        auto rays = ws->openFeatureClass("rays");
        rays->featureCount();
        allIds(*rays);
    } catch (const GisError& e) {
        refused = true;
        // SQLite's words ("database disk image is malformed") name no file.
        EXPECT_NE(std::string(e.what()).find(dir.file("cut.gpkg")), std::string::npos) << e.what();
    }
    EXPECT_TRUE(refused);

    // Read-only file.
    std::filesystem::copy_file(dir.file("full.gpkg"), dir.file("ro.gpkg"));
    ::chmod(dir.file("ro.gpkg").c_str(), 0444);
    if (::geteuid() != 0) {
        // As input it is read; as the project geodatabase it is refused.
        auto input = Workspace::open(dir.file("ro.gpkg"));
        EXPECT_TRUE(input->readOnly());
        EXPECT_EQ(input->openFeatureClass("rays")->featureCount(), 200);
        EXPECT_THROW(input->createFeatureClass("x", GeometryType::Point, {}), GisError);
        try {
            Workspace::openGeoPackage(dir.file("ro.gpkg"));
            ADD_FAILURE() << "a read-only file opened for writing";
        } catch (const GisError& e) {
            EXPECT_NE(std::string(e.what()).find("read-only"), std::string::npos);
        }
    }

    // Locked by another writer: our write fails with a message, nothing is lost.
    auto ws = Workspace::openGeoPackage(dir.file("full.gpkg"));
    auto rays = ws->openFeatureClass("rays");
    const char* drivers[] = {"GPKG", nullptr};
    auto* other = static_cast<GDALDataset*>(
        GDALOpenEx(dir.file("full.gpkg").c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE, drivers, nullptr, nullptr));
    ASSERT_NE(other, nullptr);
    CPLPushErrorHandler(CPLQuietErrorHandler);
    ASSERT_EQ(other->StartTransaction(), OGRERR_NONE);
    OGRLayer* ol = other->GetLayerByName("rays");
    OGRFeature of(ol->GetLayerDefn());
    ASSERT_EQ(ol->CreateFeature(&of), OGRERR_NONE);  // holds the write lock
    CPLPopErrorHandler();
    try {
        Workspace::Transaction tx(*ws);
        addRay(*rays, 1, 1);
        ADD_FAILURE() << "a row went into a geodatabase another program holds";
    } catch (const GisError& e) {
        EXPECT_NE(std::string(e.what()).find("being written by another program"), std::string::npos) << e.what();
    }
    other->RollbackTransaction();
    EXPECT_EQ(rays->featureCount(), 200);
    addRay(*rays, 1, 1);
    EXPECT_EQ(rays->featureCount(), 201);

    // A short write of another program's is waited for, inside a
    // transaction that has read already too.
    CPLPushErrorHandler(CPLQuietErrorHandler);
    other->ReleaseResultSet(other->ExecuteSQL("PRAGMA busy_timeout = 10000", nullptr, nullptr));
    ASSERT_EQ(other->StartTransaction(), OGRERR_NONE);
    OGRFeature another(ol->GetLayerDefn());
    ASSERT_EQ(ol->CreateFeature(&another), OGRERR_NONE) << CPLGetLastErrorMsg();
    CPLPopErrorHandler();
    std::thread ends([&] {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        EXPECT_EQ(other->CommitTransaction(), OGRERR_NONE);
    });
    {
        Workspace::Transaction tx(*ws);
        EXPECT_NO_THROW(addRay(*rays, 2, 2));
        tx.commit();
    }
    ends.join();
    GDALClose(other);
    EXPECT_EQ(allIds(*rays).size(), 203u);
}

TEST(Workspace, GeoPackageReferencesWithoutCodeOrNoneAreAlteredAndKept) {
    TempDir dir;
    const auto custom = SpatialReference::fromWkt(
        "LOCAL_CS[\"Bay grid\",LOCAL_DATUM[\"Bay\",0],UNIT[\"metre\",1],AXIS[\"X\",EAST],AXIS[\"Y\",NORTH]]");
    const auto utm = SpatialReference::fromEpsg(32755);
    {
        auto ws = Workspace::createGeoPackage(dir.file("p.gpkg"));
        auto a = ws->createFeatureClass("a's rays", GeometryType::Polyline, rayFields(), utm);
        auto b = ws->createFeatureClass("b", GeometryType::Polyline, rayFields());
        a->alterSpatialReference(SpatialReference());
        b->alterSpatialReference(custom);
        EXPECT_TRUE(a->spatialReference().isNone());
        EXPECT_TRUE(b->spatialReference().isSame(custom));
        addRay(*b, 10, 1);
    }
    auto ws = Workspace::openGeoPackage(dir.file("p.gpkg"));
    // Taken off again, the class is the undefined Cartesian one: no code,
    // never read as degrees.
    const auto none = ws->openFeatureClass("a's rays")->spatialReference();
    EXPECT_FALSE(none.isGeographic());
    EXPECT_LE(none.epsgCode(), 0);
    auto b = ws->openFeatureClass("b");
    EXPECT_FALSE(b->spatialReference().isNone());
    EXPECT_EQ(b->feature(1).shape().part(0)[1], (Point{10, 0}));
}
