// The project file as bytes on disk and as the reader takes it.
#include "platform/file_replacement.h"
#include "project_fixture.h"

using namespace quor;
using namespace quor::project;
using namespace quor::project::testing;

namespace {

ProjectFileContent sampleContent() {
    ProjectFileContent c;
    c.bathycov = "/data/bay/bathy.tif";
    c.bathyname = "bathy.tif";
    c.bathy_positive = 1;
    c.shorecov = "/data/bay";
    c.shorename = "coast.shp";
    c.wind_path = "/data/wind/north.Wind_RWE";
    c.wind_name = "north.Wind_RWE";
    c.bathyunits = "Centimeter";
    c.windunits = "M/S";
    c.geodatabase = "bay_RWE1.gpkg";
    return c;
}

// Writes a project file of the given lines for `wb`'s open project name.
std::string writeRaw(Workbench& wb, const std::string& name, const std::vector<std::string>& lines) {
    wb.form.projfile = wb.projects;
    wb.form.projname = name;
    const auto path = projectFilePath(wb.projects, name, wb.state.model_mode);
    platform::writeTextLines(path, lines);
    return path;
}

std::vector<std::string> validLines(const Workbench& wb) {
    return projectFileLines("Quor RWE Project File", "1/2/26 10:00",
                            {wb.data + "/bathy.tif", "bathy.tif", 0, wb.data + "/shore", "coast.shp", "",
                             wb.data + "/north.Wind_RWE", "north.Wind_RWE", "Meter", "M/S", ""});
}

}  // namespace

TEST(ProjectFile, WritesFifteenCrLfLinesByteForByte) {
    test::TempDir tmp;
    const auto path = tmp.file("bay_RWE1.tesk_RWE");
    writeProjectFile(path, projectFileLines("Quor RWE Project File", "07/12/2026 10:11", sampleContent()));
    EXPECT_EQ(readBytes(path),
              "Quor RWE Project File\r\n\r\nCreated on: 07/12/2026 10:11\r\n\r\n/data/bay/bathy.tif\r\nbathy.tif\r\n1\r\n"
              "/data/bay\r\ncoast.shp\r\n\r\n/data/wind/north.Wind_RWE\r\nnorth.Wind_RWE\r\nCentimeter\r\nM/S\r\n"
              "bay_RWE1.gpkg\r\n");

    // Titles by mode and for Save As; without a geodatabase line 14 is left out.
    EXPECT_EQ(projectTitle(model::RWE_MODE), "Quor RWE Project File");
    EXPECT_EQ(projectTitle(model::REI_MODE), "Quor REI Project File");
    auto c = sampleContent();
    c.geodatabase.clear();
    const auto lines = projectFileLines(kSaveAsTitle, "x", c);
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[0], "Quor Project File");
    EXPECT_EQ(lines[13], "M/S");
    EXPECT_EQ(projectFilePath("/p", "bay", model::REI_MODE), "/p/bay.tesk_REI");
}

TEST(ProjectFile, AValueWithALineBreakNeverReplacesAGoodFile) {
    test::TempDir tmp;
    const auto path = tmp.file("bay.tesk_RWE");
    writeProjectFile(path, projectFileLines("Quor RWE Project File", "now", sampleContent()));
    const std::string good = readBytes(path);

    auto bad = sampleContent();
    bad.shorename = "coast\r\n.shp";
    EXPECT_THROW(writeProjectFile(path, projectFileLines("Quor RWE Project File", "now", bad)), ProjectFileError);
    EXPECT_EQ(readBytes(path), good);

    // A folder that cannot take the file: the old file stays, no temporary is left.
    const auto inMissing = tmp.file("missing/bay.tesk_RWE");
    EXPECT_THROW(writeProjectFile(inMissing, projectFileLines("t", "now", sampleContent())), platform::FileError);
    EXPECT_FALSE(fs::exists(platform::FileReplacement::partialPath(inMissing)));
    for (const auto& e : fs::directory_iterator(tmp.path())) EXPECT_EQ(e.path().string().find(".quor-new"), std::string::npos);
}

TEST(ProjectFile, StoredBackslashPathsReadAsFolders) {
    EXPECT_EQ(storedPathToNative("C:\\Data\\bay\\bathy"), "C:/Data/bay/bathy");
    // A name holding a backslash in a path with slashes stays as it is.
    EXPECT_EQ(storedPathToNative("/data/odd\\name.tif"), "/data/odd\\name.tif");
    EXPECT_EQ(storedPathToNative(""), "");
}

TEST(LoadProject, LineCountRulesAndTheGeodatabase) {
    Workbench wb;
    auto lines = validLines(wb);
    lines.resize(21);  // 21 lines load
    pg::Workspace::createGeoPackage(wb.projects + "/p21.gpkg");
    writeRaw(wb, "p21", lines);
    EXPECT_TRUE(wb.commands->loadproject());
    EXPECT_EQ(wb.form.geodatabasename, "p21.gpkg");
    ASSERT_TRUE(wb.form.ptworkspace);

    lines.resize(22);  // 22 do not
    writeRaw(wb, "p22", lines);
    EXPECT_FALSE(wb.commands->loadproject());

    // 12 lines: no geodatabase is opened, the workspace stays, units read empty.
    auto before = wb.form.ptworkspace;
    wb.form.geodatabasename.clear();
    lines = validLines(wb);
    lines.resize(12);
    writeRaw(wb, "p12", lines);
    EXPECT_TRUE(wb.commands->loadproject());
    EXPECT_EQ(wb.form.ptworkspace, before);
    EXPECT_EQ(wb.form.geodatabasename, "");
    EXPECT_EQ(wb.form.bathyunits, "");

    // 14 lines (Save As without the geodatabase line) open the geodatabase;
    // a missing one is a failure that says so.
    lines = validLines(wb);
    ASSERT_EQ(lines.size(), 14u);
    writeRaw(wb, "p14", lines);
    EXPECT_THROW(wb.commands->loadproject(), ProjectFileError);
    pg::Workspace::createGeoPackage(wb.projects + "/p14.gpkg");
    EXPECT_TRUE(wb.commands->loadproject());
    EXPECT_EQ(wb.form.geodatabasename, "p14.gpkg");

    // 6 lines: line 6 is not a number.
    lines.resize(6);
    writeRaw(wb, "p6", lines);
    EXPECT_FALSE(wb.commands->loadproject());
}

TEST(LoadProject, ABathymetrySignOtherThanZeroOrOneIsRefusedWithItsLine) {
    Workbench wb;
    auto lines = validLines(wb);
    pg::Workspace::createGeoPackage(wb.projects + "/p.gpkg");
    for (const char* sign : {"5", "-1", "99999"}) {
        SCOPED_TRACE(sign);
        lines[6] = sign;
        const auto path = writeRaw(wb, "p", lines);
        try {
            wb.commands->loadproject();
            ADD_FAILURE() << "opened";
        } catch (const ProjectFileError& e) {
            EXPECT_EQ(std::string(e.what()), std::string(kCorruptedProject) + "\nLine 7 of " + path + ", \"" + sign +
                                                 "\": the bathymetry sign must be 0 (negative depths) or 1 "
                                                 "(positive depths).");
        }
    }
}

TEST(LoadProject, WindLineChecksByMode) {
    Workbench wb;
    auto lines = validLines(wb);
    lines.resize(12);
    lines[10] = wb.data + "/north.wind_rwe";  // differs in letter case only
    writeRaw(wb, "p", lines);
    EXPECT_FALSE(wb.commands->loadproject());

    // A batch project created without wind data opens.
    lines[10] = "";
    lines[11] = "";
    writeRaw(wb, "p", lines);
    EXPECT_TRUE(wb.commands->loadproject());
    EXPECT_EQ(wb.state.wind_path, "");

    lines[10] = wb.data + "/north.Wind_RWE";
    writeRaw(wb, "p", lines);
    ASSERT_TRUE(wb.commands->loadproject());
    EXPECT_EQ(wb.form.windpath, lines[10]);
    EXPECT_EQ(wb.state.wind_pathcopy, lines[10]);

    // REI: no suffix test, the wind file goes through the wind reader, and
    // a failed read does not leave the New Project dialog cancelled.
    wb.state.model_mode = model::REI_MODE;
    lines[0] = kSaveAsTitle;  // line 0 is not read
    lines[10] = wb.data + "/north.Wind_REI";
    writeRaw(wb, "p", lines);
    EXPECT_TRUE(wb.commands->loadproject());
    EXPECT_EQ(wb.windLoads.back(), lines[10]);
    wb.windLoadSucceeds = false;
    EXPECT_TRUE(wb.commands->loadproject());  // opened without wind
    EXPECT_EQ(wb.state.wind_path, "");
    EXPECT_FALSE(wb.state.dlg_cancel);
}

TEST(LoadProject, ShorelineKindFastAlgorithmAndTemporaryWind) {
    Workbench wb;
    auto lines = validLines(wb);
    lines.resize(12);
    lines[8] = "coast";
    lines[9] = "polygon";
    writeRaw(wb, "p", lines);
    ASSERT_TRUE(wb.commands->loadproject());
    EXPECT_EQ(wb.form.option_arccov, 2);
    lines[8] = "coast.shp";
    lines[9] = "Polygon";  // case counts
    writeRaw(wb, "p", lines);
    ASSERT_TRUE(wb.commands->loadproject());
    EXPECT_EQ(wb.form.option_arccov, 1);

    lines[11] = "Temporary_wind";
    lines[7] = "";  // no shoreline, fast algorithm off: refused after its message
    writeRaw(wb, "p", lines);
    EXPECT_FALSE(wb.commands->loadproject());
    EXPECT_EQ(wb.messageTexts(), std::vector<std::string>{kNoShorelineProject});
    wb.state.wv_indexcheck = 1;
    EXPECT_TRUE(wb.commands->loadproject());
    EXPECT_EQ(wb.messageTexts().back(), kTemporaryWindWarning);
}
