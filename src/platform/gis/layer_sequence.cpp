#include "platform/gis/layer_sequence.h"

#include <cpl_minixml.h>
#include <cpl_string.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/gis/gdal_handle.h"
#include "platform/gis/gdal_support.h"
#include "platform/gis/gis_error.h"

namespace quor::platform::gis {

namespace {

constexpr const char* kDriver = "QuorLayersInSequence";
constexpr const char* kRoot = "QuorLayersInSequence";

struct DefnRelease {
    void operator()(OGRFeatureDefn* d) const noexcept {
        if (d) d->Release();
    }
};
using DefnHandle = std::unique_ptr<OGRFeatureDefn, DefnRelease>;

// What a layer declares of itself, read once and closed.
struct Declared {
    LayerSource source;
    std::string driver;  // GDAL's name of its format
    DefnHandle defn;
    bool typed = true;   // a text format's types are guessed from its values, not declared
    bool noDate = false; // its format keeps a day as a date and time
    bool fastCount = false, utf8 = false;
    GIntBig count = 0;
};

Declared declaredBy(const LayerSource& source) {
    const OpenLayer open = openLayer(source);
    OGRLayer& l = *open.layer;
    GDALDriver* format = open.dataset->GetDriver();
    Declared d;
    d.source = source;
    d.driver = format ? format->GetDescription() : "";
    d.defn.reset(l.GetLayerDefn()->Clone());
    d.defn->Reference();
    d.typed = d.driver != "CSV";
    d.noDate = d.driver == "FlatGeobuf";
    d.fastCount = l.TestCapability(OLCFastFeatureCount);
    d.count = d.fastCount ? l.GetFeatureCount(FALSE) : -1;
    d.utf8 = l.TestCapability(OLCStringsAsUTF8);
    return d;
}

std::vector<Declared> declaredBy(const std::vector<LayerSource>& layers) {
    std::vector<Declared> all;
    for (const auto& l : layers) all.push_back(declaredBy(l));
    return all;
}

bool wholeNumber(OGRFieldType t) { return t == OFTInteger || t == OFTInteger64; }

// One layer's declaration of a field.
struct Declaration {
    OGRFieldType type;
    const Declared* by;
    const OGRFieldDefn* field;
    bool dayAsDateTime() const { return by->noDate && type == OFTDateTime; }
};

bool alike(const Declaration& a, const Declaration& b) {
    if (!a.by->typed || !b.by->typed || a.type == b.type) return true;
    if (wholeNumber(a.type) && wholeNumber(b.type)) return true;
    return (a.type == OFTDate && b.dayAsDateTime()) || (b.type == OFTDate && a.dayAsDateTime());
}

// The declaration the others are held against: the first that is typed
// and not a day as a date and time, else the first.
const Declaration& reference(const std::vector<Declaration>& all) {
    for (const auto& d : all)
        if (d.by->typed && !d.dayAsDateTime()) return d;
    for (const auto& d : all)
        if (d.by->typed) return d;
    return all.front();
}

// The type every declaration's values fit: the declared one; a day's where
// a format keeps it as a date and time (`days`); the larger of whole
// numbers; and where a text format guessed, the widest number or else text.
OGRFieldType fittingType(const std::vector<Declaration>& all, bool days) {
    const auto rank = [](OGRFieldType t) { return t == OFTInteger ? 0 : t == OFTInteger64 ? 1 : t == OFTReal ? 2 : -1; };
    std::optional<OGRFieldType> type;
    for (const auto& d : all) {
        const OGRFieldType t = d.dayAsDateTime() && days ? OFTDate : d.type;
        if (!type || *type == t) {
            type = t;
        } else if (rank(*type) >= 0 && rank(t) >= 0) {
            type = rank(t) > rank(*type) ? t : *type;
        } else {
            type = OFTString;
        }
    }
    return *type;
}

// A field's declarations, each with the place of the layer that made it.
using Declarations = std::vector<std::pair<std::size_t, Declaration>>;

// Each field's declarations by the layers that have it, in the order of
// the first layer's fields and then of the fields it lacks.
std::vector<std::pair<std::string, Declarations>> fieldsOf(const std::vector<Declared>& layers) {
    std::vector<std::pair<std::string, Declarations>> fields;
    for (std::size_t k = 0; k < layers.size(); ++k) {
        const OGRFeatureDefn& defn = *layers[k].defn;
        for (int i = 0; i < defn.GetFieldCount(); ++i) {
            const OGRFieldDefn& f = *defn.GetFieldDefn(i);
            auto it = std::find_if(fields.begin(), fields.end(),
                                   [&f](const auto& field) { return EQUAL(field.first.c_str(), f.GetNameRef()); });
            if (it == fields.end()) it = fields.insert(fields.end(), {f.GetNameRef(), {}});
            it->second.emplace_back(k, Declaration{f.GetType(), &layers[k], &f});
        }
    }
    return fields;
}

// Whether every value of field `name` of the layer is a day as a date and
// time (dayAsDateTime): only the field is read.
bool onlyDays(const LayerSource& source, const std::string& name) {
    const OpenLayer open = openLayer(source);
    OGRLayer& l = *open.layer;
    const OGRFeatureDefn& defn = *l.GetLayerDefn();
    const int field = defn.GetFieldIndex(name.c_str());
    if (field < 0) return false;
    CPLStringList ignored;
    for (int i = 0; i < defn.GetFieldCount(); ++i)
        if (i != field) ignored.AddString(defn.GetFieldDefn(i)->GetNameRef());
    ignored.AddString("OGR_GEOMETRY");
    l.SetIgnoredFields(const_cast<const char**>(ignored.List()));
    detail::ErrorCapture err;
    int year = 0, month = 0, day = 0;
    l.ResetReading();
    while (OGRFeatureUniquePtr f{l.GetNextFeature()})
        if (f->IsFieldSetAndNotNull(field) && !detail::dayAsDateTime(*f, field, year, month, day)) return false;
    return !err.failed();
}

// How much of the declarations of the layer it was copied from a layer
// keeps, the copied one's format being `declaredIn`: all of them in that
// format (0); all but a day, kept as a date and time, in FlatGeobuf (1);
// what its format can declare in another (2); a text format's guesses
// from its values (3).
int keeping(const Declared& d, const std::string& declaredIn) {
    return d.driver == declaredIn ? 0 : d.noDate ? 1 : d.typed ? 2 : 3;
}

// A field's definition as the layer the layers were copied from declared
// it (in `declaredIn`): that of the layer that keeps most of it, its type
// the one every layer's values fit where they differ, its width the
// widest of those layers'.
std::unique_ptr<OGRFieldDefn> fittingField(const std::string& name, const Declarations& declarations,
                                           const std::string& declaredIn) {
    // A text format only guesses: its declarations count where no other
    // layer declares the field, and then an empty text is no value's guess
    // and an unquoted whole number is a real one (the text format's writer
    // quotes its whole-number fields, and they read back as texts).
    std::vector<Declaration> told;
    for (const auto& [k, d] : declarations)
        if (d.by->typed) told.push_back(d);
    if (told.empty()) {
        for (const auto& [k, d] : declarations)
            if (d.type != OFTString || d.field->GetWidth() > 0)
                told.push_back({wholeNumber(d.type) ? OFTReal : d.type, d.by, d.field});
        if (told.empty()) told.push_back(declarations.front().second);
    }
    int most = 3;
    for (const auto& d : told) most = std::min(most, keeping(*d.by, declaredIn));
    std::vector<Declaration> kept;
    for (const auto& d : told)
        if (keeping(*d.by, declaredIn) == most) kept.push_back(d);

    auto made = std::make_unique<OGRFieldDefn>(kept.front().field);
    OGRFieldDefn& field = *made;
    int whole = 0, decimals = 0;
    bool unbounded = false, sameWidth = true, sameSubType = true;
    for (const auto& d : kept) {
        const OGRFieldDefn& f = *d.field;
        unbounded = unbounded || f.GetWidth() == 0;
        whole = std::max(whole, f.GetWidth() - f.GetPrecision());
        decimals = std::max(decimals, f.GetPrecision());
        sameWidth = sameWidth && f.GetWidth() == field.GetWidth() && f.GetPrecision() == field.GetPrecision();
        sameSubType = sameSubType && f.GetType() == field.GetType() && f.GetSubType() == field.GetSubType();
    }
    // A day that FlatGeobuf keeps as a date and time: a date wherever
    // another declares it so; where none does, when the layers were copied
    // from a shapefile's dates (which keep no time), or when every value
    // is a day.
    const Declaration& ref = reference(told);
    bool days = ref.type == OFTDate;
    if (ref.dayAsDateTime())
        days = declaredIn == "ESRI Shapefile" || std::all_of(told.begin(), told.end(), [&name](const Declaration& d) {
                   return onlyDays(d.by->source, name);
               });
    const OGRFieldType type = fittingType(told, days);
    if (!sameSubType || type != field.GetType()) {
        field.SetSubType(OFSTNone);
        field.SetType(type);
    }
    if (!sameWidth) {
        field.SetWidth(unbounded ? 0 : whole + decimals);
        field.SetPrecision(unbounded ? 0 : decimals);
    }
    // A GeoPackage declares the width of a text only, whatever another
    // format made up for the others.
    if (most >= 2 && declaredIn == "GPKG" && type != OFTString) {
        field.SetWidth(0);
        field.SetPrecision(0);
    }
    return made;
}

// Rows made ahead on a thread of their own, a batch at a time, while the
// caller takes the rows before them (GDAL writing them elsewhere).
class ReadAhead {
public:
    // `next` makes the next row, or nothing at the end; it runs on the
    // thread, where GDAL's errors are captured for the caller.
    explicit ReadAhead(std::function<OGRFeature*()> next) : thread_([this, next = std::move(next)] { run(next); }) {}
    ~ReadAhead() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next row; nothing at the end, where `failure` is GDAL's last
    // error on the thread, if any.
    OGRFeature* take(std::string& failure) {
        if (taken_ == batch_.size()) {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return !ready_.empty() || done_; });
            if (ready_.empty()) {
                failure = failure_;
                return nullptr;
            }
            batch_ = std::move(ready_.front());
            ready_.pop_front();
            taken_ = 0;
            changed_.notify_all();
        }
        return batch_[taken_++].release();
    }

private:
    using Batch = std::vector<OGRFeatureUniquePtr>;
    static constexpr std::size_t kBatch = 256, kBatchesAhead = 4;

    void run(const std::function<OGRFeature*()>& next) {
        detail::ErrorCapture err;
        for (bool more = true; more;) {
            Batch batch;
            while (more && batch.size() < kBatch) {
                if (OGRFeature* f = next())
                    batch.emplace_back(f);
                else
                    more = false;
            }
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return ready_.size() < kBatchesAhead || stop_; });
            if (stop_) return;
            if (!batch.empty()) ready_.push_back(std::move(batch));
            if (!more) {
                failure_ = err.failed() ? err.message("") : "";
                done_ = true;
            }
            changed_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> ready_;         // guarded by mutex_
    bool done_ = false, stop_ = false;  // guarded by mutex_
    std::string failure_;             // guarded by mutex_
    Batch batch_;                     // the caller's
    std::size_t taken_ = 0;
    std::thread thread_;  // last: it starts once the rest is made
};

// The rows of the layers one after the other, as the layer of their
// fields fitted together, made ahead while GDAL takes the ones before.
class LayersInSequence final : public OGRLayer {
public:
    LayersInSequence(std::vector<LayerSource> layers, const std::string& name, const std::string& declaredIn)
        : layers_(std::move(layers)), declared_(declaredBy(layers_)) {
        if (layers_.empty()) throw GisError("No layers to read in sequence.");
        defn_ = new OGRFeatureDefn(name.c_str());
        defn_->Reference();
        SetDescription(name.c_str());
        const OGRFeatureDefn& first = *declared_.front().defn;
        defn_->SetGeomType(wkbNone);
        if (first.GetGeomFieldCount() > 0) {
            OGRGeomFieldDefn geometry(first.GetGeomFieldDefn(0));
            for (const auto& d : declared_) {
                const OGRGeomFieldDefn* other = d.defn->GetGeomFieldCount() > 0 ? d.defn->GetGeomFieldDefn(0) : nullptr;
                if (!other || other->GetType() != geometry.GetType()) geometry.SetType(wkbUnknown);
                // A shapefile's geometry has no name: the first layer's that has one.
                if (other && !*geometry.GetNameRef()) geometry.SetName(other->GetNameRef());
            }
            defn_->AddGeomFieldDefn(&geometry);
        }
        for (const auto& [fieldName, declarations] : fieldsOf(declared_))
            defn_->AddFieldDefn(fittingField(fieldName, declarations, declaredIn).get());
        for (const auto& d : declared_) {
            std::vector<int> map;
            for (int i = 0; i < d.defn->GetFieldCount(); ++i)
                map.push_back(defn_->GetFieldIndex(d.defn->GetFieldDefn(i)->GetNameRef()));
            maps_.push_back(std::move(map));
            fastCount_ = fastCount_ && d.fastCount;
            utf8_ = utf8_ && d.utf8;
        }
    }
    ~LayersInSequence() override {
        ahead_.reset();
        defn_->Release();
    }

    OGRFeatureDefn* GetLayerDefn() override { return defn_; }

    void ResetReading() override {
        ahead_.reset();
        reading_.reset();
        next_ = 0;
        fid_ = 0;
    }

    OGRFeature* GetNextFeature() override {
        if (!ahead_) ahead_.emplace([this] { return nextOfAny(); });
        std::string failure;
        while (OGRFeature* f = ahead_->take(failure)) {
            if ((!m_poFilterGeom || FilterGeometry(f->GetGeomFieldRef(m_iGeomFieldFilter))) &&
                (!m_poAttrQuery || m_poAttrQuery->Evaluate(f)))
                return f;
            delete f;
        }
        if (!failure.empty()) CPLError(CE_Failure, CPLE_AppDefined, "%s", failure.c_str());
        return nullptr;
    }

    GIntBig GetFeatureCount(int force) override {
        if (!TestCapability(OLCFastFeatureCount)) return OGRLayer::GetFeatureCount(force);
        GIntBig count = 0;
        for (const auto& d : declared_) count += d.count;
        return count;
    }

    int TestCapability(const char* cap) override {
        if (EQUAL(cap, OLCFastFeatureCount)) return fastCount_ && !m_poFilterGeom && !m_poAttrQuery;
        if (EQUAL(cap, OLCStringsAsUTF8)) return utf8_;
        return FALSE;
    }

private:
    // The next row of the layers, whichever holds it, as a row of this layer.
    OGRFeature* nextOfAny() {
        for (;;) {
            if (!reading_) {
                if (next_ >= layers_.size()) return nullptr;
                OpenLayer open;
                try {
                    open = openLayer(layers_[next_]);
                } catch (const std::exception& e) {
                    // GDAL, which reads this layer, hears of a failure as an error.
                    CPLError(CE_Failure, CPLE_OpenFailed, "%s", e.what());
                    return nullptr;
                }
                reading_ = std::move(open.dataset);
                layer_ = open.layer;
                layer_->ResetReading();
                map_ = &maps_[next_++];
            }
            OGRFeatureUniquePtr in(layer_->GetNextFeature());
            if (!in) {
                reading_.reset();
                continue;
            }
            auto out = std::make_unique<OGRFeature>(defn_);
            out->SetFieldsFrom(in.get(), map_->data(), TRUE);
            if (defn_->GetGeomFieldCount() > 0 && in->GetGeomFieldCount() > 0)
                if (OGRGeometry* g = in->StealGeometry(0)) {
                    g->assignSpatialReference(defn_->GetGeomFieldDefn(0)->GetSpatialRef());
                    out->SetGeomFieldDirectly(0, g);
                }
            out->SetFID(fid_++);
            return out.release();
        }
    }

    std::vector<LayerSource> layers_;
    std::vector<Declared> declared_;
    std::vector<std::vector<int>> maps_;  // each layer's fields' places in this one
    OGRFeatureDefn* defn_ = nullptr;
    bool fastCount_ = true, utf8_ = true;
    DatasetHandle reading_;
    OGRLayer* layer_ = nullptr;
    const std::vector<int>* map_ = nullptr;
    std::size_t next_ = 0;
    GIntBig fid_ = 0;
    std::optional<ReadAhead> ahead_;  // last: its thread reads the members above
};

class SequenceDataset final : public GDALDataset {
public:
    explicit SequenceDataset(std::unique_ptr<LayersInSequence> layer) : layer_(std::move(layer)) {}
    int GetLayerCount() override { return 1; }
    OGRLayer* GetLayer(int i) override { return i == 0 ? layer_.get() : nullptr; }

private:
    std::unique_ptr<LayersInSequence> layer_;
};

int identify(GDALOpenInfo* info) {
    return info->nHeaderBytes > 0 &&
           STARTS_WITH(reinterpret_cast<const char*>(info->pabyHeader), (std::string("<") + kRoot).c_str());
}

GDALDataset* open(GDALOpenInfo* info) {
    if (!identify(info) || info->eAccess != GA_ReadOnly) return nullptr;
    try {
        const CPLXMLTreeCloser tree(CPLParseXMLFile(info->pszFilename));
        const CPLXMLNode* root = tree ? CPLGetXMLNode(tree.get(), (std::string("=") + kRoot).c_str()) : nullptr;
        if (!root) return nullptr;
        std::vector<LayerSource> layers;
        for (const CPLXMLNode* n = root->psChild; n; n = n->psNext) {
            if (n->eType != CXT_Element || !EQUAL(n->pszValue, "Layer")) continue;
            LayerSource l{CPLGetXMLValue(n, "dataset", ""), CPLGetXMLValue(n, "layer", ""), {}};
            for (const CPLXMLNode* o = n->psChild; o; o = o->psNext)
                if (o->eType == CXT_Element && EQUAL(o->pszValue, "OpenOption"))
                    l.openOptions.emplace_back(CPLGetXMLValue(o, nullptr, ""));
            layers.push_back(std::move(l));
        }
        return new SequenceDataset(
            std::make_unique<LayersInSequence>(std::move(layers), CPLGetXMLValue(root, "name", ""),
                                               CPLGetXMLValue(root, "declaredIn", "")));
    } catch (const std::exception& e) {
        CPLError(CE_Failure, CPLE_OpenFailed, "%s", e.what());
        return nullptr;
    }
}

void registerDriver() {
    static std::once_flag once;
    std::call_once(once, [] {
        detail::ensureGdal();
        auto* driver = new GDALDriver();
        driver->SetDescription(kDriver);
        driver->SetMetadataItem(GDAL_DCAP_VECTOR, "YES");
        driver->pfnIdentify = identify;
        driver->pfnOpen = open;
        GetGDALDriverManager()->RegisterDriver(driver);
    });
}

}  // namespace

OpenLayer openLayer(const LayerSource& source) {
    detail::ensureGdal();
    detail::ErrorCapture err;
    CPLStringList options;
    for (const auto& option : source.openOptions) options.AddString(option.c_str());
    OpenLayer open;
    open.dataset.reset(GDALDataset::Open(source.dataset.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr,
                                         options.List()));
    if (!open.dataset) throw GisError(err.message("The dataset " + source.dataset + " cannot be read."));
    GDALDataset& ds = *open.dataset;
    open.layer = source.layer.empty() && ds.GetLayerCount() == 1 ? ds.GetLayer(0) : ds.GetLayerByName(source.layer.c_str());
    if (!open.layer) throw GisError("The dataset " + source.dataset + " has no layer " + source.layer + ".");
    return open;
}

std::vector<FieldClash> fieldClashes(const std::vector<LayerSource>& layers) {
    const std::vector<Declared> declared = declaredBy(layers);
    std::vector<FieldClash> clashes;
    for (const auto& [name, declarations] : fieldsOf(declared)) {
        std::vector<Declaration> all;
        for (const auto& d : declarations) all.push_back(d.second);
        const Declaration& ref = reference(all);
        const std::size_t refLayer = static_cast<std::size_t>(ref.by - declared.data());
        const char* refType = OGRFieldDefn::GetFieldTypeName(ref.type);
        for (std::size_t k = 0; k < declared.size(); ++k) {
            const auto it = std::find_if(declarations.begin(), declarations.end(),
                                         [k](const auto& d) { return d.first == k; });
            if (it == declarations.end())
                clashes.push_back({k, refLayer, name, "", refType});
            else if (!alike(it->second, ref))
                clashes.push_back({k, refLayer, name, OGRFieldDefn::GetFieldTypeName(it->second.type), refType});
        }
    }
    return clashes;
}

std::string layersInSequence(const std::vector<LayerSource>& layers, const std::string& name,
                             const std::string& declaredIn) {
    registerDriver();
    const CPLXMLTreeCloser tree(CPLCreateXMLNode(nullptr, CXT_Element, kRoot));
    CPLAddXMLAttributeAndValue(tree.get(), "name", name.c_str());
    CPLAddXMLAttributeAndValue(tree.get(), "declaredIn", declaredIn.c_str());
    for (const auto& l : layers) {
        CPLXMLNode* n = CPLCreateXMLNode(tree.get(), CXT_Element, "Layer");
        CPLAddXMLAttributeAndValue(n, "dataset", l.dataset.c_str());
        CPLAddXMLAttributeAndValue(n, "layer", l.layer.c_str());
        for (const auto& option : l.openOptions) CPLCreateXMLElementAndValue(n, "OpenOption", option.c_str());
    }
    char* text = CPLSerializeXMLTree(tree.get());
    std::string s = text;
    CPLFree(text);
    return s;
}

}  // namespace quor::platform::gis
