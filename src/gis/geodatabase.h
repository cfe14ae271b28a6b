#pragma once
// The project geodatabase (a GeoPackage "<project folder>/<projname>.gpkg")
// and the creation of its feature classes with the program's standard
// field sets.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/model_state.h"
#include "platform/feedback.h"
#include "platform/gis/feature_class.h"
#include "platform/gis/fields.h"
#include "platform/gis/workspace.h"

namespace quor::gis {

namespace pg = platform::gis;

// Geometry type codes of the entry points below (inside the program the
// GeometryType enum is used).
inline constexpr int32_t geom_point = 1;
inline constexpr int32_t geom_multipoint = 2;
inline constexpr int32_t geom_polyline = 3;
inline constexpr int32_t geom_polygon = 4;
inline constexpr int32_t geom_line = 13;
// Feature type codes.
inline constexpr int32_t ftype_simple = 1;
inline constexpr int32_t ftype_simple_junction = 7;
inline constexpr int32_t ftype_simple_edge = 8;
inline constexpr int32_t ftype_complex_junction = 9;
inline constexpr int32_t ftype_complex_edge = 10;
inline constexpr int32_t ftype_annotation = 11;

// The file name of a project's geodatabase: projname and ".gpkg".
std::string geodatabaseFileName(const std::string& projname);
// Location, "/", name and ".gpkg".
std::string geodatabasePath(const std::string& Location, const std::string& name);

// The files SQLite keeps beside a geodatabase while it is written: the
// write-ahead log, its shared-memory index and the rollback journal.
std::vector<std::string> geodatabaseLogFiles(const std::string& gdbPath);
// Removes the logs beside gdbPath. A log outlives its file when a run is
// killed and the file is then deleted or replaced; SQLite would replay it
// into whatever file is next put at that path. GisError naming the log
// that would not go.
void removeGeodatabaseLogs(const std::string& gdbPath);
// Removes a geodatabase with its logs (the file first, so that a file
// that will not go keeps its log). GisError naming what would not go.
void removeGeodatabase(const std::string& gdbPath);

// Opens the project's geodatabase, creating it first when the file does
// not exist (after removing any stale log of that name). Failures (a
// damaged or read-only file, a folder that cannot be written, a stale log
// that cannot be removed) reach the caller as GisError.
std::shared_ptr<pg::Workspace> createWorkspace(const std::string& Location, const std::string& name);

// The number of the next "Pointdata" class: one more than the largest
// 16-bit integer found in the class names from their tenth character on.
int nextPointdataNumber(const std::vector<std::string>& classNames);

// Creates the next free point class "Pointdata"N in mainform.ptworkspace, in
// the spatial reference of the project's map data (mapDataSpatialReference;
// none when it cannot be read), and sets mainform.pfeatureworkspace to that
// workspace. Without a project workspace: the message "91" (the number of
// the missing-object error) under "createAccessWorkspace error" and no
// class; a workspace whose class names cannot be read: "-2147467259" under
// the same title.
std::shared_ptr<pg::FeatureClass> createNextPointClass(model::MainFormState& mainform, platform::Messages& messages);

// The attribute fields of the standard field set after "shape" and
// "OBJECTID": "X" and "Y" (doubles) for points, "Dir" (long) for polylines,
// none for any other geometry type.
std::vector<pg::FieldDef> standardFields(pg::GeometryType type);

// Creates a feature class with the standard field set of its type (or
// `fields`, given as the attribute fields after shape and object id). No
// workspace or an empty name: no class and no message. Any other failure
// (for example a class of that name exists): the failure's description
// under the title "createWorkspaceFeatureClass", the information icon, and
// no class; the existing class is untouched. The class has the coordinate
// system sr (none unless given).
std::shared_ptr<pg::FeatureClass> createStandardClass(const std::shared_ptr<pg::Workspace>& ws, const std::string& name,
                                                      pg::GeometryType type, platform::Messages& messages,
                                                      const std::vector<pg::FieldDef>* fields = nullptr,
                                                      const pg::SpatialReference& sr = {});

// A polyline class with the ray fields ("shape", "OBJECTID", "Dir"),
// created as createStandardClass does, which tells the user why it failed;
// the failure then reaches the caller as GisError.
std::shared_ptr<pg::FeatureClass> createRayClass(const std::shared_ptr<pg::Workspace>& ws, const std::string& name,
                                                 platform::Messages& messages);

// ---- Entry points under their established names, with the old integer
// geometry and feature type codes; new code calls the functions above.

// createNextPointClass; Location and name are not used.
std::shared_ptr<pg::FeatureClass> createAccessWorkspace(model::MainFormState& mainform, platform::Messages& messages,
                                                        const std::string& Location, const std::string& name);

// standardFields of a geometry type code.
std::vector<pg::FieldDef> standardFields(int32_t geomType);

// createStandardClass with type codes. featType may change geomType, which
// is written back; an annotation class is never created. ConfigWord is not
// used.
std::shared_ptr<pg::FeatureClass> createWorkspaceFeatureClass(const std::shared_ptr<pg::Workspace>& pworkspace,
                                                              const std::string& name, int32_t featType,
                                                              int32_t& geomType, platform::Messages& messages,
                                                              const std::vector<pg::FieldDef>* pFields = nullptr,
                                                              const std::string& ConfigWord = {});
// The same with the geometry type by value, for callers that do not need it back.
std::shared_ptr<pg::FeatureClass> createWorkspaceFeatureClass(const std::shared_ptr<pg::Workspace>& pworkspace,
                                                              const std::string& name, int32_t featType,
                                                              const int32_t& geomTypeIn, platform::Messages& messages);

}  // namespace quor::gis
