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

// Geometry type codes the callers pass.
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

// Opens the project's geodatabase, creating it first when the file does
// not exist. Failures (a damaged or read-only file, a folder that cannot
// be written) reach the caller as GisError.
std::shared_ptr<pg::Workspace> createWorkspace(const std::string& Location, const std::string& name);

// The number of the next "Pointdata" class: one more than the largest
// 16-bit integer found in the class names from their tenth character on.
int nextPointdataNumber(const std::vector<std::string>& classNames);

// Creates the next free point class "Pointdata"N in mainform.ptworkspace and
// sets mainform.pfeatureworkspace to that workspace. Location and name are
// accepted and not used. Without a project workspace: the message "91"
// under "createAccessWorkspace error" and no class.
std::shared_ptr<pg::FeatureClass> createAccessWorkspace(model::MainFormState& mainform, platform::Messages& messages,
                                                        const std::string& Location, const std::string& name);

// The attribute fields of the standard field set after "shape" and
// "OBJECTID": "X" and "Y" (doubles) for points, "Dir" (long) for polylines,
// none for any other geometry type.
std::vector<pg::FieldDef> standardFields(int32_t geomType);

// Creates a feature class with the standard field set (or pFields, given
// as the attribute fields after shape and object id). featType may change
// geomType, which is written back. No workspace or an empty name: no class
// and no message. Any other failure (for example a class of that name
// exists): the failure's description under the title
// "createWorkspaceFeatureClass", the information icon, and no class; the
// existing class is untouched. The class has no coordinate system.
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
