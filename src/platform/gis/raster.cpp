#include "platform/gis/raster.h"

#include <gdal_pam.h>
#include <gdal_priv.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/gis/gdal_support.h"
#include "platform/gis/gis_error.h"
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

std::shared_ptr<Raster> Raster::open(const std::string& path) {
    detail::ErrorCapture err;
    detail::AuxiliaryFilesReadable readAux;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) throw GisError("The raster " + path + " does not exist.");
    DatasetHandle ds(
        static_cast<GDALDataset*>(GDALOpenEx(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr)));
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
    r->float32_ = r->dataType_ == GDT_Float32;
    int has = 0;
    const double nd = band->GetNoDataValue(&has);
    r->hasNoData_ = has != 0;
    r->noData_ = nd;
    band->GetBlockSize(&r->blockW_, &r->blockH_);
    if (r->blockW_ <= 0 || r->blockH_ <= 0) throw GisError("The raster " + path + " cannot be read.");
    r->ds_ = std::move(ds);
    return r;
}

Raster::~Raster() {
    // The locked block belongs to the dataset's cache: let it go first.
    releaseBlock();
}

void Raster::releaseBlock() const {
    if (block_) static_cast<GDALRasterBlock*>(block_)->DropLock();
    block_ = nullptr;
    blockData_ = nullptr;
    blockX_ = blockY_ = -1;
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

SpatialReference Raster::spatialReference() const { return SpatialReference::fromOgr(ds_->GetSpatialRef()); }

std::optional<double> Raster::noData() const {
    if (!hasNoData_) return std::nullopt;
    return noData_;
}

std::pair<double, double> Raster::minMax() const {
    // A large raster takes seconds to read whole: once is enough.
    if (minMax_) return *minMax_;
    detail::ErrorCapture err;
    double mm[2] = {0, 0};
    GDALRasterBand* band = ds_->GetRasterBand(1);
    if (band->ComputeRasterMinMax(FALSE, mm) != CE_None)
        throw GisError(err.message("The statistics of " + path_ + " cannot be computed."));
    minMax_.emplace(mm[0], mm[1]);
    return *minMax_;
}

PixelValue Raster::identify(double x, double y) const {
    PixelValue out;
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
    if (!(fc >= 0 && fr >= 0 && fc < width_ && fr < height_)) return out;  // also catches NaN
    const int col = static_cast<int>(fc), row = static_cast<int>(fr);
    const int bx = col / blockW_, by = row / blockH_;
    if (bx != blockX_ || by != blockY_) {
        releaseBlock();
        detail::ErrorCapture err;
        GDALRasterBlock* b = ds_->GetRasterBand(1)->GetLockedBlockRef(bx, by);
        if (!b) throw GisError(err.message("The raster " + path_ + " cannot be read."));
        block_ = b;
        blockData_ = b->GetDataRef();
        blockX_ = bx;
        blockY_ = by;
    }
    const std::size_t off = static_cast<std::size_t>(row - by * blockH_) * static_cast<std::size_t>(blockW_) +
                            static_cast<std::size_t>(col - bx * blockW_);
    if (float32_) {
        const float f = static_cast<const float*>(blockData_)[off];
        // An infinity is no depth either: it counts as NoData.
        if (!std::isfinite(f) || (hasNoData_ && f == static_cast<float>(noData_))) {
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
            auto& slot = conversions_[(bits * 2654435761u) >> (32 - kConversionBits)];
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
    switch (dataType_) {
        case GDT_Byte: v = static_cast<const std::uint8_t*>(blockData_)[off]; break;
        case GDT_Int16: v = static_cast<const std::int16_t*>(blockData_)[off]; break;
        case GDT_UInt16: v = static_cast<const std::uint16_t*>(blockData_)[off]; break;
        case GDT_Int32: v = static_cast<const std::int32_t*>(blockData_)[off]; break;
        case GDT_UInt32: v = static_cast<const std::uint32_t*>(blockData_)[off]; break;
        case GDT_Float64: v = static_cast<const double*>(blockData_)[off]; break;
        default: {
            // Rare types: let GDAL convert the one pixel.
            double d = 0;
            GDALCopyWords(static_cast<const std::uint8_t*>(blockData_) + off * GDALGetDataTypeSizeBytes(
                                                                                 static_cast<GDALDataType>(dataType_)),
                          static_cast<GDALDataType>(dataType_), 0, &d, GDT_Float64, 0, 1);
            v = d;
        }
    }
    if (!std::isfinite(v) || (hasNoData_ && v == noData_)) {
        out.kind = PixelValue::Kind::NoData;
        return out;
    }
    out.kind = PixelValue::Kind::Value;
    out.value = v;
    return out;
}

}  // namespace quor::platform::gis
