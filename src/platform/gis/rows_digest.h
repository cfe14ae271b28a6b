#pragma once
// A digest of a layer's rows that tells whether they hold the same values,
// whatever format holds them: each value is taken as every format that can
// hold it gives it back, so that rows copied into another format digest
// alike, and rows changed in any value do not.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/gis/layer_sequence.h"

namespace quor::platform::gis {

// What to read of a layer's rows besides the digest of them all.
struct RowsAsked {
    // Sizes of consecutive runs of rows from the first, each digested on
    // its own as a layer of those rows alone is; a run the layer holds in
    // part is digested as far as it goes.
    std::vector<std::int64_t> ranges;
    bool ids = false;  // each row's id is part of it
    int threads = 1;   // the rows are spelt on as many threads
};

// A layer's rows as read through, in their order.
struct RowsRead {
    std::int64_t rows = 0;
    std::int64_t withoutGeometry = 0;
    std::string digest;                // SHA-256 (hex) of every row
    std::vector<std::string> digests;  // of each range asked for, in order
};

// Reads the rows of `layer` (its only one when it names none) and takes
// the digest of their values: every field, in the order of their names,
// and the geometry. A number is taken as the double it is (a whole one
// whatever the field's type, and a text that spells a whole number as a
// whole number is spelt as that number, as a CSV file gives back its whole
// numbers), any other text as it is, an empty text as no value, a date and
// time at midnight of no zone as its day (as a format without dates keeps
// one). GisError when the layer cannot be read.
RowsRead readRows(const LayerSource& layer, const RowsAsked& asked = {});

// Where the rows of `layer` first differ from those of `other` from its
// row `first` on (from 0), each value taken as readRows takes it: the
// row's place among `layer`'s, the field (empty for the geometry) and the
// value there as each layer holds it ("no value", a field "missing", a
// row "no row"; a number in its shortest exact form, a point as "x y").
struct RowDifference {
    std::int64_t row = 0;
    std::string field;
    std::string value, otherValue;
};
// Nothing when `other` holds every row of `layer` so. GisError when either
// cannot be read.
std::optional<RowDifference> firstDifference(const LayerSource& layer, const LayerSource& other, std::int64_t first);

}  // namespace quor::platform::gis
