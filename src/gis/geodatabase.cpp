#include "gis/geodatabase.h"

#include <filesystem>

#include "gis/shorebathy.h"
#include "platform/gis/gis_error.h"
#include "platform/numbers.h"

namespace quor::gis {

std::string geodatabaseFileName(const std::string& projname) { return projname + ".gpkg"; }

std::string geodatabasePath(const std::string& Location, const std::string& name) {
    return Location + "/" + name + ".gpkg";
}

std::vector<std::string> geodatabaseLogFiles(const std::string& gdbPath) {
    return {gdbPath + "-wal", gdbPath + "-shm", gdbPath + "-journal"};
}

namespace {
void removeFile(const std::string& path, const std::string& what) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
    if (ec) throw pg::GisError("The " + what + " " + path + " cannot be removed: " + ec.message());
}
}  // namespace

void removeGeodatabaseLogs(const std::string& gdbPath) {
    for (const auto& log : geodatabaseLogFiles(gdbPath)) removeFile(log, "geodatabase log");
}

void removeGeodatabase(const std::string& gdbPath) {
    removeFile(gdbPath, "geodatabase");
    removeGeodatabaseLogs(gdbPath);
}

std::shared_ptr<pg::Workspace> createWorkspace(const std::string& Location, const std::string& name) {
    const std::string path = geodatabasePath(Location, name);
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) return pg::Workspace::openGeoPackage(path);
    removeGeodatabaseLogs(path);
    return pg::Workspace::createGeoPackage(path);
}

int nextPointdataNumber(const std::vector<std::string>& classNames) {
    int largest = 0;
    for (const auto& n : classNames) {
        if (n.size() <= 9) continue;  // nothing from the tenth character on
        try {
            const auto v = platform::parseInt16(std::string_view(n).substr(9));
            if (v && *v >= largest) largest = *v;
        } catch (const platform::OverflowError&) {
            // beyond the 16-bit range: no number
        }
    }
    return largest + 1;
}

std::shared_ptr<pg::FeatureClass> createNextPointClass(model::MainFormState& mainform, platform::Messages& messages) {
    std::vector<std::string> names;
    try {
        if (!mainform.ptworkspace) {
            messages.message("91", platform::MessageIcon::Information, "createAccessWorkspace error");
            return nullptr;
        }
        names = mainform.ptworkspace->featureClassNames();
    } catch (const pg::GisError&) {
        messages.message("-2147467259", platform::MessageIcon::Information, "createAccessWorkspace error");
        return nullptr;
    }
    const int n = nextPointdataNumber(names);
    mainform.pfeatureworkspace = mainform.ptworkspace;
    // Clicked points are map coordinates: the class takes the reference of
    // the map's data, so that a run accepts it like any other dataset.
    pg::SpatialReference sr;
    try {
        sr = mapDataSpatialReference(mainform);
    } catch (const pg::GisError&) {
    }
    return createStandardClass(mainform.pfeatureworkspace, "Pointdata" + std::to_string(n), pg::GeometryType::Point,
                               messages, nullptr, sr);
}

std::vector<pg::FieldDef> standardFields(pg::GeometryType type) {
    switch (type) {
        case pg::GeometryType::Point:
            return {{"X", pg::FieldType::Double, "X_coord"}, {"Y", pg::FieldType::Double, "Y_coord"}};
        case pg::GeometryType::Polyline: return {{"Dir", pg::FieldType::Integer, "Direction"}};
        default: return {};
    }
}

std::shared_ptr<pg::FeatureClass> createStandardClass(const std::shared_ptr<pg::Workspace>& ws, const std::string& name,
                                                      pg::GeometryType type, platform::Messages& messages,
                                                      const std::vector<pg::FieldDef>* fields,
                                                      const pg::SpatialReference& sr) {
    if (!ws || name.empty()) return nullptr;
    try {
        // Coordinates are stored as given. The XY domain of the old store
        // is not enforced (a GeoPackage has none).
        return ws->createFeatureClass(name, type, fields ? *fields : standardFields(type), sr);
    } catch (const pg::GisError& e) {
        messages.message(e.description(), platform::MessageIcon::Information, "createWorkspaceFeatureClass");
        return nullptr;
    }
}

std::shared_ptr<pg::FeatureClass> createRayClass(const std::shared_ptr<pg::Workspace>& ws, const std::string& name,
                                                 platform::Messages& messages) {
    auto fc = createStandardClass(ws, name, pg::GeometryType::Polyline, messages);
    if (!fc) throw pg::GisError("The work class " + name + " could not be created.");
    return fc;
}

// ---- entry points with type codes ----

namespace {
pg::GeometryType geometryOf(int32_t code) {
    switch (code) {
        case geom_point:
        case geom_multipoint: return pg::GeometryType::Point;
        case geom_polyline:
        case geom_line: return pg::GeometryType::Polyline;
        case geom_polygon: return pg::GeometryType::Polygon;
        default: return pg::GeometryType::None;
    }
}
}  // namespace

std::shared_ptr<pg::FeatureClass> createAccessWorkspace(model::MainFormState& mainform, platform::Messages& messages,
                                                        const std::string&, const std::string&) {
    return createNextPointClass(mainform, messages);
}

std::vector<pg::FieldDef> standardFields(int32_t geomType) {
    // Only the two codes that have fields of their own: a multipoint or
    // line code never had the point or ray fields.
    if (geomType == geom_point) return standardFields(pg::GeometryType::Point);
    if (geomType == geom_polyline) return standardFields(pg::GeometryType::Polyline);
    return {};
}

std::shared_ptr<pg::FeatureClass> createWorkspaceFeatureClass(const std::shared_ptr<pg::Workspace>& pworkspace,
                                                              const std::string& name, int32_t featType,
                                                              int32_t& geomType, platform::Messages& messages,
                                                              const std::vector<pg::FieldDef>* pFields,
                                                              const std::string&) {
    if (!pworkspace || name.empty()) return nullptr;
    switch (featType) {
        case ftype_simple:
            if (geomType == geom_line) geomType = geom_polyline;
            break;
        case ftype_simple_junction: geomType = geom_point; break;
        case ftype_simple_edge:
        case ftype_complex_edge: geomType = geom_polyline; break;
        case ftype_annotation: return nullptr;
        default: break;
    }
    const std::vector<pg::FieldDef> fields = pFields ? *pFields : standardFields(geomType);
    return createStandardClass(pworkspace, name, geometryOf(geomType), messages, &fields);
}

std::shared_ptr<pg::FeatureClass> createWorkspaceFeatureClass(const std::shared_ptr<pg::Workspace>& pworkspace,
                                                              const std::string& name, int32_t featType,
                                                              const int32_t& geomTypeIn, platform::Messages& messages) {
    int32_t g = geomTypeIn;
    return createWorkspaceFeatureClass(pworkspace, name, featType, g, messages, nullptr, {});
}

}  // namespace quor::gis
