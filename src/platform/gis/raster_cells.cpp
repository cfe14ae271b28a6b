#include "platform/gis/raster_cells.h"

#include <gdal_priv.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "platform/gis/gdal_handle.h"
#include "platform/gis/gdal_support.h"

namespace quor::platform::gis::detail {

CellType cellTypeOf(GDALRasterBand& band) {
    switch (band.GetRasterDataType()) {
        case GDT_Byte: {
            const char* pixelType = band.GetMetadataItem("PIXELTYPE", "IMAGE_STRUCTURE");
            return pixelType && EQUAL(pixelType, "SIGNEDBYTE") ? CellType::SignedByte : CellType::Byte;
        }
        case GDT_UInt16: return CellType::UInt16;
        case GDT_Int16: return CellType::Int16;
        case GDT_UInt32: return CellType::UInt32;
        case GDT_Int32: return CellType::Int32;
        case GDT_Float32: return CellType::Float32;
        case GDT_Float64: return CellType::Float64;
        default: return CellType::Other;
    }
}

namespace {

// The values of T, infinities included, numbered in their order: the
// runs are searched for among these numbers.
template <typename T>
std::int64_t keyOf(T v) {
    if constexpr (std::is_integral_v<T>) {
        return static_cast<std::int64_t>(v);
    } else {
        using Bits = std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>;
        const Bits bits = std::bit_cast<Bits>(v);
        const Bits sign = Bits{1} << (8 * sizeof(T) - 1);
        const auto magnitude = static_cast<std::int64_t>(bits & ~sign);
        return (bits & sign) ? -magnitude : magnitude;
    }
}

template <typename T>
T valueAt(std::int64_t key) {
    if constexpr (std::is_integral_v<T>) {
        return static_cast<T>(key);
    } else {
        using Bits = std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>;
        const Bits sign = Bits{1} << (8 * sizeof(T) - 1);
        const auto magnitude = static_cast<Bits>(key < 0 ? -key : key);
        return std::bit_cast<T>(key < 0 ? magnitude | sign : magnitude);
    }
}

template <typename T>
std::int64_t lowestKey() {
    if constexpr (std::is_integral_v<T>) return keyOf(std::numeric_limits<T>::lowest());
    else return keyOf(-std::numeric_limits<T>::infinity());
}

template <typename T>
std::int64_t highestKey() {
    if constexpr (std::is_integral_v<T>) return keyOf(std::numeric_limits<T>::max());
    else return keyOf(std::numeric_limits<T>::infinity());
}

// From `start` towards `end`, the last key where `holds` is true, given
// that it is true at `start` and, once false, stays false up to `end`.
// Keys are counted as unsigned distances from `start`: the span between
// two keys, the extremes of 64-bit cells among them, need not fit a
// signed 64-bit number.
template <class Holds>
std::int64_t lastHolding(std::int64_t start, std::int64_t end, Holds holds) {
    const bool up = end >= start;
    const auto from = static_cast<std::uint64_t>(start), to = static_cast<std::uint64_t>(end);
    const std::uint64_t span = up ? to - from : from - to;
    const auto at = [&](std::uint64_t d) { return static_cast<std::int64_t>(up ? from + d : from - d); };
    std::uint64_t good = 0;
    std::optional<std::uint64_t> bad;
    // Steps that double find a failing key in a few dozen tries even where
    // the run spans billions of doubles; halving then finds its edge.
    for (std::uint64_t step = 1; good != span; step = step < (std::uint64_t{1} << 62) ? step * 2 : step) {
        const std::uint64_t probe = good + std::min(step, span - good);
        if (!holds(at(probe))) {
            bad = probe;
            break;
        }
        good = probe;
    }
    while (bad && *bad - good > 1) {
        const std::uint64_t middle = good + (*bad - good) / 2;
        (holds(at(middle)) ? good : *bad) = middle;
    }
    return at(good);
}

// The values of T that GDAL's nearly-equal test, in the arithmetic of F,
// matches with `centre`: the run around it, and, where the centre is so
// large that a cell's sum with it overflows, the run of those cells, which
// the test matches too.
template <typename T, typename F>
NoDataRuns nearlyEqualRuns(F centre) {
    const auto value = [](std::int64_t key) { return static_cast<F>(valueAt<T>(key)); };
    const auto matches = [&](std::int64_t key) { return ARE_REAL_EQUAL(value(key), centre); };
    // A value of the other sign is never nearly equal to the centre.
    const std::int64_t zero = keyOf(T{0});
    std::int64_t lowest = centre > 0 ? zero : lowestKey<T>(), highest = centre < 0 ? zero : highestKey<T>();

    // The overflowing run lies at the largest finite values of the centre's sign.
    std::optional<std::pair<std::int64_t, std::int64_t>> overflowing;
    if constexpr (std::is_floating_point_v<T>) {
        const auto overflows = [&](std::int64_t key) {
            const F v = value(key);
            return std::isfinite(v) && std::isinf(v + centre);
        };
        const std::int64_t largestBelow = lowestKey<T>() + 1, largestAbove = highestKey<T>() - 1;
        if (std::isfinite(centre) && centre < 0 && overflows(largestBelow)) {
            overflowing.emplace(largestBelow, lastHolding(largestBelow, zero, overflows));
        } else if (std::isfinite(centre) && centre > 0 && overflows(largestAbove)) {
            overflowing.emplace(lastHolding(largestAbove, zero, overflows), largestAbove);
        }
    }

    // The values of T nearest the centre, below and above it.
    std::optional<std::int64_t> below, above;
    if constexpr (std::is_same_v<T, F>) {
        below = above = keyOf(centre);
    } else {
        const double lo = static_cast<double>(std::numeric_limits<T>::lowest());
        const double hi = static_cast<double>(std::numeric_limits<T>::max());
        if (centre >= lo) below = keyOf(static_cast<T>(std::min(std::floor(centre), hi)));
        if (centre <= hi) above = keyOf(static_cast<T>(std::max(std::ceil(centre), lo)));
    }
    // The search around the centre stops short of the overflowing run: a
    // gap of unmatched values may lie between them.
    if (overflowing && below && *below > overflowing->second) lowest = overflowing->second + 1;
    if (overflowing && above && *above < overflowing->first) highest = overflowing->first - 1;
    const bool downwards = below && matches(*below), upwards = above && matches(*above);

    NoDataRuns runs;
    int n = 0;
    const auto add = [&](std::int64_t from, std::int64_t to) {
        runs.from[n] = static_cast<double>(valueAt<T>(from));
        runs.to[n] = static_cast<double>(valueAt<T>(to));
        ++n;
    };
    if (downwards || upwards) {
        std::int64_t from = downwards ? lastHolding(*below, lowest, matches) : *above;
        std::int64_t to = upwards ? lastHolding(*above, highest, matches) : *below;
        if (overflowing && overflowing->first <= to + 1 && from <= overflowing->second + 1) {
            from = std::min(from, overflowing->first);
            to = std::max(to, overflowing->second);
            overflowing.reset();
        }
        add(from, to);
    }
    if (overflowing) add(overflowing->first, overflowing->second);
    return runs;
}

// Byte, Int16 and UInt16 cells match only a NoData value they hold exactly.
template <typename T>
NoDataRuns exactRun(double noData) {
    NoDataRuns runs;
    if (noData >= std::numeric_limits<T>::lowest() && noData <= std::numeric_limits<T>::max() &&
        static_cast<double>(static_cast<T>(noData)) == noData)
        runs.from[0] = runs.to[0] = noData;
    return runs;
}

// GDAL takes a Float32 NoData value within 1e-10 of the largest float for
// that float (written as text, it is often a little beyond it).
double closeToFloatMax(double v) {
    constexpr double largest = std::numeric_limits<float>::max();
    if (std::fabs(v + largest) < 1e-10 * largest) return -largest;
    if (std::fabs(v - largest) < 1e-10 * largest) return largest;
    return v;
}

// 64-bit whole numbers: GDAL's own extremes are asked which values near
// the NoData value they leave out, a value at a time in a one-cell raster
// held in memory, since their test is GDAL's to keep.
NoDataRuns askedRun(GDALDataType type, double centre) {
    GDALDriver* mem = GetGDALDriverManager()->GetDriverByName("MEM");
    DatasetHandle ds(mem ? mem->Create("", 1, 1, 1, type, nullptr) : nullptr);
    if (!ds) return exactRun<std::int64_t>(centre);
    GDALRasterBand* band = ds->GetRasterBand(1);
    band->SetNoDataValue(centre);
    const std::int64_t lowest = type == GDT_UInt64 ? 0 : std::numeric_limits<std::int64_t>::lowest();
    const std::int64_t highest = std::numeric_limits<std::int64_t>::max();
    const auto matches = [&](std::int64_t key) {
        ErrorCapture quiet;
        if (band->RasterIO(GF_Write, 0, 0, 1, 1, &key, 1, 1, GDT_Int64, 0, 0) != CE_None) return false;
        double mm[2];
        return band->ComputeRasterMinMax(FALSE, mm) != CE_None;
    };
    const double lo = static_cast<double>(lowest), hi = static_cast<double>(highest);
    if (!(centre >= lo && centre <= hi)) return {};
    const auto below = static_cast<std::int64_t>(std::max(lo, std::floor(centre)));
    const auto above = static_cast<std::int64_t>(std::min(std::ceil(centre), std::nextafter(hi, 0.0)));
    const bool downwards = matches(below), upwards = matches(above);
    NoDataRuns runs;
    if (!downwards && !upwards) return runs;
    runs.from[0] = static_cast<double>(downwards ? lastHolding(below, lowest, matches) : above);
    runs.to[0] = static_cast<double>(upwards ? lastHolding(above, highest, matches) : below);
    return runs;
}

}  // namespace

NoDataRuns noDataRuns(GDALRasterBand& band, CellType type, std::optional<double> noData) {
    if (noData && !std::isnan(*noData) && type == CellType::Other &&
        (band.GetRasterDataType() == GDT_Int64 || band.GetRasterDataType() == GDT_UInt64))
        return askedRun(band.GetRasterDataType(), *noData);
    return noDataRuns(type, noData);
}

NoDataRuns noDataRuns(CellType type, std::optional<double> noData) {
    if (!noData || std::isnan(*noData)) return {};
    const double nd = *noData;
    switch (type) {
        case CellType::Byte: return exactRun<std::uint8_t>(nd);
        case CellType::UInt16: return exactRun<std::uint16_t>(nd);
        case CellType::Int16: return exactRun<std::int16_t>(nd);
        case CellType::SignedByte: return nearlyEqualRuns<std::int8_t, double>(nd);
        case CellType::UInt32: return nearlyEqualRuns<std::uint32_t, double>(nd);
        case CellType::Int32: return nearlyEqualRuns<std::int32_t, double>(nd);
        case CellType::Float64: return nearlyEqualRuns<double, double>(nd);
        case CellType::Float32: {
            // A value beyond the floats marks no cell.
            const double v = closeToFloatMax(nd);
            if (!std::isinf(v) && std::fabs(v) > std::numeric_limits<float>::max()) return {};
            return nearlyEqualRuns<float, float>(static_cast<float>(v));
        }
        case CellType::Other: break;
    }
    NoDataRuns runs;
    runs.from[0] = runs.to[0] = nd;
    return runs;
}

namespace {

// The smallest and largest value of one block's cells, NoData and NaN
// left out, in the block's own type: as fast as GDAL's own scan, which
// cannot report its progress.
template <typename T>
void extremesOf(const void* block, int blockWidth, int width, int height, const NoDataRuns& none,
                double& low, double& high) {
    const T* cells = static_cast<const T*>(block);
    const T from0 = static_cast<T>(none.from[0]), to0 = static_cast<T>(none.to[0]);
    const T from1 = static_cast<T>(none.from[1]), to1 = static_cast<T>(none.to[1]);
    // Start beyond every value: an infinity is a value, as in GDAL's scan.
    constexpr bool floating = std::is_floating_point_v<T>;
    constexpr T above = floating ? std::numeric_limits<T>::infinity() : std::numeric_limits<T>::max();
    constexpr T below = floating ? -std::numeric_limits<T>::infinity() : std::numeric_limits<T>::lowest();
    // Cells side by side go to extremes of their own, without a branch, so
    // that the compiler reads a whole vector of cells at once.
    constexpr int kLanes = 64 / sizeof(T);
    T lo[kLanes], hi[kLanes];
    std::fill_n(lo, kLanes, above);
    std::fill_n(hi, kLanes, below);
    const auto take = [&](T v, T& l, T& h) {
        const bool skip = (v != v) | ((v >= from0) & (v <= to0)) | ((v >= from1) & (v <= to1));
        T forLow, forHigh;
        if constexpr (floating) {
            forLow = skip ? above : v;
            forHigh = skip ? below : v;
        } else {
            // Whole numbers take a mask: the compiler turns their choice back into a branch.
            const T mask = static_cast<T>(-static_cast<T>(skip));
            forLow = static_cast<T>((mask & above) | (~mask & v));
            forHigh = static_cast<T>((mask & below) | (~mask & v));
        }
        l = forLow < l ? forLow : l;
        h = forHigh > h ? forHigh : h;
    };
    for (int r = 0; r < height; ++r) {
        const T* row = cells + static_cast<std::size_t>(r) * blockWidth;
        int c = 0;
        for (; c + kLanes <= width; c += kLanes)
            for (int j = 0; j < kLanes; ++j) take(row[c + j], lo[j], hi[j]);
        for (; c < width; ++c) take(row[c], lo[0], hi[0]);
    }
    const T l = *std::min_element(lo, lo + kLanes), h = *std::max_element(hi, hi + kLanes);
    // No value in this block.
    if (l > h) return;
    low = std::min(low, static_cast<double>(l));
    high = std::max(high, static_cast<double>(h));
}

}  // namespace

BlockExtremes extremesFor(CellType type) {
    switch (type) {
        case CellType::Byte: return extremesOf<std::uint8_t>;
        case CellType::SignedByte: return extremesOf<std::int8_t>;
        case CellType::UInt16: return extremesOf<std::uint16_t>;
        case CellType::Int16: return extremesOf<std::int16_t>;
        case CellType::UInt32: return extremesOf<std::uint32_t>;
        case CellType::Int32: return extremesOf<std::int32_t>;
        case CellType::Float32: return extremesOf<float>;
        case CellType::Float64: return extremesOf<double>;
        case CellType::Other: break;
    }
    return nullptr;
}

}  // namespace quor::platform::gis::detail
