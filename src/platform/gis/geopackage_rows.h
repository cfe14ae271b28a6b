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

// How long a write waits for another program's write into the same
// GeoPackage to end before it fails.
inline constexpr int kBusyWaitSeconds = 5;

class GeoPackageRows {
public:
    explicit GeoPackageRows(GDALDataset& ds);
    // Stamps the tables written (stampChanges()) and finalizes every
    // statement: before GDAL closes the file.
    ~GeoPackageRows();
    GeoPackageRows(const GeoPackageRows&) = delete;
    GeoPackageRows& operator=(const GeoPackageRows&) = delete;

    enum class Outcome {
        Written,
        NoRow,       // no row has that id (nothing written)
        Failed,      // SQLite refused: GDAL's error handler has been told why
        NotHandled   // the file or the layer cannot be written this way: write the row through GDAL
    };
    // Writes `values` (by field place) into the row `fid` of `layer`, each
    // bound as GDAL binds that field's type after its own conversion of the
    // value. A value GDAL converts in ways of its own (a text too wide for
    // its field or not in UTF-8, a date, a binary value) is converted by
    // GDAL itself, into a row of a table of the same fields in memory, and
    // goes in as it went in there: the row's other columns are never
    // written, whatever another program put there since it was read.
    Outcome write(OGRLayer& layer, std::int64_t fid, const ColumnValues& values);
    // Takes the file's write lock (the file `path`) for the transaction
    // just begun on it, waiting for another program's write as long as
    // kBusyWaitSeconds: SQLite never waits for the lock a transaction that
    // has read already asks for at its first write, and fails that write at
    // once. GisError naming the file when the lock stays held elsewhere;
    // any other failure is left to the writes that follow to tell.
    void lockForWriting(const std::string& path);
    // Dates each table written into since its last stamp as changed now,
    // as GDAL dates a table once its writes end (OGR_CURRENT_DATE, when
    // set, is the date).
    void stampChanges();

private:
    struct Table;
    struct Twin;
    sqlite3* db_ = nullptr;
    std::map<std::string, std::unique_ptr<Table>> tables_;
    std::unique_ptr<Twin> twin_;  // made at the first value GDAL converts its own way
    sqlite3_stmt* lock_ = nullptr;
    Table& tableOf(OGRLayer& layer);
    sqlite3_stmt* statementFor(Table& t, const ColumnValues& values);
    // Binds the value of field `place` as GDAL writes it into `t`'s twin.
    bool bindAsGdalWrites(Table& t, int place, sqlite3_stmt* stmt, int at);
};

}  // namespace quor::platform::gis::detail
