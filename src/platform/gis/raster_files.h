#pragma once
// Every file a raster's cells are read from, as GDAL reads them: what
// tells whether a raster is still the one read before.
#include <string>
#include <vector>

class GDALDataset;

namespace quor::platform::gis {

struct RasterFiles {
    // In path order: the files GDAL lists for the raster and, for a VRT,
    // those of every source it names, listed in turn (a VRT's VRT, an ENVI
    // header, a source's ".aux.xml" or ".ovr").
    std::vector<std::string> files;
    // False when some of them cannot be named: a source that is no file (a
    // subdataset, a dataset in memory), or a dataset that lists none.
    bool complete = true;
    // The sources on a server ("/vsicurl/...") that did not answer.
    std::vector<std::string> unreachable;
};

RasterFiles rasterFiles(GDALDataset& dataset);

}  // namespace quor::platform::gis
