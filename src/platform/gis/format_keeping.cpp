#include "platform/gis/format_keeping.h"

#include <cpl_conv.h>
#include <cpl_string.h>
#include <cpl_vsi.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <limits>

#include "platform/gis/gdal_support.h"
#include "platform/gis/gis_error.h"

namespace quor::platform::gis {

namespace {

constexpr std::size_t kNameBytes = 10;   // of a field's name in a dBASE table
constexpr std::size_t kTextBytes = 254;  // of a text in a dBASE table
// GDAL widens a whole number's field to its longest value, and reads a
// field wider than this back as real numbers.
constexpr std::size_t kWholeChars = 18;
// The width and decimals GDAL gives a real number's field declared without them.
constexpr int kRealWidth = 24, kRealDecimals = 15;

std::string counted(std::int64_t n, const std::string& one, const std::string& many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// A number to 15 significant digits, as every format keeps a double.
std::string significant(double v) { return CPLString().Printf("%.15g", v); }

// What a shapefile's field of `width` characters with `decimals` gives back
// of `v`: GDAL writes it with as many decimals and keeps as many characters
// as the field is wide.
double asShapefileKeeps(double v, int width, int decimals) {
    CPLString text;
    text.Printf("%.*f", decimals, v);
    if (width > 0 && text.size() > static_cast<std::size_t>(width)) text.resize(static_cast<std::size_t>(width));
    return CPLStrtod(text.c_str(), nullptr);
}

// One field of the layer, as a shapefile would take it, and the values of
// it seen so far that a shapefile would change.
class ShapefileField {
public:
    explicit ShapefileField(const OGRFieldDefn& defn) : type_(defn.GetType()) {
        if (type_ == OFTReal) {
            width_ = defn.GetWidth() > 0 ? defn.GetWidth() : kRealWidth;
            decimals_ = defn.GetWidth() > 0 ? defn.GetPrecision() : kRealDecimals;
        }
    }

    bool valuesMatter() const {
        return type_ == OFTString || type_ == OFTInteger64 || type_ == OFTReal || type_ == OFTDateTime;
    }

    void see(OGRFeature& f, int i) {
        if (!f.IsFieldSetAndNotNull(i)) return;
        switch (type_) {
            case OFTString: {
                const std::size_t bytes = std::strlen(f.GetFieldAsString(i));
                if (bytes > kTextBytes) lost(f.GetFieldAsString(i), bytes);
                return;
            }
            case OFTInteger64: {
                const std::string spelt = std::to_string(f.GetFieldAsInteger64(i));
                if (spelt.size() > kWholeChars) lost(spelt);
                return;
            }
            case OFTReal: {
                const double v = f.GetFieldAsDouble(i);
                const double back = asShapefileKeeps(v, width_, decimals_);
                if (significant(back) != significant(v)) lost(significant(v) + " would read back as " + significant(back));
                return;
            }
            case OFTDateTime: {
                int y = 0, mo = 0, d = 0, h = 0, mi = 0, tz = 0;
                float s = 0;
                if (f.GetFieldAsDateTime(i, &y, &mo, &d, &h, &mi, &s, &tz) && (h != 0 || mi != 0 || s != 0 || tz > 1))
                    lost(f.GetFieldAsString(i));
                return;
            }
            default: return;
        }
    }

    // Why the values seen would not be kept; empty when they would.
    std::string why() const {
        if (lost_ == 0) return {};
        switch (type_) {
            case OFTString:
                return "holds " + counted(lost_, "text", "texts") + " longer than the " + std::to_string(kTextBytes) +
                       " bytes a shapefile keeps of one (the longest has " + std::to_string(longest_) + " bytes)";
            case OFTInteger64:
                return "holds " + counted(lost_, "whole number", "whole numbers") + " of more than " +
                       std::to_string(kWholeChars) + " characters (" + example_ +
                       "), which a shapefile reads back as approximate real numbers";
            case OFTReal:
                return "holds " + counted(lost_, "number", "numbers") + " that a shapefile's field of " +
                       std::to_string(width_) + " characters with " + std::to_string(decimals_) +
                       " decimals would change (" + example_ + ")";
            default:
                return "holds " + counted(lost_, "date", "dates") + " with a time of day or a time zone (" + example_ +
                       "), of which a shapefile keeps the day only";
        }
    }

private:
    void lost(const std::string& example, std::size_t bytes = 0) {
        if (lost_++ == 0) example_ = example;
        longest_ = std::max(longest_, bytes);
    }

    OGRFieldType type_;
    int width_ = 0, decimals_ = 0;
    std::int64_t lost_ = 0;
    std::string example_;
    std::size_t longest_ = 0;
};

bool shapefileHasKind(OGRFieldType t) {
    return t == OFTInteger || t == OFTInteger64 || t == OFTReal || t == OFTString || t == OFTDate || t == OFTDateTime;
}

std::vector<UnkeptField> unkeptInShapefile(OGRLayer& layer, const std::string& shown,
                                           const std::optional<FeatureRange>& range) {
    OGRFeatureDefn& defn = *layer.GetLayerDefn();
    std::vector<UnkeptField> unkept;
    std::vector<ShapefileField> fields;
    std::vector<int> valued;  // the fields whose values may be changed
    for (int i = 0; i < defn.GetFieldCount(); ++i) {
        const OGRFieldDefn& field = *defn.GetFieldDefn(i);
        const std::string name = field.GetNameRef();
        if (name.size() > kNameBytes)
            unkept.push_back({name, "has a name of " + std::to_string(name.size()) + " bytes, longer than the " +
                                        std::to_string(kNameBytes) + " a shapefile keeps"});
        for (int j = 0; j < i; ++j)
            if (EQUAL(defn.GetFieldDefn(j)->GetNameRef(), name.c_str())) {
                unkept.push_back({name, "has the name of the field " + std::string(defn.GetFieldDefn(j)->GetNameRef()) +
                                            " but for letter case, which a shapefile does not tell apart"});
                break;
            }
        if (!shapefileHasKind(field.GetType()))
            unkept.push_back({name, std::string("is of a kind (") + OGRFieldDefn::GetFieldTypeName(field.GetType()) +
                                        ") a shapefile has no field for"});
        fields.emplace_back(field);
        if (fields.back().valuesMatter()) valued.push_back(i);
    }
    if (valued.empty()) return unkept;
    const std::int64_t first = range ? range->first : 0;
    const std::int64_t end = range ? range->first + range->count : std::numeric_limits<std::int64_t>::max();
    detail::ErrorCapture err;
    layer.ResetReading();
    for (std::int64_t at = 0; at < end; ++at) {
        OGRFeatureUniquePtr f{layer.GetNextFeature()};
        if (!f) break;
        if (at < first) continue;
        for (const int i : valued) fields[static_cast<std::size_t>(i)].see(*f, i);
    }
    layer.ResetReading();
    if (err.failed()) throw GisError(err.message("The layer " + std::string(layer.GetName()) + " of " + shown +
                                                 " cannot be read."));
    for (const int i : valued)
        if (std::string why = fields[static_cast<std::size_t>(i)].why(); !why.empty())
            unkept.push_back({defn.GetFieldDefn(i)->GetNameRef(), std::move(why)});
    return unkept;
}

// A file in GDAL's memory, gone with this.
class MemoryFile {
public:
    explicit MemoryFile(const std::string& text) {
        static std::atomic<unsigned> serial{0};
        path_ = "/vsimem/quor-keeping-" + std::to_string(serial++) + ".xml";
        VSILFILE* f = VSIFOpenL(path_.c_str(), "wb");
        const bool written = f && VSIFWriteL(text.data(), 1, text.size(), f) == text.size();
        if (f) VSIFCloseL(f);
        if (!written) throw GisError("The layers cannot be read in sequence.");
    }
    ~MemoryFile() { VSIUnlink(path_.c_str()); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace

std::vector<UnkeptField> unkeptFields(const std::string& driver, const std::vector<LayerSource>& layers,
                                      const std::optional<FeatureRange>& range, const std::string& declaredIn) {
    if (driver != "ESRI Shapefile" || layers.empty()) return {};
    if (layers.size() == 1) {
        const OpenLayer open = openLayer(layers.front());
        return unkeptInShapefile(*open.layer, layers.front().dataset, range);
    }
    const MemoryFile sequence(layersInSequence(layers, layers.front().layer, declaredIn));
    const OpenLayer open = openLayer({sequence.path(), "", {}});
    return unkeptInShapefile(*open.layer, layers.front().dataset, std::nullopt);
}

}  // namespace quor::platform::gis
