#pragma once
// Layers of several datasets, perhaps of several formats, read as one:
// their rows one after the other, each one's geometry as the geometry and
// each field by its name, with the type the layers declare for it.
#include <cstddef>
#include <string>
#include <vector>

#include "platform/gis/gdal_handle.h"

class OGRLayer;

namespace quor::platform::gis {

// One layer of a dataset, opened with the driver's open options; its only
// layer when it names none.
struct LayerSource {
    std::string dataset;
    std::string layer;
    std::vector<std::string> openOptions;  // "KEY=VALUE"
};

// A layer opened for reading, held with its dataset. GisError naming the
// dataset when it cannot be read or has no such layer.
struct OpenLayer {
    DatasetHandle dataset;
    OGRLayer* layer = nullptr;
};
OpenLayer openLayer(const LayerSource& source);

// A field that layer `layer` declares otherwise than layer `other` does:
// another type (GDAL's name of it), or none (an empty name).
struct FieldClash {
    std::size_t layer = 0, other = 0;
    std::string field, declared, otherDeclared;
};

// Every field the layers do not declare alike, against the first layer
// that declares it. Whole numbers of either size are alike; a text format
// (CSV) declares no types, so its fields take any; FlatGeobuf keeps a day
// as a date and time, which is then alike with a date. GisError naming a
// dataset that cannot be read.
std::vector<FieldClash> fieldClashes(const std::vector<LayerSource>& layers);

// The text of a dataset GDAL reads, through a driver of this program's own,
// whose one layer `name` holds the rows of `layers` one after the other in the
// given order: each one's geometry in the first layer's geometry field and each
// field by name, with new ids counted from 0. The layers are copies, each in a
// format of its own, of layers of one format, `declaredIn` (GDAL's name of it):
// each field is declared as those declared it, as far as the copies keep it. A
// copy in that format keeps every declaration, one in FlatGeobuf all but a day,
// kept as a date and time at midnight (a date there when the copied layers were
// shapefiles, which keep no time, or every value is a day); the first of the
// copies that keep most defines the field (its type the one every layer's
// values fit where fieldClashes finds none, its width the widest of theirs). A
// GeoPackage declares the width of a text only. A text format's guesses count
// only where no other format declares the field. The geometry and spatial
// reference of layers that are all alike are the first one's as they are, and
// so are their fields but for those rules.
std::string layersInSequence(const std::vector<LayerSource>& layers, const std::string& name,
                             const std::string& declaredIn);

}  // namespace quor::platform::gis
