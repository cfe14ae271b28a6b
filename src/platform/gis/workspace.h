#pragma once
// Workspaces: a GeoPackage (the project geodatabase), a folder of
// shapefiles, or a read-only coverage, all through GDAL/OGR.
//
// One handle per file for the whole program: opening a path that is open
// already returns the same Workspace object, so the map, the runs and the
// commands never hold two handles on one GeoPackage.
//
// Workspaces belong to the program's main thread: the registry of open
// workspaces is guarded, but one Workspace and its classes serve one
// thread at a time (GDAL datasets are not shareable between threads).
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_stamp.h"
#include "platform/gis/feature_class.h"
#include "platform/gis/fields.h"
#include "platform/gis/gdal_handle.h"
#include "platform/gis/geopackage_rows.h"
#include "platform/gis/geometry.h"
#include "platform/gis/spatial_reference.h"
#include "platform/gis/table_rows.h"

class GDALDataset;
class OGRLayer;

namespace quor::platform::gis {

namespace detail {
struct TableChange;
class ReplacedTable;
}

enum class WorkspaceKind { GeoPackage, ShapefileFolder, Coverage, Memory, Other };

class Workspace : public std::enable_shared_from_this<Workspace> {
public:
    // Opens an existing GeoPackage to be written. GisError when it is
    // missing, not a GeoPackage, damaged, or cannot be written (read-only).
    // It is read through a handle that never writes until this program
    // first writes into it (openForWriting()).
    static std::shared_ptr<Workspace> openGeoPackage(const std::string& path);
    // Creates a new, empty GeoPackage. GisError when the file exists or
    // cannot be created.
    static std::shared_ptr<Workspace> createGeoPackage(const std::string& path);
    // Opens any vector data source: a GeoPackage, a shapefile folder, a
    // single shapefile (its folder is the workspace) or a coverage folder.
    // A shapefile folder is only read until this program writes into it;
    // coverages are only ever read.
    static std::shared_ptr<Workspace> open(const std::string& path);
    // A new, empty workspace held in memory only, for classes that live a
    // moment (a site's work classes): nothing of it ever reaches a file.
    // Its classes carry the field names of the project geodatabase's.
    static std::shared_ptr<Workspace> createMemory(const std::string& name);

    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    const std::string& path() const { return path_; }
    WorkspaceKind kind() const { return kind_; }
    bool readOnly() const { return readOnly_; }

    // Feature class names in store order.
    std::vector<std::string> featureClassNames() const;
    bool hasFeatureClass(const std::string& name) const;  // exact name
    // Opens a class by its exact name; GisError when there is none.
    std::shared_ptr<FeatureClass> openFeatureClass(const std::string& name);
    // Creates a class. attributeFields are the fields after the shape and
    // the object id. GisError when a class of that name exists (the
    // existing class stays untouched) or the store refuses. Object ids of
    // the new class run 1, 2, 3... in insertion order.
    std::shared_ptr<FeatureClass> createFeatureClass(const std::string& name, GeometryType type,
                                                     const std::vector<FieldDef>& attributeFields,
                                                     const SpatialReference& sr = {});
    // Deletes a class by its exact name; GisError when there is none or the
    // store refuses.
    void deleteFeatureClass(const std::string& name);

    // Groups many writes into one transaction. Nested scopes join the
    // outermost one. A scope that ends without commit() rolls back.
    class Transaction {
    public:
        explicit Transaction(Workspace& ws);
        ~Transaction();
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        void commit();

    private:
        Workspace& ws_;
        bool owner_ = false;
        bool done_ = false;
    };
    bool inTransaction() const { return transactionDepth_ > 0; }

    // For many small transactions in a row (a run storing each site's
    // results on its own): while the scope lives a geodatabase logs its
    // commits ahead and syncs them to disk at checkpoints rather than at
    // every commit. A crash may then lose the last few commits, never
    // damage the file. Its pages are kept in memory and checkpointed in
    // larger steps, so that a transaction of many sites' rows touching the
    // whole spatial index is not written out and read back page by page.
    // Other workspaces are left as they are.
    class QuickCommits {
    public:
        explicit QuickCommits(Workspace& ws);
        ~QuickCommits();
        QuickCommits(const QuickCommits&) = delete;
        QuickCommits& operator=(const QuickCommits&) = delete;

    private:
        Workspace& ws_;
        bool on_ = false;
        std::string cacheSize_, checkpointPages_, tempStore_;  // as they were
    };

    // Adds fields to and empties fields of the table of the shapefile
    // `name` in one step: a new table is made beside the old one and
    // renamed over it, and the folder is opened again to read it. Either
    // the whole change is made or none of it (detail::TableNoRoom when the
    // disk has no room, GisError otherwise); PartlyChangedError when the
    // table was replaced but the folder cannot be opened again. With
    // nothing to change, only a half-made table left by a killed program
    // is cleared.
    void replaceShapefileTable(const std::string& name, const detail::TableChange& change);
    // Removes the half-made table a killed change of the shapefile `name`
    // left, if any.
    void clearUnfinishedTable(const std::string& name) const;

    // A GeoPackage is opened again for writing at this program's first
    // write into it (a transaction, a row stored or deleted, a class made
    // or deleted), and written through that handle from then on.
    //
    // A shapefile folder is read through a handle that never writes. GDAL
    // opens it for writing only for a write of GDAL's own (a class made or
    // deleted, a row added or deleted, a shape changed), and each such
    // write is on disk, and the handle that wrote it closed, through
    // written(), before the call that made it returns: GDAL writes a
    // changed shapefile's headers again whenever it closes, which must
    // never land in files another program has put there since.
    void openForWriting();
    void written(const std::string& name);

    // Writes values into the row `oid` of the shapefile `name` in place:
    // only their bytes change, never the shape or another field. The table
    // is opened for writing at the first such write, and laid out anew when
    // a value needs a wider field. GisError; platform::WriteError when the
    // disk does not take them; PartlyStoredError when the row holds part
    // of them; TableReplacedError when another program replaced the table
    // (nothing more goes into it). A row spelt `ahead` for these values
    // and the table's layout goes in as it was spelt.
    void writeRowValues(const std::string& name, std::int64_t oid, const detail::ColumnValues& values,
                        const SpeltRow* ahead = nullptr);
    // Writes values into the row `oid` of the GeoPackage layer `layer` by
    // one update of their columns, the shape and the other values left as
    // they are; other workspaces, and values GDAL writes its own way, are
    // NotHandled.
    detail::GeoPackageRows::Outcome updateRowValues(OGRLayer& layer, std::int64_t oid,
                                                    const detail::ColumnValues& values);
    // Dates the GeoPackage tables written into by updateRowValues() as
    // changed now, as GDAL dates a table it wrote once it syncs it.
    void stampRowsWritten();
    // The layout of the shapefile `name`'s table as its writer opens it,
    // for rows spelt ahead on other threads.
    std::shared_ptr<RowsAhead> rowsAhead(const std::string& name);
    // Puts the values written into `name` on disk and lets every class read
    // them. GisError when the disk does not take them; TableReplacedError
    // when they went into a table another program has replaced.
    void settleRows(const std::string& name);
    // At the end of a writer's work on the shapefile `name`: settles its
    // rows, and lets go of the tables its changes of the fields put new ones
    // in place of, held open until now. What another program wrote into
    // one of them since it was read is kept beside the table, and told:
    // EditKeptError, or in the words of settleRows()'s failure.
    void endWrites(const std::string& name);
    // The type of each field of the shapefile `name`'s table, in order, as
    // its table spells it ('C', 'N', 'D', 'L', 'M', ...). GisError when the
    // table cannot be read.
    std::string shapefileFieldTypes(const std::string& name) const;
    // Whether the row `oid` of `name` got values since they were settled:
    // GDAL's handle may still hold the row as it was.
    bool rowWritten(const std::string& name, std::int64_t oid) const;

    // The GDAL dataset (never null while the workspace lives).
    GDALDataset* dataset() const { return ds_.get(); }
    // The layer of the class `name`, or null when there is none. A
    // shapefile that the folder's handle leaves out (its files may only be
    // read while the folder is open for writing) is opened on its own.
    OGRLayer* layerOf(const std::string& name) const;
    // Raised whenever a class is created or deleted or fields change, so
    // that FeatureClass objects look their layer up again.
    std::uint64_t generation() const { return generation_; }
    void bumpGeneration() { ++generation_; }
    // Opens the file again, for every class to look its layer and fields up
    // afresh: GDAL keeps a geodatabase's tables as it first read them.
    // GisError (the old handle kept) when the file cannot be opened again.
    void openAgain();
    // A class's fields changed: inside a transaction, a rollback must then
    // open the file again, since GDAL keeps the fields it was told of.
    void fieldsChanged() {
        if (transactionDepth_ > 0) schemaChangedInTransaction_ = true;
        bumpGeneration();
    }

    // Spatial references given by alterSpatialReference in this session,
    // by class name (GDAL does not re-read them until the file is reopened).
    std::optional<SpatialReference> alteredSpatialReference(const std::string& name) const;
    void setAlteredSpatialReference(const std::string& name, const SpatialReference& sr);

private:
    Workspace(std::string path, WorkspaceKind kind, DatasetHandle ds, bool readOnly, bool writing = false);
    static std::shared_ptr<Workspace> shared(const std::string& key);
    static void remember(const std::string& key, const std::shared_ptr<Workspace>& ws);
    void afterRollback();
    // A folder of shapefiles is listed once; these keep that listing true
    // to the disk when a class asked for was put there (or replaced) since.
    std::string shapefilePath(const std::string& name) const;
    OGRLayer* folderLayer(const std::string& name) const;
    void rememberListing();
    bool listedAsOnDisk(const std::string& name) const;
    void listAgain(const std::string& name);
    // Opens the folder again, for reading; false when only an empty
    // stand-in could be.
    bool reopenFolder();
    // Opens the folder again and lists it as it now is, for every class to
    // look its layer up afresh; false as reopenFolder().
    bool readFolderAgain();
    void noteOnDisk(const std::string& name);
    // Lets the folder's writing handle go, for one that only reads.
    void stopWriting();

    std::string path_;
    WorkspaceKind kind_;
    DatasetHandle ds_;
    bool readOnly_ = false;
    bool writing_ = false;  // the handle opened for writing
    bool closeWritingAfterTransaction_ = false;
    std::uint64_t generation_ = 1;
    int transactionDepth_ = 0;
    bool schemaChangedInTransaction_ = false;
    std::vector<std::pair<std::string, SpatialReference>> altered_;
    mutable std::vector<std::pair<std::string, DatasetHandle>> readOnlyClasses_;
    // The files of each shapefile as last seen: when the listing opened
    // them, or after this program's own writes.
    std::map<std::string, std::vector<FileStamp>> listedFiles_;
    std::string tableOf(const std::string& name) const;
    // Lays the table of `name` out anew with the fields GDAL widened.
    void widenFields(const std::string& name, const detail::FieldsWidened& widened);

    // The tables this program writes values into, with the rows written,
    // until they are settled; a table another program replaced meanwhile
    // gets nothing more, and its settling tells what it holds.
    struct RowWrites {
        std::unique_ptr<detail::TableRowWriter> writer;
        std::optional<TableReplacedError> lost;
    };
    std::map<std::string, RowWrites> rowWriters_;
    // The tables changes of each shapefile's fields took out of place,
    // until its writer's work ends.
    std::map<std::string, std::vector<std::unique_ptr<detail::ReplacedTable>>> replacedTables_;
    std::map<std::string, std::shared_ptr<RowsAhead>> rowsAhead_;
    // Statements on the GeoPackage's connection, made for the classes'
    // fields of one generation; they go before the connection does.
    std::unique_ptr<detail::GeoPackageRows> geoPackageRows_;
    std::uint64_t geoPackageRowsGeneration_ = 0;
    // Those statements, made anew for the classes' fields as they now are.
    detail::GeoPackageRows& rowsOnFile();
    // A writer for the table of `name` opened (anew): rows are spelt ahead for its layout.
    void writerOpened(const std::string& name, const detail::TableRowWriter& writer);
    friend class Transaction;
};

}  // namespace quor::platform::gis
