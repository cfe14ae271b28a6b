#include "platform/gis/sqlite_file.h"

#include <gdal_priv.h>
#include <sqlite3.h>

#include "platform/disk_writes.h"
#include "platform/gis/gis_error.h"

namespace quor::platform::gis::detail {

namespace {

sqlite3* connectionOf(GDALDataset& ds) { return static_cast<sqlite3*>(ds.GetInternalHandle("SQLITE_HANDLE")); }

// SQLite grows its shared-memory file or its journal even to read, and
// says only "disk I/O error" when the disk has no room for it.
bool noRoom(sqlite3* db, int rc) {
    return (rc & 0xff) == SQLITE_FULL || ((rc & 0xff) == SQLITE_IOERR && isNoRoom(sqlite3_system_errno(db)));
}

}  // namespace

void requireSqlitePagesWhole(GDALDataset& ds, const std::string& file) {
    sqlite3* db = connectionOf(ds);
    if (!db) return;
    sqlite3_stmt* check = nullptr;
    // The first damaged page is enough to refuse the file.
    int rc = sqlite3_prepare_v2(db, "PRAGMA quick_check(1)", -1, &check, nullptr);
    std::string found;
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
        rc = sqlite3_step(check);
        if (rc == SQLITE_ROW && found.empty())
            if (const unsigned char* line = sqlite3_column_text(check, 0)) found = reinterpret_cast<const char*>(line);
    }
    // Its first line names the database ("*** in database main ***"): the file is named already.
    if (found.rfind("*** ", 0) == 0 && found.find('\n') != std::string::npos) found.erase(0, found.find('\n') + 1);
    const std::string said = sqlite3_errmsg(db);
    rc = rc == SQLITE_DONE ? SQLITE_OK : sqlite3_extended_errcode(db);
    sqlite3_finalize(check);
    if (rc != SQLITE_OK && noRoom(db, rc))
        throw DiskFullError("The geodatabase " + file + " cannot be read: " + kDiskFullText + ".");
    if (rc != SQLITE_OK) throw GisError("The geodatabase " + file + " cannot be read whole (" + said + ").");
    if (found != "ok") throw GisError("The geodatabase " + file + " is damaged (" + found + ").");
}

}  // namespace quor::platform::gis::detail
