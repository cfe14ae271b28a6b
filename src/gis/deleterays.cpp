#include "gis/deleterays.h"

#include <exception>

#include "platform/gis/fields.h"
#include "platform/log.h"

namespace quor::gis {

void deleterays(const std::shared_ptr<platform::gis::Workspace>& workspace, const std::string& featurename) {
    if (!workspace) return;
    try {
        for (const auto& name : workspace->featureClassNames()) {
            if (platform::gis::equalsIgnoreCase(name, featurename)) {
                workspace->deleteFeatureClass(name);
                return;
            }
        }
    } catch (const std::exception& e) {
        // A locked class stays; the caller goes on with the next name.
        platform::logCause("Deleting the work class " + featurename, e.what());
    }
}

void deleterays(const model::MainFormState& mainform, const std::string& featurename) {
    deleterays(mainform.ptworkspace, featurename);
}

}  // namespace quor::gis
