#include "platform/gis/raster_files.h"

#include <cpl_conv.h>
#include <cpl_minixml.h>
#include <cpl_vsi.h>
#include <gdal_priv.h>

#include <set>

#include "platform/gis/dataset_identity.h"
#include "platform/gis/gdal_handle.h"
#include "platform/gis/gdal_support.h"

namespace quor::platform::gis {

namespace {

bool isFile(const std::string& name) {
    VSIStatBufL st;
    return VSIStatExL(name.c_str(), &st, VSI_STAT_EXISTS_FLAG | VSI_STAT_NATURE_FLAG) == 0 && VSI_ISREG(st.st_mode);
}

// The names of the datasets a VRT reads, as it resolves them, from its
// own description of itself: every source of every band, mask and
// overview, and a warped VRT's source.
void sourcesIn(const CPLXMLNode* node, const std::string& folder, std::vector<std::string>& names) {
    for (; node; node = node->psNext) {
        if (node->eType != CXT_Element) continue;
        if (EQUAL(node->pszValue, "SourceFilename") || EQUAL(node->pszValue, "SourceDataset")) {
            const char* name = CPLGetXMLValue(node, nullptr, "");
            const bool relative = CPLTestBool(CPLGetXMLValue(node, "relativeToVRT", "0"));
            names.emplace_back(relative ? CPLProjectRelativeFilename(folder.c_str(), name) : name);
        }
        sourcesIn(node->psChild, folder, names);
    }
}

class Listing {
public:
    void add(GDALDataset& ds) {
        if (!seen_.insert(ds.GetDescription()).second) return;
        const auto listed = datasetFiles(ds);
        if (listed.empty()) out_.complete = false;
        files_.insert(listed.begin(), listed.end());
        GDALDriver* driver = ds.GetDriver();
        if (driver && EQUAL(driver->GetDescription(), "VRT")) addSourcesOf(ds);
    }
    RasterFiles result() {
        out_.files.assign(files_.begin(), files_.end());
        return out_;
    }

private:
    void addSourcesOf(GDALDataset& vrt) {
        CSLConstList xml = vrt.GetMetadata("xml:VRT");
        CPLXMLTreeCloser tree(xml && xml[0] ? CPLParseXMLString(xml[0]) : nullptr);
        if (!tree) {
            out_.complete = false;
            return;
        }
        std::vector<std::string> names;
        sourcesIn(tree.get(), CPLGetPath(vrt.GetDescription()), names);
        for (const auto& name : names) addSource(name);
    }
    void addSource(const std::string& name) {
        if (seen_.count(name)) return;
        // A server that does not answer is told here, not by GDAL on the console.
        detail::ErrorCapture quiet;
        if (!isFile(name)) {
            out_.complete = false;
            if (!VSIIsLocal(name.c_str())) out_.unreachable.push_back(name);
            return;
        }
        files_.insert(name);
        // A file GDAL does not open as a raster (a VRT's raw cells) is
        // read as it is. A source lists its auxiliary files as the raster
        // itself does (platform/gis/raster.h).
        detail::AuxiliaryFilesReadable withAuxiliaryFiles;
        DatasetHandle source(GDALDataset::Open(name.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
        if (source) add(*source);
    }

    std::set<std::string> seen_, files_;
    RasterFiles out_;
};

}  // namespace

RasterFiles rasterFiles(GDALDataset& dataset) {
    Listing listing;
    listing.add(dataset);
    return listing.result();
}

}  // namespace quor::platform::gis
