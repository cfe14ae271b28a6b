#pragma once
// Internal helpers of the GIS layer: GDAL start-up, error capture and
// geometry conversion. Not for use outside src/platform/gis.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/gis/fields.h"
#include "platform/gis/geometry.h"

class GDALDataset;
class OGRFeature;
class OGRFieldDefn;
class OGRGeometry;
class OGRLayer;

namespace quor::platform::gis::detail {

// Registers the GDAL drivers once, bounds the block cache and turns GDAL's
// auxiliary files off for the whole program.
void ensureGdal();

// While it lives, datasets opened on this thread read their auxiliary files
// (a reference or a NoData value may live there); saving them stays off.
class AuxiliaryFilesReadable {
public:
    AuxiliaryFilesReadable();
    ~AuxiliaryFilesReadable();
    AuxiliaryFilesReadable(const AuxiliaryFilesReadable&) = delete;
    AuxiliaryFilesReadable& operator=(const AuxiliaryFilesReadable&) = delete;

private:
    std::string before_;
    bool hadBefore_ = false;
};

// Whether GDAL's or SQLite's words tell a full disk, as each spells it.
bool saysDiskFull(const std::string& words);

// Collects GDAL error messages while it lives instead of printing them.
class ErrorCapture {
public:
    ErrorCapture();
    ~ErrorCapture();
    ErrorCapture(const ErrorCapture&) = delete;
    ErrorCapture& operator=(const ErrorCapture&) = delete;
    // What failed, for the user: `what` (which names the file), with
    // GDAL's or SQLite's last words after it when they said any, since
    // theirs name no file ("database disk image is malformed"); their
    // words alone for an empty `what`.
    std::string message(const std::string& what) const;
    // As message(), with the first words they said: the cause, where
    // later ones only say what came of it (a copy that ends, "use
    // -skipfailures to skip errors").
    std::string cause(const std::string& what) const;
    // Whether GDAL reported a failure while this capture was active.
    bool failed() const { return !last_.empty(); }
    // Whether what they said was that the disk is full.
    bool saidDiskFull() const { return saysDiskFull(first_) || saysDiskFull(last_); }

private:
    std::string first_, last_;
};

// How many features `layer` holds, each read as GDAL reads it, shape and
// values: what every reader of the dataset sees. GisError naming `shown`
// (the dataset's file) when one of them cannot be read, or fewer can than
// the layer counts (a file cut short or damaged), or it holds none: there
// is nothing whole to work on (unless `noneIsWhole`). The layer's reading
// starts afresh afterwards. A shapefile's (`shp`, its ".shp") rows marked
// deleted are none of its features, and none it lacks.
std::int64_t wholeFeatureCount(OGRLayer& layer, const std::string& shown, const std::string& shp = {},
                               bool noneIsWhole = false);

// Whether field `index` of `f` holds a date and time at midnight of no
// zone, as a format that keeps no date alone (FlatGeobuf) keeps a day;
// its year, month and day when it does.
bool dayAsDateTime(const OGRFeature& f, int index, int& year, int& month, int& day);

// A name (a table's, a column's) in an SQL statement, between double
// quotes with each of its own doubled, and a text as an SQL literal,
// between single quotes with each of its own doubled: whatever a user
// names a field, it stays a name and never changes the statement.
std::string sqlName(const std::string& name);
std::string sqlText(const std::string& text);

// The result set of one SQL statement on a dataset, released when it goes.
class SqlResult {
public:
    SqlResult(GDALDataset& ds, const std::string& sql);
    ~SqlResult();
    SqlResult(const SqlResult&) = delete;
    SqlResult& operator=(const SqlResult&) = delete;
    OGRLayer* layer() const { return layer_; }

private:
    GDALDataset& ds_;
    OGRLayer* layer_ = nullptr;
};

// An OGR field definition for one of our attribute fields; GisError for
// the shape and object-id types, which are not attributes.
std::unique_ptr<OGRFieldDefn> makeOgrField(const FieldDef& def);

// Sets field `index` (among the attributes, from 0) of an OGR feature;
// an empty value makes it null, as does an empty text in a field that is
// not a text field.
void putOgrValue(OGRFeature& of, int index, const FieldValue& v);

Geometry fromOgr(const OGRGeometry* g);
std::unique_ptr<OGRGeometry> toOgr(const Geometry& g);

}  // namespace quor::platform::gis::detail
