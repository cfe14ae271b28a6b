#include "project/geodatabase_copy.h"

#include <cpl_error.h>
#include <gdal_priv.h>

#include <filesystem>
#include <system_error>

#include "platform/gis/gis_error.h"
#include "platform/gis/workspace.h"

namespace quor::project {

namespace pg = platform::gis;

void copyGeoPackage(pg::Workspace& source, const std::string& target) {
    if (source.inTransaction()) throw pg::GisError("The geodatabase is in the middle of a change and cannot be copied.");
    GDALDataset* ds = source.dataset();
    ds->FlushCache();
    std::string quoted;
    for (char c : target) {
        quoted += c;
        if (c == '\'') quoted += '\'';
    }
    CPLErrorReset();
    CPLPushErrorHandler(CPLQuietErrorHandler);
    OGRLayer* res = ds->ExecuteSQL(("VACUUM INTO '" + quoted + "'").c_str(), nullptr, nullptr);
    if (res) ds->ReleaseResultSet(res);
    CPLPopErrorHandler();
    std::error_code ec;
    if (CPLGetLastErrorType() >= CE_Failure || !std::filesystem::exists(target, ec)) {
        const std::string why = CPLGetLastErrorMsg();
        CPLErrorReset();
        std::filesystem::remove(target, ec);
        throw pg::GisError("The geodatabase " + source.path() + " could not be copied to " + target +
                           (why.empty() ? "." : ": " + why));
    }
}

}  // namespace quor::project
