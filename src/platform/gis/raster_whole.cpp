// A raster read whole once, before a run: every block decoded, checked and
// scanned for the extremes, side by side on the run's threads.
#include <gdal_priv.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/gis/gdal_support.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/raster.h"
#include "platform/gis/raster_cells.h"
#include "platform/gis/raster_files.h"

namespace quor::platform::gis {

namespace {

constexpr double kAbove = std::numeric_limits<double>::infinity();
constexpr const char* kBlockUnread = "a block cannot be read.";

}  // namespace

GisError Raster::readingFailure(const detail::ErrorCapture& err, const std::string& otherwise) const {
    const std::string said = err.failed() ? err.message("") : otherwise;
    // The raster's own bytes may be whole: a source it names is not there to read.
    const RasterFiles files = rasterFiles(*ds_);
    if (!files.unreachable.empty())
        return GisError("The raster " + path_ + " reads its cells from " + files.unreachable.front() +
                        ", which cannot be reached.");
    return GisError("The raster " + path_ + " is damaged: " + said);
}

void Raster::refuseDamaged(std::size_t from) const {
    detail::ErrorCapture err;
    GDALRasterBand* band = ds_->GetRasterBand(1);
    const std::size_t blocks =
        static_cast<std::size_t>(blockCount(height_, blockH_)) * static_cast<std::size_t>(blocksPerRow_);
    std::vector<unsigned char> block(static_cast<std::size_t>(blockW_) * static_cast<std::size_t>(blockH_) *
                                     static_cast<std::size_t>(pixelBytes_));
    for (std::size_t key = from; key < blocks; ++key) {
        const int bx = static_cast<int>(key % static_cast<std::size_t>(blocksPerRow_));
        const int by = static_cast<int>(key / static_cast<std::size_t>(blocksPerRow_));
        if (band->ReadBlock(bx, by, block.data()) != CE_None)
            throw readingFailure(err, kBlockUnread);
    }
}

void Raster::readWhole(int threads, std::size_t mostBytes) {
    releaseBlock();
    if (!detail::extremesFor(cellType_)) {
        // A type of its own, whose extremes are GDAL's to compute: only read.
        refuseDamaged(0);
        return;
    }
    if (threads <= 1)
        readWholeThroughCache();
    else
        readWholeShared(threads, mostBytes);
}

std::pair<int, int> Raster::blockCells(std::size_t key, int& w, int& h) const {
    const int bx = static_cast<int>(key % static_cast<std::size_t>(blocksPerRow_));
    const int by = static_cast<int>(key / static_cast<std::size_t>(blocksPerRow_));
    w = std::min(blockW_, width_ - bx * blockW_);
    h = std::min(blockH_, height_ - by * blockH_);
    return {bx, by};
}

void Raster::readWholeThroughCache() {
    // Through GDAL's cache, as the extremes would be read.
    const detail::BlockExtremes scan = detail::extremesFor(cellType_);
    const std::size_t blocks =
        static_cast<std::size_t>(blockCount(height_, blockH_)) * static_cast<std::size_t>(blocksPerRow_);
    detail::ErrorCapture err;
    GDALRasterBand* band = ds_->GetRasterBand(1);
    double low = kAbove, high = -kAbove;
    for (std::size_t key = 0; key < blocks; ++key) {
        int w, h;
        const auto [bx, by] = blockCells(key, w, h);
        GDALRasterBlock* block = band->GetLockedBlockRef(bx, by);
        if (!block) {
            refuseDamaged(key);
            throw readingFailure(err, kBlockUnread);
        }
        scan(block->GetDataRef(), blockW_, w, h, noDataRuns_, low, high);
        block->DropLock();
    }
    minMax_.emplace(low, high);
}

void Raster::readWholeShared(int threads, std::size_t mostBytes) {
    const detail::BlockExtremes scan = detail::extremesFor(cellType_);
    const std::size_t blocks =
        static_cast<std::size_t>(blockCount(height_, blockH_)) * static_cast<std::size_t>(blocksPerRow_);
    const std::size_t bytes = static_cast<std::size_t>(blockW_) * static_cast<std::size_t>(blockH_) *
                              static_cast<std::size_t>(pixelBytes_);
    // Each block's extremes are kept apart and taken in the blocks' order
    // afterwards, as one thread takes them: the same values, to the sign of
    // a zero, whatever thread read which block.
    std::vector<std::pair<double, double>> extremes(blocks, {kAbove, -kAbove});
    auto store = std::make_shared<SharedBlocks>(blocks, bytes, mostBytes);
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    std::mutex failureMutex;
    std::exception_ptr failure;
    const auto readSome = [&] {
        try {
            // A dataset serves one thread: each reader opens the file anew.
            const std::shared_ptr<Raster> mine = Raster::open(path_);
            GDALRasterBand* band = mine->ds_->GetRasterBand(1);
            detail::ErrorCapture err;
            for (std::size_t key = next++; key < blocks && !stop; key = next++) {
                int w, h;
                const auto [bx, by] = blockCells(key, w, h);
                auto block = std::make_unique<unsigned char[]>(bytes);
                if (band->ReadBlock(bx, by, block.get()) != CE_None) throw mine->readingFailure(err, kBlockUnread);
                scan(block.get(), blockW_, w, h, noDataRuns_, extremes[key].first, extremes[key].second);
                store->publish(key, block);
            }
        } catch (...) {
            std::lock_guard<std::mutex> lock(failureMutex);
            if (!failure) failure = std::current_exception();
            stop = true;
        }
    };
    {
        std::vector<std::thread> readers;
        struct Joined {
            std::vector<std::thread>& readers;
            std::atomic<bool>& stop;
            ~Joined() {
                stop = true;
                for (auto& t : readers) t.join();
            }
        } joined{readers, stop};
        const std::size_t helpers = std::min<std::size_t>(static_cast<std::size_t>(threads), blocks) - 1;
        readers.reserve(helpers);
        for (std::size_t k = 0; k < helpers; ++k) readers.emplace_back(readSome);
        readSome();
        for (auto& t : readers) t.join();
        readers.clear();
    }
    if (failure) {
        refuseDamaged(0);
        std::rethrow_exception(failure);
    }
    double low = kAbove, high = -kAbove;
    for (const auto& [l, h] : extremes) {
        low = std::min(low, l);
        high = std::max(high, h);
    }
    minMax_.emplace(low, high);
    wholeRead_ = std::move(store);
}

}  // namespace quor::platform::gis
