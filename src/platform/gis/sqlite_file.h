#pragma once
// A GeoPackage's file as SQLite itself sees it, on GDAL's connection to
// it: GDAL reads around a damaged page it never needs, and writes into the
// file all the same.
#include <string>

class GDALDataset;

namespace quor::platform::gis::detail {

// GisError naming `file` when SQLite's quick check finds a page of it
// damaged (of a table, an index, the spatial index), with SQLite's words
// on the first such page; DiskFullError when the check cannot read the
// file for want of room on its disk. Nothing for a dataset that is no
// SQLite file. The check reads every page once.
void requireSqlitePagesWhole(GDALDataset& ds, const std::string& file);

}  // namespace quor::platform::gis::detail
