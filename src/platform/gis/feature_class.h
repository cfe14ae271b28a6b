#pragma once
// Feature classes of a workspace, their cursors and spatial selection.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gis/feature.h"
#include "platform/gis/fields.h"
#include "platform/gis/geometry.h"
#include "platform/gis/row_spelling.h"
#include "platform/gis/spatial_reference.h"

class OGRLayer;

namespace quor::platform::gis {

class Workspace;
class FeatureCursor;
class InsertCursor;

// What a field holds, for a writer of numbers and texts: what reads back
// from it as written, and what the field is in the user's words ("an
// integer field", "a date field").
struct FieldKind {
    bool wholes = false;  // integer and real-number fields
    bool reals = false;   // real-number fields
    bool texts = false;   // text fields
    // A real-number field's decimals where its table keeps a set number of
    // them (a shapefile's); nothing where it keeps a double whole.
    std::optional<int> decimals;
    std::string words;
};

class FeatureClass : public std::enable_shared_from_this<FeatureClass> {
public:
    // Made by Workspace only.
    FeatureClass(std::shared_ptr<Workspace> ws, std::string name);

    const std::string& name() const { return name_; }
    // The classes this layer creates carry no alias of their own: the alias is the name.
    const std::string& aliasName() const { return name_; }
    GeometryType geometryType() const;
    std::shared_ptr<Workspace> workspace() const { return ws_; }

    // Fields with the shape at position 0 and the object id at position 1.
    std::shared_ptr<const Fields> fields() const;
    int findField(std::string_view name) const { return fields()->findField(name); }
    // What the attribute field at `pos` (from 2) holds; a shapefile's
    // logical and memo fields, which GDAL reads as text, hold neither.
    FieldKind fieldKind(int pos) const;
    // The attribute fields (after the shape and the object id), as a new
    // class with the same attributes is created with them.
    std::vector<FieldDef> attributeFields() const;
    std::string shapeFieldName() const { return fields()->field(0).name; }
    std::string oidFieldName() const { return fields()->field(1).name; }
    // Adds attribute fields after the existing ones and empties the values
    // of the fields named in `empty` (those the class has), as one change:
    // all of it is made or none. A shapefile's table is made anew beside
    // the old one and renamed over it, so that whatever happens meanwhile
    // leaves the old table byte for byte or the whole new one; a
    // geodatabase changes in one transaction. DiskFullError when the disk
    // has no room; GisError when a field of one of the names exists or the
    // store refuses; PartlyChangedError when a shapefile's table was
    // replaced but can no longer be read.
    void changeFields(const std::vector<FieldDef>& add, const std::vector<std::string>& empty);
    void addFields(const std::vector<FieldDef>& defs);
    void addField(const FieldDef& def) { addFields({def}); }
    // Removes a half-made table that a change killed part-way left beside
    // a shapefile (it is never read as the table). Only for the holder of
    // the dataset's run lock: another program's change may be under way.
    void clearUnfinishedChange() const;

    std::int64_t featureCount() const;
    // How many features the class holds, every one read as GDAL reads it,
    // shape and values. GisError, naming the class's file, when one cannot
    // be read or fewer can than the class counts (a file cut short or
    // damaged), a geodatabase has a damaged page, or it holds none (unless
    // `noneIsWhole`): what a run checks before it writes anything.
    std::int64_t wholeFeatureCount(bool noneIsWhole = false) const;
    // The feature with this object id; GisError when there is none.
    Feature feature(std::int64_t oid) const;
    std::optional<Feature> findFeature(std::int64_t oid) const;
    // A new, unstored feature with this class's fields (all values null).
    Feature createFeature() const;
    // Stores a feature: inserts it when its oid is -1 (and sets the new
    // oid), else rewrites the row with that oid. A shapefile's row that
    // exists gets only the values set since the feature was read, in
    // place; its shape and other values are not written. Returns the oid.
    // Such a row spelt `ahead` (rowsAhead()) for the values it is given
    // goes in as it was spelt, unless its table was laid out anew since.
    std::int64_t store(Feature& f, const SpeltRow* ahead = nullptr);
    // For a shapefile, the layout its table's rows are spelt for, for
    // threads that spell rows ahead of store(); null for other classes.
    std::shared_ptr<RowsAhead> rowsAhead() const;
    // Deletes the row with this object id (nothing when there is none).
    void deleteFeature(std::int64_t oid);

    // A cursor over every feature in object-id order. The ids are read when
    // the cursor is made, so rows may be written while it is in use.
    FeatureCursor search() const;
    // A cursor over these features, in the order given; missing ids are skipped.
    FeatureCursor search(std::vector<std::int64_t> oids) const;
    // Object ids of the features whose shape intersects the area (touching
    // counts), ascending.
    std::vector<std::int64_t> selectIntersecting(const Geometry& area) const;
    // An insert cursor; with buffering, rows reach the store at flush().
    InsertCursor insertCursor(bool buffered = true);
    // Puts every value stored so far on disk, for other programs and
    // against a crash: a shapefile's values are written as they are
    // stored but only then surely kept, while a geodatabase's committed
    // rows are in its file already. GisError when the disk does not take
    // them. A shapefile's tables that changeFields() replaced are let go:
    // EditKeptError when another program wrote into one since, through a
    // handle it had open (its edit is kept beside the table).
    void flush();

    SpatialReference spatialReference() const;
    // Gives the class another spatial reference without touching its coordinates.
    void alterSpatialReference(const SpatialReference& sr);
    Envelope extent() const;

    // The GDAL layer; valid until the class is deleted. Throws GisError
    // when the class no longer exists.
    OGRLayer* ogrLayer() const;

private:
    friend class FeatureCursor;
    // The class as the user finds it on disk, for words that tell of its
    // file: a shapefile's ".shp", a geodatabase class "name in file".
    std::string shown() const;
    // Passes when no row has this object id; GisError, with the store's
    // reason, when the row is there but cannot be read.
    void requireGone(std::int64_t oid) const;
    // The features with these object ids (ascending), nothing for an id no
    // row has, as findFeature() reads each: from a geodatabase in one
    // query. GisError when the rows cannot be read.
    std::vector<std::optional<Feature>> findFeatures(const std::vector<std::int64_t>& oids) const;

    std::shared_ptr<Workspace> ws_;
    std::string name_;
    mutable OGRLayer* layer_ = nullptr;
    mutable std::uint64_t generation_ = 0;
    mutable std::shared_ptr<const Fields> fields_;
    mutable std::uint64_t fieldsGeneration_ = 0;
};

// The values store() gives the row of a shapefile that exists: those set
// in `f` since it was read, by their place among its attribute fields.
detail::ColumnValues valuesToStore(const Feature& f);

// Whether two class objects stand for one dataset: the same name in the
// same file or folder, however often it was opened.
bool sameDataset(const FeatureClass& a, const FeatureClass& b);

// Reads features one by one. Each feature is read when next() asks for it.
class FeatureCursor {
public:
    FeatureCursor() = default;
    FeatureCursor(std::shared_ptr<const FeatureClass> fc, std::vector<std::int64_t> oids);
    // The next feature, or nothing at the end (and for ever after). A row
    // that is gone is passed over; GisError when a row cannot be read.
    std::optional<Feature> next();
    // Ids still to come, including the current position.
    std::size_t remaining() const { return oids_.size() - pos_; }
    const std::shared_ptr<const FeatureClass>& featureClass() const { return fc_; }

private:
    std::shared_ptr<const FeatureClass> fc_;
    std::vector<std::int64_t> oids_;
    std::size_t pos_ = 0;
    // Features read ahead in one go, for oids_[pos_ - ahead_.size() ...].
    std::vector<std::optional<Feature>> ahead_;
    std::size_t aheadAt_ = 0;
};

// Flushes a class when the scope ends, however it ends, so that whatever
// a run stored before it broke off is on disk. A failure there goes
// unreported: the normal path flushes on its own to hear of it.
class FlushAtExit {
public:
    explicit FlushAtExit(std::shared_ptr<FeatureClass> fc) : fc_(std::move(fc)) {}
    ~FlushAtExit();
    FlushAtExit(const FlushAtExit&) = delete;
    FlushAtExit& operator=(const FlushAtExit&) = delete;

private:
    std::shared_ptr<FeatureClass> fc_;
};

// Inserts features into a class. With buffering, inserted features are
// held until flush(), which writes them in one transaction; without, each
// insert is written at once. The destructor discards what was not flushed.
class InsertCursor {
public:
    InsertCursor(std::shared_ptr<FeatureClass> fc, bool buffered);
    InsertCursor(InsertCursor&&) noexcept = default;
    InsertCursor& operator=(InsertCursor&&) noexcept = default;
    ~InsertCursor() = default;

    // A reusable buffer with the class's fields.
    Feature createFeatureBuffer() const { return fc_->createFeature(); }
    // Queues (buffered) or writes a copy of the feature. Returns the new oid
    // when written at once, -1 when queued. GisError when the write fails.
    std::int64_t insert(const Feature& f);
    // Writes every queued feature. On failure nothing of this batch stays,
    // the queue is emptied and GisError is thrown.
    void flush();
    std::size_t pending() const { return queue_.size(); }

private:
    std::shared_ptr<FeatureClass> fc_;
    bool buffered_ = true;
    std::vector<Feature> queue_;
};

}  // namespace quor::platform::gis
