#pragma once
// Raster datasets through GDAL: GeoTIFF, ArcInfo binary grids (the grid
// folder), ASCII grids and whatever else GDAL reads.
//
// identify() reads through GDAL's block cache and keeps recent blocks at
// hand (up to 16 MB), so the rays of a site, which cross the same blocks
// again and again, touch GDAL's cache about once per block; a whole band
// is never loaded. Striped files (one-row blocks, the GeoTIFF default) keep
// hundreds of rows. One Raster object serves one thread.
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/feedback.h"
#include "platform/gis/gdal_handle.h"
#include "platform/gis/geometry.h"
#include "platform/gis/raster_cells.h"
#include "platform/gis/spatial_reference.h"

class GDALDataset;

namespace quor::platform::gis {

class GisError;
namespace detail {
class ErrorCapture;
}

// The outcome of identify at a point: off the raster, "NoData", or a
// value. The one sample type of the program: the ray measurements and the
// wave stages read their depths as this too, from rasters or from
// synthetic depth fields.
struct PixelValue {
    enum class Kind { Outside, NoData, Value };
    Kind kind = Kind::Outside;
    // The pixel value as stored (raster units, raster sign). A Float32
    // pixel reaches here through its shortest decimal text, so -3.1f gives
    // -3.1 (not -3.0999999...).
    double value = 0;

    static PixelValue outside() { return {}; }
    static PixelValue noData() { return {Kind::NoData, 0}; }
    static PixelValue of(double v) { return {Kind::Value, v}; }

    bool isOutside() const { return kind == Kind::Outside; }
    bool isNoData() const { return kind == Kind::NoData; }
    bool hasValue() const { return kind == Kind::Value; }
    bool usable() const { return hasValue(); }
    // The value as text: "NoData" for NoData, "" outside the raster, else
    // the shortest decimal form of the pixel in its own type.
    std::string text() const;
};

// Starts GDAL the program's way: its drivers, a bounded block cache, and no
// auxiliary file written beside any raster, whoever opens it (the map view
// included). Call it before anything else opens a raster.
void startGdal();

// The share of the usable memory (platform/memory.h) one block read may
// take. A block is read here and, in another copy, by the map view, each
// passing through GDAL's cache; at a sixteenth, several copies still leave
// the program and the machine their memory.
inline constexpr double kBlockMemoryShare = 1.0 / 16;

// The most a run's workers share of a raster's decoded blocks: as much as
// GDAL's own cache may hold.
inline constexpr std::size_t kSharedBlockBytes = 256u * 1024 * 1024;

// How many blocks of `blockSize` cells cover `cells` cells (both
// positive), up to the widest raster GDAL opens.
int blockCount(int cells, int blockSize);

// Decoded blocks of one raster file, shared by the handles that read it on
// several threads: a block is decoded once, by whichever handle needs it
// first, and published for the others; a handle that needs it meanwhile
// waits for it rather than decode it too. A published block stays,
// unchanged, as long as the store: reading it takes no lock and touches no
// count, so handles on every core read side by side. At most `capacity`
// bytes are published; a handle keeps a block beyond them to itself.
class SharedBlocks {
public:
    SharedBlocks(std::size_t blocks, std::size_t blockBytes, std::size_t capacity);
    ~SharedBlocks();
    SharedBlocks(const SharedBlocks&) = delete;
    SharedBlocks& operator=(const SharedBlocks&) = delete;

    std::size_t blocks() const { return blocks_; }
    std::size_t blockBytes() const { return blockBytes_; }
    // The block published for key (below blocks()), or null.
    const unsigned char* find(std::size_t key) const noexcept {
        return slots_[key].load(std::memory_order_acquire);
    }
    // Publishes a block of blockBytes() bytes that a handle decoded. Unless
    // another handle published the key first (its block is returned and
    // `block` stays the caller's) or the store is full (null, and `block`
    // stays the caller's), the store takes `block` and returns it.
    const unsigned char* publish(std::size_t key, std::unique_ptr<unsigned char[]>& block);
    // The block published for key, waiting while another handle decodes
    // it; or null, and then the caller is the one to decode it, publish it
    // (or keep it, the store being full) and then unclaim(key), whether
    // the decoding succeeded or not.
    const unsigned char* findOrClaim(std::size_t key);
    void unclaim(std::size_t key);

private:
    const std::size_t blocks_, blockBytes_, capacity_;
    std::unique_ptr<std::atomic<const unsigned char*>[]> slots_;
    std::unique_ptr<std::atomic<bool>[]> decoding_;
    std::atomic<std::size_t> bytes_{0};
};

class Raster {
public:
    // Opens a raster (read-only); GisError when GDAL cannot read it, or
    // when reading one of its blocks would take more than kBlockMemoryShare
    // of the usable memory.
    // Nothing is ever written beside it: no statistics or other auxiliary
    // file, so shared and read-only data stay as they are.
    static std::shared_ptr<Raster> open(const std::string& path);
    ~Raster();
    Raster(const Raster&) = delete;
    Raster& operator=(const Raster&) = delete;

    const std::string& path() const { return path_; }  // the complete name
    std::string name() const;                          // file or grid folder name
    int width() const { return width_; }
    int height() const { return height_; }
    int bandCount() const;
    double cellSizeX() const;
    double cellSizeY() const;  // positive
    Envelope extent() const;
    SpatialReference spatialReference() const;
    std::optional<double> noData() const;
    bool isFloat32() const { return cellType_ == detail::CellType::Float32; }
    // Minimum and maximum of band 1 (exact, read block by block the first
    // time, then kept with the raster): GDAL's exact minimum and maximum,
    // NoData judged as GDAL judges it. The reading moves `progress`'s
    // bar 1 from 0 to 100, giving the event loop a turn at each step.
    std::pair<double, double> minMax(Progress* progress = nullptr) const;
    // Reads every block of band 1 once, to refuse a damaged raster before
    // a run uses it (GisError, naming the raster), and keeps what the
    // reading gives: the extremes, which minMax() then tells without
    // reading again, and the decoded blocks. On one thread they go into
    // GDAL's cache, as minMax() would leave them; on several (`threads`,
    // each through a handle of its own, for the run's workers) into a
    // store of at most `mostBytes`, which takeSharedBlocks() hands on.
    void readWhole(int threads, std::size_t mostBytes);
    // The exact extremes of band 1 once known (low above high: no cell
    // holds a value): after readWhole() or minMax() has read the cells,
    // or takeExtremes(); nothing before, and after a readWhole() of a
    // cell type whose extremes are GDAL's to compute.
    std::optional<std::pair<double, double>> knownExtremes() const { return minMax_; }
    // Takes the extremes that a whole reading of the same bytes found, in
    // place of reading: minMax() tells them, and blocks are decoded only
    // as they are asked for.
    void takeExtremes(std::pair<double, double> extremes) { minMax_ = extremes; }
    // Reads every block of band 1 once and keeps nothing: a damaged raster
    // is refused (GisError, naming it) without filling GDAL's cache for a
    // raster that may only be looked at.
    void checkBlocks() const { refuseDamaged(0); }

    // Identify band 1 at a map point: Outside when the point lies off the
    // raster, NoData for a cell the extremes leave out as NoData or for an
    // infinity, else the value.
    // A point exactly on the right or bottom edge is outside.
    PixelValue identify(double x, double y) const;
    PixelValue identify(const Point& p) const { return identify(p.x, p.y); }
    // identify at many points at once: out[i] is exactly identify(points[i]).
    // The points are located first and their pixels fetched ahead, block by
    // block, before any is converted: a ray's vertices cost one pass.
    void identifyMany(const Point* points, std::size_t count, PixelValue* out) const;
    std::vector<PixelValue> identifyMany(const std::vector<Point>& points) const;

    GDALDataset* dataset() const { return ds_.get(); }

    // Hands over a store for this raster's blocks, publishing at most
    // `mostBytes`: the one readWhole() filled, which this handle then no
    // longer keeps; once that is taken (or when there was none), a new one
    // into which the blocks this handle holds decoded move, out of GDAL's cache.
    std::shared_ptr<SharedBlocks> takeSharedBlocks(std::size_t mostBytes);
    // From now on blocks come from (and go to) the store, decoded by this
    // handle's own dataset when missing: one handle per thread, one store
    // for all of them (made by takeSharedBlocks of a handle on the same file).
    void shareBlocks(std::shared_ptr<SharedBlocks> store);

private:
    Raster() = default;
    // Lets go of every block held (they stay in GDAL's cache).
    void releaseBlock() const;
    // Reads the blocks from number `from` on, in order, into one buffer; GisError at the first that does not read.
    void refuseDamaged(std::size_t from) const;
    // Why a reading failed, as what `err` caught (`otherwise` when it caught
    // nothing): a source on a server that does not answer, else damage.
    GisError readingFailure(const detail::ErrorCapture& err, const std::string& otherwise) const;
    // readWhole's ways: every block through GDAL's cache on this thread,
    // or on `threads` threads into a store kept for takeSharedBlocks().
    void readWholeThroughCache();
    void readWholeShared(int threads, std::size_t mostBytes);
    // Block number `key`'s column and row of blocks, and its cells (w, h) inside the raster.
    std::pair<int, int> blockCells(std::size_t key, int& w, int& h) const;
    // The pixel data of block (bx, by), held until its slot is wanted for
    // another block. `keep` is the bulk read's pass: a block it still needs
    // is never let go; then *evicted says the caller must convert first.
    const void* blockData(int bx, int by, unsigned keep = 0, bool* evicted = nullptr) const;
    struct HeldBlock;
    const void* replaceBlock(HeldBlock& h, int bx, int by, unsigned keep, bool* evicted) const;
    // Where a point falls: false off the raster, else the block and the
    // pixel's offset in it.
    bool locate(double x, double y, int& bx, int& by, std::size_t& offset) const;
    PixelValue pixelAt(const void* data, std::size_t offset) const;
    void convertPending(std::size_t from, std::size_t to, PixelValue* out) const;
    void nextPass() const;

    std::string path_;
    DatasetHandle ds_;
    int width_ = 0, height_ = 0;
    double gt_[6] = {0, 1, 0, 0, 0, -1};
    bool northUp_ = true;
    detail::CellType cellType_ = detail::CellType::Other;
    bool hasNoData_ = false;
    double noData_ = 0;
    detail::NoDataRuns noDataRuns_;
    int blockW_ = 0, blockH_ = 0;
    int dataType_ = 0;
    // Recent blocks, locked in GDAL's cache while held, direct-mapped by
    // block number: consecutive rows of a striped file never collide.
    std::shared_ptr<SharedBlocks> shared_;
    struct HeldBlock {
        std::unique_ptr<unsigned char[]> own;  // a block the full store left to this handle
        void* block = nullptr;  // GDALRasterBlock*
        const void* data = nullptr;
        int bx = -1, by = -1;
        unsigned pass = 0;  // the bulk read that last used it
    };
    mutable std::vector<HeldBlock> held_;
    std::size_t heldMask_ = 0;
    int blocksPerRow_ = 1;
    int pixelBytes_ = 1;
    mutable unsigned pass_ = 0;
    // A bulk read's located points: pixel data and offset (data null: off the raster).
    mutable std::vector<std::pair<const void*, std::size_t>> pending_;
    // The last Float32 conversion (pixel bits -> decimal value).
    mutable std::uint32_t lastBits_ = 0;
    mutable double lastValue_ = 0;
    mutable bool lastValid_ = false;
    // Recent Float32 conversions, direct-mapped by the pixel's bits.
    static constexpr int kConversionBits = 14;
    static constexpr std::size_t kConversionSlots = std::size_t{1} << kConversionBits;
    mutable std::vector<std::pair<std::uint32_t, double>> conversions_;
    static std::size_t conversionSlot(std::uint32_t bits) { return (bits * 2654435761u) >> (32 - kConversionBits); }
    // Low above high: no cell holds a value.
    mutable std::optional<std::pair<double, double>> minMax_;
    // The blocks readWhole() decoded on several threads, until a run takes them.
    std::shared_ptr<SharedBlocks> wholeRead_;
};

}  // namespace quor::platform::gis
