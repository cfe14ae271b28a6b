#pragma once
// Values written into existing rows of a GeoPackage table by one UPDATE of
// only their columns, on GDAL's own connection to the file (so inside its
// transaction). GDAL's SetFeature writes the whole row, shape included,
// which fires the spatial index's triggers and re-encodes every value: a
// run that only sets result fields pays for all of it at every site, on
// the one thread that commits.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/gis/row_spelling.h"

class GDALDataset;
class OGRFeature;
class OGRLayer;
struct sqlite3;
struct sqlite3_stmt;

namespace quor::platform::gis::detail {

class GeoPackageRows {
public:
    explicit GeoPackageRows(GDALDataset& ds);
    ~GeoPackageRows();  // finalizes every statement: before GDAL closes the file
    GeoPackageRows(const GeoPackageRows&) = delete;
    GeoPackageRows& operator=(const GeoPackageRows&) = delete;

    enum class Outcome {
        Written,
        NoRow,       // no row has that id (nothing written)
        Failed,      // SQLite refused: GDAL's error handler has been told why
        NotHandled   // values GDAL treats in ways of its own: write the row through GDAL
    };
    // Writes `values` (by field place) into the row `fid` of `layer`, each
    // bound as GDAL binds that field's type after its own conversion of the
    // value.
    Outcome write(OGRLayer& layer, std::int64_t fid, const ColumnValues& values);

private:
    struct Table;
    sqlite3* db_ = nullptr;
    std::map<std::string, std::unique_ptr<Table>> tables_;
    Table& tableOf(OGRLayer& layer);
    sqlite3_stmt* statementFor(Table& t, const ColumnValues& values);
};

}  // namespace quor::platform::gis::detail
