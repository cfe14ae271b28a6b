#pragma once
// What a format would not keep of a layer's fields and values as GDAL
// writes them into it: GDAL cuts, renames or rounds some of them without
// failing, saying so only in warnings no one reads. Of the formats the
// program writes, a shapefile is the one that does; a GeoPackage, a
// FlatGeobuf and a CSV file keep every name and every value as a digest
// of rows compares them (rows_digest.h).
#include <optional>
#include <string>
#include <vector>

#include "platform/gis/layer_sequence.h"
#include "platform/gis/vector_copy.h"

namespace quor::platform::gis {

// A field the format would change, and how, in words that follow "the
// field NAME": "holds 1 text longer than the 254 bytes a shapefile keeps
// of one (the longest has 303 bytes)".
struct UnkeptField {
    std::string field;
    std::string why;
};

// Each field of the rows of `layers`, read one after the other as
// layersInSequence() reads them (copies of layers of the format GDAL names
// `declaredIn`; of a single layer only the rows of `range`, when given), whose name, kind or values GDAL's driver `driver`
// would not keep as they are: for a shapefile, a name of more than 10
// bytes or one that differs from another only in letter case; a kind it
// has no field for (binary, lists, times of day alone); a text of more
// than 254 bytes; a whole number of more than 18 characters, which it
// would read back as an approximate real number; a real number its field's
// width and decimals would change beyond its 15 significant digits; a date
// with a time of day or a zone, of which it keeps the day. Those of names
// and kinds first, then those of values, each in the order of the fields;
// a field with several once for each. GisError when a layer cannot be read.
std::vector<UnkeptField> unkeptFields(const std::string& driver, const std::vector<LayerSource>& layers,
                                      const std::optional<FeatureRange>& range = {},
                                      const std::string& declaredIn = {});

}  // namespace quor::platform::gis
