#include "cli/part_record.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <map>

#include "gis/shorebathy.h"
#include "platform/file_digest.h"
#include "platform/gis/dataset_identity.h"
#include "platform/gis/rows_digest.h"
#include "platform/numbers.h"
#include "platform/folders.h"
#include "platform/textfile.h"
#include "project/metadata_file.h"
#include "wave/rwe_settings.h"

namespace quor::cli {

namespace {

namespace fs = std::filesystem;
namespace pg = platform::gis;

// The heading of the record in a metadata file; its lines follow as
// "name: value" up to the next empty line.
constexpr const char* kRecordHeading = "quor-run record";
constexpr const char* kSettingPrefix = "setting.";
// GDAL's metadata domain of the record inside a dataset.
constexpr const char* kDomain = "QUOR_RUN";

// The digest of the files GDAL reads for an input; one that cannot be
// read refuses the option that named it.
InputDigest inputDigest(const std::string& option, const std::string& name, const std::string& path) {
    try {
        return {name, path, platform::filesDigest(pg::datasetFiles(path))};
    } catch (const std::exception& e) {
        throw badOption(option, path, e.what());
    }
}

std::string number(double v) { return platform::formatNumber(v); }
std::string number(float v) { return platform::formatNumber(v); }
std::string onOff(bool on) { return on ? "on" : "off"; }

std::vector<std::pair<std::string, std::string>> settingsOf(const RunOptions& o, const model::ApplicationState& app) {
    const auto& s = app.state;
    const auto& f = app.form;
    const auto& h = app.holder;
    std::vector<std::pair<std::string, std::string>> v = {
        {"fetch", number(f.Fetch)},
        {"fetch-lengths", onOff(f.fetchlength != 0)},
        {"units", f.bathyunits},
        {"positive", onOff(s.bathy_positive != 0)},
    };
    if (o.model == Model::Rwe) {
        const int rays = h.optionindex >= 0 && h.optionindex < 5 ? wave::kRayCounts[h.optionindex] : 0;
        v.insert(v.end(), {
                              {"algorithm", s.wv_indexcheck == 1 ? "fast" : "clip"},
                              {"rays", std::to_string(rays)},
                              {"segment-length", number(s.Fetch_first)},
                              {"segment-distance", number(s.Depth_intg_first)},
                              {"goda", number(s.A_goda)},
                              {"eps", number(s.Eps)},
                              {"slope", number(s.goda_slope)},
                              {"sea-temperature", number(s.sea_temp)},
                              {"sea-salinity", number(s.sea_salinity)},
                              {"bottom-velocity", onOff(s.orbvel_on == 1)},
                              {"velocity-method", s.velocity_method == 1 ? "esa" : "lwt"},
                              {"sediment", onOff(s.sediment_on == 1)},
                              {"sediment-density", number(s.sed_density)},
                              {"sediment-diameter", number(s.sed_diameter)},
                              {"water-level", number(s.water_level)},
                          });
    } else {
        std::string bounds, powers;
        const double b[] = {h.wind_cat1, h.wind_cat2, h.wind_cat3, h.wind_cat4};
        const double p[] = {h.Power1, h.Power2, h.Power3, h.Power4};
        for (int i = 0; i + 1 < h.windcatno && i < 4; ++i) {
            bounds += (i ? "," : "") + number(b[i]);
            powers += number(p[i]) + ",";
        }
        powers += number(h.Power5);
        v.insert(v.end(), {
                              {"algorithm", h.indexcheck == 1 ? "fast" : "clip"},
                              {"distance", number(f.dist_bathy)},
                              {"categories", std::to_string(h.windcatno)},
                              {"bounds", bounds},
                              {"powers", powers},
                          });
    }
    // By name, as GDAL's metadata gives them back.
    std::sort(v.begin(), v.end());
    return v;
}

bool whole(const std::string& text, std::int64_t& v) {
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    return r.ec == std::errc() && r.ptr == text.data() + text.size() && !text.empty();
}

std::string trimmed(std::string line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

}  // namespace

PartRecord runRecord(const RunOptions& o, const model::ApplicationState& app, const SitesSource& source,
                     std::int64_t sourceCount, const SiteRange& range) {
    PartRecord r;
    r.version = QUOR_VERSION;
    r.model = o.model;
    if (o.part) {
        r.part = o.part->k;
        r.parts = o.part->n;
    }
    r.firstSite = range.first;
    r.sites = range.count;
    r.source = source.path;
    r.sourceLayer = source.geodatabase() ? source.layer : fs::path(source.path).stem().string();
    r.sourceCount = sourceCount;
    try {
        r.sourceDigest = pg::layerDigest(source.path, r.sourceLayer);
    } catch (const std::exception& e) {
        throw badOption(source.geodatabase() ? "--layer" : "--sites", source.shown(), e.what());
    }
    const auto& f = app.form;
    const char* project = o.has("--project") ? "--project" : nullptr;
    try {
        // The digest the run's reading took: the raster is not read again.
        r.inputs.push_back({"bathymetry", f.bathycov, gis::bathymetryDigest(f)});
    } catch (const std::exception& e) {
        throw badOption(project ? project : "--bathymetry", f.bathycov, e.what());
    }
    if (!model::fastAlgorithm(app.state, app.holder) && !f.shorename.empty())
        r.inputs.push_back(inputDigest(project ? project : "--shoreline", "shoreline", f.shorecov + "/" + f.shorename));
    r.inputs.push_back(inputDigest(project ? project : "--wind", "wind", app.state.wind_path));
    r.settings = settingsOf(o, app);
    return r;
}

std::vector<std::pair<std::string, std::string>> recordItems(const PartRecord& r) {
    std::vector<std::pair<std::string, std::string>> items = {
        {"program", r.program},
        {"version", r.version},
        {"model", r.model == Model::Rwe ? "rwe" : "rei"},
        {"part", std::to_string(r.part) + "/" + std::to_string(r.parts)},
        {"first_site", std::to_string(r.firstSite)},
        {"sites", std::to_string(r.sites)},
        {"source", r.source},
        {"source_layer", r.sourceLayer},
        {"source_count", std::to_string(r.sourceCount)},
        {"source_digest", r.sourceDigest},
    };
    if (!r.rowsDigest.empty()) items.emplace_back("rows_digest", r.rowsDigest);
    for (const auto& in : r.inputs) {
        items.emplace_back(in.name, in.path);
        items.emplace_back(in.name + "_digest", in.digest);
    }
    for (const auto& [name, value] : r.settings) items.emplace_back(kSettingPrefix + name, value);
    return items;
}

std::optional<PartRecord> recordOf(const std::vector<std::pair<std::string, std::string>>& items) {
    std::map<std::string, std::string> m(items.begin(), items.end());
    auto get = [&](const char* key) -> const std::string* {
        const auto it = m.find(key);
        return it == m.end() ? nullptr : &it->second;
    };
    for (const char* key : {"program", "version", "model", "part", "first_site", "sites", "source", "source_layer",
                            "source_count", "source_digest"})
        if (!get(key)) return std::nullopt;
    PartRecord r;
    r.program = *get("program");
    r.version = *get("version");
    if (*get("model") != "rwe" && *get("model") != "rei") return std::nullopt;
    r.model = *get("model") == "rwe" ? Model::Rwe : Model::Rei;
    const std::string& part = *get("part");
    const auto slash = part.find('/');
    std::int64_t k = 0, n = 0;
    if (slash == std::string::npos || !whole(part.substr(0, slash), k) || !whole(part.substr(slash + 1), n) || k < 1 ||
        n < 1 || k > n || n > 1000000)
        return std::nullopt;
    r.part = static_cast<int>(k);
    r.parts = static_cast<int>(n);
    if (!whole(*get("first_site"), r.firstSite) || !whole(*get("sites"), r.sites) ||
        !whole(*get("source_count"), r.sourceCount))
        return std::nullopt;
    r.source = *get("source");
    r.sourceLayer = *get("source_layer");
    r.sourceDigest = *get("source_digest");
    if (get("rows_digest")) r.rowsDigest = *get("rows_digest");
    for (const char* name : {"bathymetry", "shoreline", "wind"}) {
        const std::string digestKey = std::string(name) + "_digest";
        if (get(name) && get(digestKey.c_str())) r.inputs.push_back({name, *get(name), *get(digestKey.c_str())});
    }
    for (const auto& [key, value] : m)
        if (key.rfind(kSettingPrefix, 0) == 0) r.settings.emplace_back(key.substr(std::string(kSettingPrefix).size()), value);
    return r;
}

pg::LayerSource outputLayer(const std::string& output) {
    if (platform::lowerExtension(output) != ".csv") return {output, "", {}};
    return {output, "", {"X_POSSIBLE_NAMES=X", "Y_POSSIBLE_NAMES=Y", "KEEP_GEOM_COLUMNS=NO", "AUTODETECT_TYPE=YES",
                         "AUTODETECT_WIDTH=YES", "AUTODETECT_SIZE_LIMIT=0", "QUOTED_FIELDS_AS_STRING=YES"}};
}

std::string rowsDigestOf(const std::string& output) { return pg::readRows(outputLayer(output)).digest; }

std::string metadataFileOf(const std::string& output, const std::string& layer, Model model) {
    return project::metadataPath(output, layer,
                                 model == Model::Rwe ? project::kRweMetadataEnd : project::kReiMetadataEnd);
}

void writeRecord(const PartRecord& record, const std::string& output, const std::string& driver) {
    const auto items = recordItems(record);
    if (driver == "GPKG") pg::setDatasetMetadata(output, kDomain, items);
    const std::string file = metadataFileOf(output, record.sourceLayer, record.model);
    std::vector<std::string> lines;
    std::error_code ec;
    if (fs::exists(file, ec)) lines = withoutRecord(platform::readTextLines(file));
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    if (!lines.empty()) lines.emplace_back();
    lines.emplace_back(kRecordHeading);
    for (const auto& [key, value] : items) lines.push_back(key + ": " + value);
    platform::writeTextLines(file, lines);
}

std::optional<PartRecord> readRecord(const std::string& output) {
    std::vector<std::pair<std::string, std::string>> items;
    const std::string ext = platform::lowerExtension(output);
    if (ext == ".gpkg") {
        const auto inside = pg::datasetMetadata(output, kDomain);
        items.assign(inside.begin(), inside.end());
        return recordOf(items);
    }
    std::error_code ec;
    std::optional<PartRecord> found;
    for (const Model model : {Model::Rwe, Model::Rei}) {
        // Not a GeoPackage: no layer names its metadata file.
        const std::string file = metadataFileOf(output, "", model);
        if (!fs::exists(file, ec)) continue;
        items.clear();
        bool in = false;
        for (const auto& raw : platform::readTextLines(file)) {
            const std::string line = trimmed(raw);
            if (!in) {
                in = line == kRecordHeading;
                continue;
            }
            if (line.empty()) break;
            const auto colon = line.find(": ");
            if (colon == std::string::npos) return std::nullopt;
            items.emplace_back(line.substr(0, colon), line.substr(colon + 2));
        }
        if (!in) continue;
        // An RWE and an REI record beside one output: one of them is an
        // earlier output's, and which is not told.
        if (found) throw std::runtime_error("both " + metadataFileOf(output, "", Model::Rwe) + " and " +
                                            metadataFileOf(output, "", Model::Rei) + " hold a record of it");
        found = recordOf(items);
        if (!found) return std::nullopt;
    }
    return found;
}

std::vector<std::string> withoutRecord(const std::vector<std::string>& lines) {
    std::vector<std::string> kept;
    bool in = false;
    for (const auto& line : lines) {
        if (trimmed(line) == kRecordHeading) {
            in = true;
            while (!kept.empty() && kept.back().empty()) kept.pop_back();
            continue;
        }
        if (in && trimmed(line).empty()) in = false;
        if (!in) kept.push_back(line);
    }
    return kept;
}

std::string jsonWithRecord(const std::string& json, const PartRecord& r) {
    QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
    auto q = [](const std::string& s) { return QString::fromStdString(s); };
    o.insert("program", q(r.program));
    o.insert("version", q(r.version));
    o.insert("part", r.part);
    o.insert("parts", r.parts);
    o.insert("firstSite", qint64(r.firstSite));
    o.insert("count", qint64(r.sites));
    o.insert("rowsDigest", q(r.rowsDigest));
    o.insert("source", QJsonObject{{"path", q(r.source)},
                                   {"layer", q(r.sourceLayer)},
                                   {"count", qint64(r.sourceCount)},
                                   {"digest", q(r.sourceDigest)}});
    QJsonObject inputs;
    for (const auto& in : r.inputs) inputs.insert(q(in.name), QJsonObject{{"path", q(in.path)}, {"digest", q(in.digest)}});
    o.insert("inputs", inputs);
    QJsonObject settings;
    for (const auto& [name, value] : r.settings) settings.insert(q(name), q(value));
    o.insert("settings", settings);
    return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString();
}

}  // namespace quor::cli
