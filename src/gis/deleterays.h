#pragma once
// Removing one work class by name from the project geodatabase.
#include <memory>
#include <string>

#include "model/model_state.h"
#include "platform/gis/workspace.h"

namespace quor::gis {

// Deletes the first feature class of the workspace whose name equals
// featurename without regard to case ("effF_rays" deletes "EffF_rays");
// names are compared whole. A missing name, no workspace or a class the
// store refuses to delete: nothing happens, silently.
void deleterays(const std::shared_ptr<platform::gis::Workspace>& workspace, const std::string& featurename);
// The same on mainform.ptworkspace.
void deleterays(const model::MainFormState& mainform, const std::string& featurename);

}  // namespace quor::gis
