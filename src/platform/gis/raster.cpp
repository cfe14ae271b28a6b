#include "platform/gis/raster.h"

#include <gdal_pam.h>
#include <gdal_priv.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <type_traits>

#include "platform/folders.h"
#include "platform/gis/gdal_support.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/raster_cells.h"
#include "platform/memory.h"
#include "platform/numbers.h"

namespace quor::platform::gis {

std::string PixelValue::text() const {
    switch (kind) {
        case Kind::Outside: return {};
        case Kind::NoData: return "NoData";
        case Kind::Value: return shortestText(value);
    }
    return {};
}

namespace {

// The bytes GDAL holds to read one block of band 1: its cells in every
// band read together (all bands of a pixel-interleaved raster, whose
// samples lie side by side), and, when there are several, as much again
// for the blocks of each band GDAL parts them into.
double blockReadBytes(int blockWidth, int blockHeight, int bytesPerCell, int bandsReadTogether) {
    const double read = static_cast<double>(blockWidth) * blockHeight * bytesPerCell * std::max(1, bandsReadTogether);
    return bandsReadTogether > 1 ? 2 * read : read;
}

// Why a block is refused under a process or control group limit, and
// what gets the raster read all the same.
std::string limitedMemoryText(double usableBytes) {
    const long long megabytes = static_cast<long long>(usableBytes / (1024 * 1024));
    return ", too large to read under the memory limit this program runs with (a process or control group limit "
           "leaving " +
           std::to_string(megabytes) +
           " MB). Raise the limit, or save the raster tiled (for example with gdal_translate -co TILED=YES).";
}

}  // namespace

int blockCount(int cells, int blockSize) { return cells / blockSize + (cells % blockSize != 0 ? 1 : 0); }

std::shared_ptr<Raster> Raster::open(const std::string& path) {
    detail::ErrorCapture err;
    detail::AuxiliaryFilesReadable readAux;
    std::error_code ec;
    // A name of GDAL's virtual file layer (inside an archive, on a server)
    // is GDAL's to judge, with its reason.
    if (!isGdalVirtualPath(path) && !std::filesystem::exists(path, ec))
        throw GisError("The raster " + path + " does not exist.");
    // Verbose: GDAL says why it cannot open the raster, and the refusal tells it.
    DatasetHandle ds(static_cast<GDALDataset*>(GDALOpenEx(
        path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR, nullptr, nullptr, nullptr)));
    if (!ds) throw GisError(err.message("The raster " + path + " cannot be read."));
    // Saving stays off even while this open reads the auxiliary files.
    if (auto* pam = dynamic_cast<GDALPamDataset*>(ds.get())) pam->SetPamFlags(pam->GetPamFlags() | GPF_NOSAVE);
    if (ds->GetRasterCount() < 1) throw GisError("The raster " + path + " has no band.");
    std::shared_ptr<Raster> r(new Raster());
    r->path_ = path;
    r->width_ = ds->GetRasterXSize();
    r->height_ = ds->GetRasterYSize();
    if (ds->GetGeoTransform(r->gt_) != CE_None) {
        r->gt_[0] = 0, r->gt_[1] = 1, r->gt_[2] = 0, r->gt_[3] = 0, r->gt_[4] = 0, r->gt_[5] = -1;
    }
    r->northUp_ = r->gt_[2] == 0 && r->gt_[4] == 0;
    GDALRasterBand* band = ds->GetRasterBand(1);
    r->dataType_ = band->GetRasterDataType();
    r->cellType_ = detail::cellTypeOf(*band);
    int has = 0;
    const double nd = band->GetNoDataValue(&has);
    r->hasNoData_ = has != 0;
    r->noData_ = nd;
    r->noDataRuns_ = detail::noDataRuns(*band, r->cellType_, r->noData());
    band->GetBlockSize(&r->blockW_, &r->blockH_);
    if (r->blockW_ <= 0 || r->blockH_ <= 0) throw GisError("The raster " + path + " cannot be read.");
    r->pixelBytes_ = std::max(1, GDALGetDataTypeSizeBytes(static_cast<GDALDataType>(r->dataType_)));
    // The header alone decides how much a block read allocates: a few bytes
    // changed in a small file would otherwise cost gigabytes, here or in
    // GDAL's cache, before any pixel is found damaged.
    const char* interleave = ds->GetMetadataItem("INTERLEAVE", "IMAGE_STRUCTURE");
    const int together = interleave && EQUAL(interleave, "PIXEL") ? ds->GetRasterCount() : 1;
    const UsableMemory memory = usableMemory();
    if (blockReadBytes(r->blockW_, r->blockH_, r->pixelBytes_, together) > kBlockMemoryShare * memory.bytes)
        throw GisError("The raster " + path + " has blocks of " + std::to_string(r->blockW_) + " by " +
                       std::to_string(r->blockH_) + " cells" +
                       (together > 1 ? " in " + std::to_string(together) + " bands read together" : std::string()) +
                       (memory.limited ? limitedMemoryText(memory.bytes)
                                       : ", too large to read with this computer's memory."));
    r->blocksPerRow_ = blockCount(r->width_, r->blockW_);
    // Hold about 16 MB of blocks: hundreds of rows of a striped file, a few
    // dozen tiles of a tiled one; never fewer than 4, unless a block alone
    // is larger: then the one in use (a held block stays in memory).
    const double blockBytes = static_cast<double>(r->blockW_) * r->blockH_ * r->pixelBytes_;
    constexpr double kHeldBytes = 16.0 * 1024 * 1024;
    std::size_t slots = blockBytes > kHeldBytes ? 1 : 4;
    while (slots < 2048 && static_cast<double>(slots * 2) * blockBytes <= kHeldBytes) slots *= 2;
    r->held_.resize(slots);
    r->heldMask_ = slots - 1;
    r->ds_ = std::move(ds);
    return r;
}

Raster::~Raster() {
    // The locked block belongs to the dataset's cache: let it go first.
    releaseBlock();
}

SharedBlocks::SharedBlocks(std::size_t blocks, std::size_t blockBytes, std::size_t capacity)
    : blocks_(blocks), blockBytes_(blockBytes), capacity_(capacity),
      slots_(std::make_unique<std::atomic<const unsigned char*>[]>(blocks)),
      decoding_(std::make_unique<std::atomic<bool>[]>(blocks)) {
    for (std::size_t i = 0; i < blocks_; ++i) {
        slots_[i].store(nullptr, std::memory_order_relaxed);
        decoding_[i].store(false, std::memory_order_relaxed);
    }
}

SharedBlocks::~SharedBlocks() {
    for (std::size_t i = 0; i < blocks_; ++i) delete[] slots_[i].load(std::memory_order_relaxed);
}

const unsigned char* SharedBlocks::publish(std::size_t key, std::unique_ptr<unsigned char[]>& block) {
    if (const unsigned char* first = find(key)) return first;
    // Room is claimed before the block goes in, so the bytes published
    // never pass the capacity, whoever publishes at the same time.
    if (bytes_.fetch_add(blockBytes_, std::memory_order_relaxed) + blockBytes_ > capacity_) {
        bytes_.fetch_sub(blockBytes_, std::memory_order_relaxed);
        return nullptr;
    }
    const unsigned char* expected = nullptr;
    if (slots_[key].compare_exchange_strong(expected, block.get(), std::memory_order_acq_rel,
                                            std::memory_order_acquire))
        return block.release();
    bytes_.fetch_sub(blockBytes_, std::memory_order_relaxed);
    return expected;
}

const unsigned char* SharedBlocks::findOrClaim(std::size_t key) {
    for (;;) {
        if (const unsigned char* block = find(key)) return block;
        bool expected = false;
        if (decoding_[key].compare_exchange_strong(expected, true, std::memory_order_acq_rel)) {
            // Published between the look and the claim: nothing to decode.
            if (const unsigned char* block = find(key)) {
                unclaim(key);
                return block;
            }
            return nullptr;
        }
        decoding_[key].wait(true, std::memory_order_acquire);
    }
}

void SharedBlocks::unclaim(std::size_t key) {
    decoding_[key].store(false, std::memory_order_release);
    decoding_[key].notify_all();
}

std::shared_ptr<SharedBlocks> Raster::takeSharedBlocks(std::size_t mostBytes) {
    if (wholeRead_) return std::exchange(wholeRead_, nullptr);
    const int rows = blockCount(height_, blockH_);
    const std::size_t bytes = static_cast<std::size_t>(blockW_) * static_cast<std::size_t>(blockH_) *
                              static_cast<std::size_t>(pixelBytes_);
    auto store = std::make_shared<SharedBlocks>(static_cast<std::size_t>(blocksPerRow_) * static_cast<std::size_t>(rows),
                                                bytes, mostBytes);
    // The blocks this handle has decoded (its extremes read them all) move
    // into the store one by one, rather than being decoded again beside
    // GDAL's copies.
    releaseBlock();
    GDALRasterBand* band = ds_->GetRasterBand(1);
    for (int by = 0; by < rows; ++by)
        for (int bx = 0; bx < blocksPerRow_; ++bx) {
            GDALRasterBlock* cached = band->TryGetLockedBlockRef(bx, by);
            if (!cached) continue;
            auto block = std::make_unique<unsigned char[]>(bytes);
            std::memcpy(block.get(), cached->GetDataRef(), bytes);
            cached->DropLock();
            const std::size_t key = static_cast<std::size_t>(by) * static_cast<std::size_t>(blocksPerRow_) +
                                    static_cast<std::size_t>(bx);
            if (!store->publish(key, block)) return store;  // the store is full
            band->FlushBlock(bx, by, FALSE);
        }
    return store;
}

void Raster::shareBlocks(std::shared_ptr<SharedBlocks> store) {
    releaseBlock();
    shared_ = std::move(store);
}

void Raster::releaseBlock() const {
    for (HeldBlock& h : held_) {
        if (h.block) static_cast<GDALRasterBlock*>(h.block)->DropLock();
        h = HeldBlock{};
    }
}

inline const void* Raster::blockData(int bx, int by, unsigned keep, bool* evicted) const {
    const std::size_t key = static_cast<std::size_t>(by) * static_cast<std::size_t>(blocksPerRow_) +
                            static_cast<std::size_t>(bx);
    HeldBlock& h = held_[key & heldMask_];
    if (h.bx == bx && h.by == by) [[likely]] {
        h.pass = keep;
        return h.data;
    }
    return replaceBlock(h, bx, by, keep, evicted);
}

const void* Raster::replaceBlock(HeldBlock& h, int bx, int by, unsigned keep, bool* evicted) const {
    if (h.data && keep != 0 && h.pass == keep) {
        // A point of this bulk read still points into that block.
        *evicted = true;
        return nullptr;
    }
    if (h.block) static_cast<GDALRasterBlock*>(h.block)->DropLock();
    h = HeldBlock{};
    detail::ErrorCapture err;
    if (shared_) {
        const std::size_t key = static_cast<std::size_t>(by) * static_cast<std::size_t>(blocksPerRow_) +
                                static_cast<std::size_t>(bx);
        const unsigned char* data = shared_->findOrClaim(key);
        if (!data) {
            struct Unclaim {
                SharedBlocks& store;
                std::size_t key;
                ~Unclaim() { store.unclaim(key); }
            } unclaim{*shared_, key};
            // Read as GDAL's cache would fill the block, bypassing that cache.
            auto block = std::make_unique<unsigned char[]>(shared_->blockBytes());
            if (ds_->GetRasterBand(1)->ReadBlock(bx, by, block.get()) != CE_None)
                throw GisError(err.message("The raster " + path_ + " cannot be read."));
            data = shared_->publish(key, block);
            if (!data) {
                data = block.get();
                h.own = std::move(block);
            }
        }
        h.data = data;
        h.bx = bx;
        h.by = by;
        h.pass = keep;
        return h.data;
    }
    GDALRasterBlock* b = ds_->GetRasterBand(1)->GetLockedBlockRef(bx, by);
    if (!b) throw GisError(err.message("The raster " + path_ + " cannot be read."));
    h.block = b;
    h.data = b->GetDataRef();
    h.bx = bx;
    h.by = by;
    h.pass = keep;
    return h.data;
}

inline bool Raster::locate(double x, double y, int& bx, int& by, std::size_t& offset) const {
    double fc, fr;
    if (northUp_) {
        fc = (x - gt_[0]) / gt_[1];
        fr = (y - gt_[3]) / gt_[5];
    } else {
        const double det = gt_[1] * gt_[5] - gt_[2] * gt_[4];
        const double dx = x - gt_[0], dy = y - gt_[3];
        fc = (gt_[5] * dx - gt_[2] * dy) / det;
        fr = (-gt_[4] * dx + gt_[1] * dy) / det;
    }
    if (!(fc >= 0 && fr >= 0 && fc < width_ && fr < height_)) return false;  // also catches NaN
    const int col = static_cast<int>(fc), row = static_cast<int>(fr);
    bx = col / blockW_;
    by = row / blockH_;
    offset = static_cast<std::size_t>(row - by * blockH_) * static_cast<std::size_t>(blockW_) +
             static_cast<std::size_t>(col - bx * blockW_);
    return true;
}

std::string Raster::name() const {
    std::filesystem::path p(path_);
    if (!p.has_filename()) p = p.parent_path();
    return p.filename().string();
}

int Raster::bandCount() const { return ds_->GetRasterCount(); }
double Raster::cellSizeX() const { return std::hypot(gt_[1], gt_[4]); }
double Raster::cellSizeY() const { return std::hypot(gt_[2], gt_[5]); }

Envelope Raster::extent() const {
    Envelope e;
    for (double px : {0.0, static_cast<double>(width_)})
        for (double py : {0.0, static_cast<double>(height_)})
            e.expand(Point{gt_[0] + px * gt_[1] + py * gt_[2], gt_[3] + px * gt_[4] + py * gt_[5]});
    return e;
}

SpatialReference Raster::spatialReference() const {
    if (const OGRSpatialReference* sr = ds_->GetSpatialRef()) return SpatialReference::fromOgr(sr);
    // A .prj among the raster's files that GDAL read as no reference at all.
    const CPLStringList files(ds_->GetFileList());
    for (int i = 0; i < files.size(); ++i)
        if (lowerExtension(files[i]) == ".prj") return SpatialReference::unreadable(files[i]);
    return {};
}

std::optional<double> Raster::noData() const {
    if (!hasNoData_) return std::nullopt;
    return noData_;
}

std::pair<double, double> Raster::minMax(Progress* progress) const {
    const auto noValue = [&] {
        return GisError("The raster " + path_ + " holds no data: every cell is NoData.");
    };
    // A large raster takes seconds to read whole: once is enough.
    if (minMax_) {
        if (minMax_->first > minMax_->second) throw noValue();
        return *minMax_;
    }
    detail::ErrorCapture err;
    GDALRasterBand* band = ds_->GetRasterBand(1);
    auto unread = [&] { return readingFailure(err, "its statistics cannot be computed."); };
    const detail::BlockExtremes scan = detail::extremesFor(cellType_);
    if (!scan) {
        // A type of its own: GDAL's scan, without progress.
        double mm[2] = {0, 0};
        if (band->ComputeRasterMinMax(FALSE, mm) != CE_None) {
            if (err.message("").find("no valid pixels") != std::string::npos) throw noValue();
            throw unread();
        }
        minMax_.emplace(mm[0], mm[1]);
        return *minMax_;
    }
    const int rowsOfBlocks = blockCount(height_, blockH_);
    double low = std::numeric_limits<double>::infinity(), high = -low;
    for (int by = 0; by < rowsOfBlocks; ++by) {
        for (int bx = 0; bx < blocksPerRow_; ++bx) {
            GDALRasterBlock* block = band->GetLockedBlockRef(bx, by);
            if (!block) throw unread();
            const int w = std::min(blockW_, width_ - bx * blockW_), h = std::min(blockH_, height_ - by * blockH_);
            scan(block->GetDataRef(), blockW_, w, h, noDataRuns_, low, high);
            block->DropLock();
        }
        // The bar moves, and the event loop gets its turn, once per percent.
        const int percent = static_cast<int>(100.0 * (by + 1) / rowsOfBlocks);
        if (progress && percent != progress->value(1)) {
            progress->setValue(1, percent);
            progress->yield();
        }
    }
    minMax_.emplace(low, high);
    // No cell holds a value.
    if (low > high) throw noValue();
    return *minMax_;
}

PixelValue Raster::identify(double x, double y) const {
    int bx, by;
    std::size_t off;
    if (!locate(x, y, bx, by, off)) return PixelValue::outside();
    return pixelAt(blockData(bx, by), off);
}

std::vector<PixelValue> Raster::identifyMany(const std::vector<Point>& points) const {
    std::vector<PixelValue> out(points.size());
    identifyMany(points.data(), points.size(), out.data());
    return out;
}

void Raster::identifyMany(const Point* points, std::size_t count, PixelValue* out) const {
    // In runs of a few dozen points: locate each and ask for its pixel's
    // cache line, then convert the run while the lines arrive.
    constexpr std::size_t kRun = 64;
    pending_.resize(kRun);
    for (std::size_t start = 0; start < count; start += kRun) {
        const std::size_t n = std::min(kRun, count - start);
        nextPass();
        std::size_t converted = 0;
        int lastBx = -1, lastBy = -1;
        const void* lastData = nullptr;
        for (std::size_t i = 0; i < n; ++i) {
            int bx, by;
            std::size_t off;
            if (!locate(points[start + i].x, points[start + i].y, bx, by, off)) {
                pending_[i] = {nullptr, 0};
                continue;
            }
            if (bx != lastBx || by != lastBy) {
                bool evicted = false;
                lastData = blockData(bx, by, pass_, &evicted);
                if (evicted) {
                    // Two blocks of this run share a slot: finish the points
                    // read so far, then the slot is free to change.
                    convertPending(converted, i, out + start);
                    converted = i;
                    nextPass();
                    lastData = blockData(bx, by, pass_);
                }
                lastBx = bx;
                lastBy = by;
            }
            pending_[i] = {lastData, off};
            __builtin_prefetch(static_cast<const char*>(lastData) + off * static_cast<std::size_t>(pixelBytes_));
        }
        convertPending(converted, n, out + start);
    }
}

void Raster::nextPass() const {
    // 0 means "no bulk read"; after a wrap no slot may claim the new pass.
    if (++pass_ != 0) return;
    for (HeldBlock& h : held_) h.pass = 0;
    pass_ = 1;
}

void Raster::convertPending(std::size_t from, std::size_t to, PixelValue* out) const {
    if (cellType_ == detail::CellType::Float32) {
        // The pixels have arrived by now; ask for their conversions' places
        // before taking any, as for the pixels themselves.
        if (conversions_.empty()) conversions_.assign(kConversionSlots, {0u, std::nan("")});
        for (std::size_t i = from; i < to; ++i) {
            if (!pending_[i].first) continue;
            std::uint32_t bits;
            std::memcpy(&bits, static_cast<const float*>(pending_[i].first) + pending_[i].second, sizeof bits);
            __builtin_prefetch(&conversions_[conversionSlot(bits)]);
        }
    }
    for (std::size_t i = from; i < to; ++i)
        out[i] = pending_[i].first ? pixelAt(pending_[i].first, pending_[i].second) : PixelValue::outside();
}

PixelValue Raster::pixelAt(const void* data, std::size_t off) const {
    PixelValue out;
    if (cellType_ == detail::CellType::Float32) {
        const float f = static_cast<const float*>(data)[off];
        // An infinity is no depth either: it counts as NoData.
        if (!std::isfinite(f) || noDataRuns_.holds(f)) {
            out.kind = PixelValue::Kind::NoData;
            return out;
        }
        std::uint32_t bits;
        std::memcpy(&bits, &f, sizeof bits);
        if (!lastValid_ || bits != lastBits_) {
            // Rays cross the same pixels again and again (the fast walk, the
            // depth averaging and both shallow-water stages): remember the
            // recent conversions, keyed by the pixel's bits.
            if (conversions_.empty()) conversions_.assign(kConversionSlots, {0u, std::nan("")});
            auto& slot = conversions_[conversionSlot(bits)];
            if (slot.first != bits || std::isnan(slot.second)) slot = {bits, asWritten(f)};
            lastBits_ = bits;
            lastValue_ = slot.second;
            lastValid_ = true;
        }
        out.kind = PixelValue::Kind::Value;
        out.value = lastValue_;
        return out;
    }
    double v = 0;
    switch (cellType_) {
        case detail::CellType::Byte: v = static_cast<const std::uint8_t*>(data)[off]; break;
        case detail::CellType::SignedByte: v = static_cast<const std::int8_t*>(data)[off]; break;
        case detail::CellType::Int16: v = static_cast<const std::int16_t*>(data)[off]; break;
        case detail::CellType::UInt16: v = static_cast<const std::uint16_t*>(data)[off]; break;
        case detail::CellType::Int32: v = static_cast<const std::int32_t*>(data)[off]; break;
        case detail::CellType::UInt32: v = static_cast<const std::uint32_t*>(data)[off]; break;
        case detail::CellType::Float64: v = static_cast<const double*>(data)[off]; break;
        default: {
            // Rare types: let GDAL convert the one pixel.
            double d = 0;
            GDALCopyWords(static_cast<const std::uint8_t*>(data) + off * GDALGetDataTypeSizeBytes(
                                                                                 static_cast<GDALDataType>(dataType_)),
                          static_cast<GDALDataType>(dataType_), 0, &d, GDT_Float64, 0, 1);
            v = d;
        }
    }
    if (!std::isfinite(v) || noDataRuns_.holds(v)) {
        out.kind = PixelValue::Kind::NoData;
        return out;
    }
    out.kind = PixelValue::Kind::Value;
    out.value = v;
    return out;
}

}  // namespace quor::platform::gis
