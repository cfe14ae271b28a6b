#include "project/geodatabase_copy.h"

#include <gdal_priv.h>

#include <filesystem>
#include <system_error>

#include "platform/gis/gdal_support.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/workspace.h"

namespace quor::project {

namespace pg = platform::gis;

void copyGeoPackage(pg::Workspace& source, const std::string& target) {
    if (source.inTransaction()) throw pg::GisError("The geodatabase is in the middle of a change and cannot be copied.");
    GDALDataset* ds = source.dataset();
    ds->FlushCache();
    // SQLite takes the target of VACUUM INTO only as a literal.
    pg::detail::ErrorCapture err;
    { pg::detail::SqlResult vacuum(*ds, "VACUUM INTO " + pg::detail::sqlText(target)); }
    std::error_code ec;
    if (err.failed() || !std::filesystem::exists(target, ec)) {
        const std::string why = err.message("");
        std::filesystem::remove(target, ec);
        throw pg::GisError("The geodatabase " + source.path() + " could not be copied to " + target +
                           (why.empty() ? "." : ": " + why));
    }
}

}  // namespace quor::project
