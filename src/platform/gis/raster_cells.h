#pragma once
// Band 1's cells as GDAL reads them: in their own type, the signed bytes
// GDAL 3.6 marks on a Byte band (PIXELTYPE=SIGNEDBYTE) included, and with
// the cells GDAL's exact statistics leave out as NoData. The raster's
// extremes and identify both judge a cell by this, so that every sample
// lies within the extremes the depth sign was taken from. Internal to the
// GIS layer.
#include <optional>

class GDALRasterBand;

namespace quor::platform::gis::detail {

// The cell types read here one by one; Other is converted by GDAL.
enum class CellType { Byte, SignedByte, UInt16, Int16, UInt32, Int32, Float32, Float64, Other };

CellType cellTypeOf(GDALRasterBand& band);

// The cell values GDAL takes for NoData, NaN aside (never a value): at
// most two runs of values of the cell type, each exact in a double. GDAL
// compares a cell with the NoData value in the cell's own type: Byte, Int16
// and UInt16 exactly, the others as nearly equal (within a few units in
// the last place, and, for a NoData value near the largest of its type,
// every cell whose sum with it overflows).
struct NoDataRuns {
    // An empty run runs from 1 down to 0, values of every type.
    double from[2] = {1, 1};
    double to[2] = {0, 0};

    bool holds(double v) const { return (v >= from[0] && v <= to[0]) || (v >= from[1] && v <= to[1]); }
};

NoDataRuns noDataRuns(CellType type, std::optional<double> noData);
// The same for the band's own cell type, 64-bit whole numbers included.
NoDataRuns noDataRuns(GDALRasterBand& band, CellType type, std::optional<double> noData);

// Takes the smallest and largest value of a block's cells (`width` by
// `height` of a block `blockWidth` wide), NoData and NaN left out, into
// `low` and `high`; both stay as they were when no cell holds a value.
using BlockExtremes = void (*)(const void* block, int blockWidth, int width, int height, const NoDataRuns& none,
                               double& low, double& high);
// The scan for cells of this type; null for Other.
BlockExtremes extremesFor(CellType type);

}  // namespace quor::platform::gis::detail
