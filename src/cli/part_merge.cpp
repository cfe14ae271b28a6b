#include "cli/part_merge.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <future>
#include <map>
#include <optional>
#include <set>

#include "cli/output_move.h"
#include "cli/part_record.h"
#include "cli/run_end.h"
#include "cli/run_folders.h"
#include "cli/run_options.h"
#include "cli/sites_dataset.h"
#include "cli/terminal.h"
#include "platform/folders.h"
#include "platform/gis/dataset_identity.h"
#include "platform/gis/layer_sequence.h"
#include "platform/gis/rows_digest.h"
#include "platform/ordered_work.h"
#include "platform/run_threads.h"
#include "platform/textfile.h"

namespace quor::cli {

namespace {

namespace fs = std::filesystem;
namespace pg = platform::gis;

struct MergeOptions {
    std::string output;
    bool overwrite = false, json = false, quiet = false, help = false;
    std::vector<std::string> parts;
};

MergeOptions parseMerge(const std::vector<std::string>& args) {
    MergeOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--output" || a.rfind("--output=", 0) == 0) {
            std::string value;
            if (a == "--output") {
                if (i + 1 >= args.size()) throw BadInput("--output needs a value: --output FILE.");
                value = args[++i];
            } else {
                value = a.substr(9);
            }
            if (value.empty()) throw BadInput("--output needs a value: --output FILE.");
            o.output = fs::absolute(value).lexically_normal().string();
        } else if (a == "--overwrite") {
            o.overwrite = true;
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--quiet") {
            o.quiet = true;
        } else if (a.rfind("-", 0) == 0 && a != "-") {
            throw BadInput("unknown option " + a + " of merge (quor-run merge --help lists them).");
        } else {
            o.parts.push_back(fs::absolute(a).lexically_normal().string());
        }
    }
    if (o.help) return o;
    if (o.output.empty()) throw BadInput("--output is missing: where are the parts put together?");
    if (o.parts.empty()) throw BadInput("no parts: quor-run merge --output FILE PART...");
    return o;
}

// A part as given, and what it says of itself.
struct Given {
    std::string path;
    std::optional<PartRecord> record;
    pg::OnlyLayer layer;
    fs::file_time_type written{};
};

std::string partName(const PartRecord& r) { return "part " + std::to_string(r.part) + " of " + std::to_string(r.parts); }

std::string shortDigest(const std::string& d) { return d.substr(0, 12); }

// What makes two parts of one run: everything but the part and its range.
std::vector<std::pair<std::string, std::string>> identity(const PartRecord& r) {
    std::vector<std::pair<std::string, std::string>> v = {
        {"the program", r.program + " " + r.version},
        {"the model", r.model == Model::Rwe ? "rwe" : "rei"},
        {"the number of parts", std::to_string(r.parts)},
        {"the source sites", std::to_string(r.sourceCount) + " sites of layer " + r.sourceLayer + ", digest " +
                                 shortDigest(r.sourceDigest) + " (" + r.source + ")"},
    };
    std::map<std::string, std::string> inputs;
    for (const auto& in : r.inputs) inputs[in.name] = "digest " + shortDigest(in.digest) + " (" + in.path + ")";
    for (const char* name : {"bathymetry", "shoreline", "wind"}) {
        const auto it = inputs.find(name);
        v.emplace_back(std::string("the ") + name, it == inputs.end() ? "none" : it->second);
    }
    for (const auto& [name, value] : r.settings) v.emplace_back("the setting " + name, value);
    return v;
}

// The key of a run: the values that must match, without the paths that
// may differ from node to node.
std::string runKey(const PartRecord& r) {
    std::string key = r.program + "\n" + r.version + "\n" + (r.model == Model::Rwe ? "rwe" : "rei") + "\n" +
                      std::to_string(r.parts) + "\n" + std::to_string(r.sourceCount) + "\n" + r.sourceLayer + "\n" +
                      r.sourceDigest + "\n";
    std::map<std::string, std::string> inputs;
    for (const auto& in : r.inputs) inputs[in.name] = in.digest;
    for (const auto& [name, digest] : inputs) key += name + "=" + digest + "\n";
    std::map<std::string, std::string> settings(r.settings.begin(), r.settings.end());
    for (const auto& [name, value] : settings) key += "setting " + name + "=" + value + "\n";
    return key;
}

// What differs between a part and the run the others make, in words.
std::string differences(const PartRecord& part, const PartRecord& run) {
    const auto a = identity(part), b = identity(run);
    std::map<std::string, std::string> theirs(b.begin(), b.end()), ours(a.begin(), a.end());
    std::string said;
    auto differs = [](const std::string& x, const std::string& y) {
        // Paths may differ between nodes; the digests may not.
        auto cut = [](const std::string& s) { return s.substr(0, s.find(" (")); };
        return cut(x) != cut(y);
    };
    for (const auto& [what, value] : a) {
        const auto it = theirs.find(what);
        const std::string other = it == theirs.end() ? "none" : it->second;
        if (differs(value, other)) said += "; " + what + " is " + value + ", the others' " + other;
    }
    for (const auto& [what, value] : b)
        if (!ours.count(what)) said += "; " + what + " is none, the others' " + value;
    return said.empty() ? said : said.substr(2);
}

inline constexpr const char* kMerge = "merge";
// What a merge says when it is first asked to stop.
constexpr std::string_view kStopping =
    "\nquor-run: merge: stopping; nothing will be written (once more stops at once)\n";

// The merge's end as one JSON object (without a record).
std::string mergeEnd(End end, int merged, std::int64_t sites, double seconds, const std::string& dataset,
                     const std::vector<std::string>& problems) {
    QJsonObject o;
    o.insert("command", kMerge);
    o.insert("merged", merged);
    o.insert("sites", qint64(sites));
    o.insert("dataset", QString::fromStdString(dataset));
    QJsonArray list;
    for (const auto& p : problems) list.append(QString::fromStdString(p));
    o.insert("problems", list);
    return endObject(o, end, seconds);
}

class Merge {
public:
    explicit Merge(const MergeOptions& o)
        : o_(o), terminal_(stderr, progressStyleFor(stderr, o.quiet)) {}

    int run() {
        std::optional<PartRecord> whole;
        try {
            // The parts' rows are read while the rest of them is checked.
            auto rows = std::async(std::launch::async, [this] { return readParts(o_.parts); });
            const std::vector<Given> given = read();
            whole = check(given);
            checkRows(given, rows.get());
        } catch (const std::exception& e) {
            problem(e.what());
            terminal_.say(endHead(kMerge, End::Failed) + e.what() + "; " + kNothingWritten + ".");
            return end(End::Failed, {});
        }
        if (!problems_.empty() || !whole) return refused();
        if (StopRequest::requested()) {
            terminal_.say(std::string(kProgramName) + ": stopped before the merge began; " + kNothingWritten + ".");
            return end(End::Stopped, {});
        }
        return write(*whole);
    }

private:
    void problem(const std::string& text) { problems_.push_back(text); }

    std::vector<Given> read() {
        std::vector<Given> given;
        for (const auto& path : o_.parts) {
            Given g{path, std::nullopt, {}, {}};
            const auto status = fs::status(path, ec_);
            if (!fs::exists(status) || !fs::is_regular_file(status)) {
                problem(path + (fs::exists(status) ? ": this is not a file" : ": there is no such file"));
                continue;
            }
            try {
                g.layer = pg::onlyLayer(path);
                g.record = readRecord(path);
                g.written = fs::last_write_time(path);
            } catch (const std::exception& e) {
                problem(path + ": cannot be read: " + e.what());
                continue;
            }
            if (!g.record) {
                problem(path + ": it records no part of a run (it is not a quor-run --output, or its record is "
                               "damaged or missing)");
                continue;
            }
            const PartRecord& r = *g.record;
            const SiteRange range = partRange(r.sourceCount, Part{r.part, r.parts});
            if (r.firstSite != range.first || r.sites != range.count) {
                problem(path + ": " + partName(r) + " records sites " + std::to_string(r.firstSite) + " to " +
                        std::to_string(r.firstSite + r.sites) + ", which are not those of " + partName(r) + " of " +
                        std::to_string(r.sourceCount) + " sites");
                continue;
            }
            if (g.layer.features != r.sites) {
                problem(path + ": " + partName(r) + " is not whole: it holds " + std::to_string(g.layer.features) +
                        " sites of the " + std::to_string(r.sites) + " its record names");
                continue;
            }
            given.push_back(std::move(g));
        }
        return given;
    }

    // What reading a part's rows found.
    struct RowsOfPart {
        std::optional<pg::RowsRead> rows;
        std::string error;
    };

    // Each part's rows by its path, the parts read side by side.
    static std::map<std::string, RowsOfPart> readParts(const std::vector<std::string>& paths) {
        std::map<std::string, RowsOfPart> found;
        std::size_t next = 0;
        platform::OrderedWork<std::size_t, RowsOfPart> work(platform::usableCores(), 1);
        work.run([&]() -> std::optional<std::size_t> { return next < paths.size() ? std::optional(next++) : std::nullopt; },
                 [&](const std::size_t& i, int) {
                     RowsOfPart read;
                     try {
                         read.rows = pg::readRows(outputLayer(paths[i]));
                     } catch (const std::exception& e) {
                         read.error = e.what();
                     }
                     return read;
                 },
                 [&](std::size_t& i, RowsOfPart& read) {
                     found[paths[i]] = std::move(read);
                     return true;
                 });
        return found;
    }

    // Each part's rows against the digest it recorded of them as it was written.
    void checkRows(const std::vector<Given>& given, const std::map<std::string, RowsOfPart>& found) {
        for (const auto& g : given) {
            const PartRecord& r = *g.record;
            const RowsOfPart& read = found.at(g.path);
            if (r.rowsDigest.empty())
                problem(g.path + ": " + partName(r) + " records no digest of its rows: it was written by an earlier " +
                        r.program + "; compute it again");
            else if (!read.rows)
                problem(g.path + ": cannot be read: " + read.error);
            else if (read.rows->digest != r.rowsDigest || read.rows->rows != r.sites)
                problem(g.path + ": " + partName(r) + " was changed after it was written");
            else
                withoutGeometry_ += read.rows->withoutGeometry;
        }
    }

    // The record of the whole the parts make; problems_ names what keeps them from one.
    std::optional<PartRecord> check(const std::vector<Given>& given) {
        if (given.empty()) return std::nullopt;
        const RunOfParts run = runOf(given);
        const PartRecord& ref = *run.reference->record;
        const auto ofRun = partsOfRun(given, run);
        checkRepeated(ofRun, ref.parts);
        checkMissing(ofRun, ref.parts);
        order(given, ofRun);
        if (problems_.empty()) checkFields();
        checkCsv(given);
        checkTarget(*run.reference);
        if (problems_.empty() && target_) checkKept();
        firstPart_ = run.reference->path;
        return wholeOf(ref);
    }

    // The run the parts are of, and the part of it that stands for it.
    struct RunOfParts {
        std::string key;
        const Given* reference = nullptr;  // its part of the lowest number
        fs::file_time_type oldest = fs::file_time_type::max();
    };

    // The run of the most part numbers, the newest of equals.
    static RunOfParts runOf(const std::vector<Given>& given) {
        std::map<std::string, std::set<int>> numbers;
        std::map<std::string, fs::file_time_type> newest;
        for (const auto& g : given) {
            const std::string key = runKey(*g.record);
            numbers[key].insert(g.record->part);
            newest[key] = std::max(newest.count(key) ? newest[key] : g.written, g.written);
        }
        RunOfParts run;
        for (const auto& [key, ks] : numbers)
            if (run.key.empty() || ks.size() > numbers[run.key].size() ||
                (ks.size() == numbers[run.key].size() && newest[key] > newest[run.key]))
                run.key = key;
        for (const auto& g : given)
            if (runKey(*g.record) == run.key) {
                if (!run.reference || g.record->part < run.reference->record->part) run.reference = &g;
                run.oldest = std::min(run.oldest, g.written);
            }
        return run;
    }

    // The paths given for each part number of the run; each part of
    // another run is a problem, saying what differs.
    std::map<int, std::vector<std::string>> partsOfRun(const std::vector<Given>& given, const RunOfParts& run) {
        std::map<int, std::vector<std::string>> ofRun;
        for (const auto& g : given) {
            const PartRecord& r = *g.record;
            if (runKey(r) == run.key) {
                ofRun[r.part].push_back(g.path);
                continue;
            }
            problem(g.path + ": " + partName(r) + " is " +
                    (g.written < run.oldest ? "stale, older than the others and " : "") +
                    "of another run: " + differences(r, *run.reference->record));
        }
        return ofRun;
    }

    void checkRepeated(const std::map<int, std::vector<std::string>>& ofRun, int parts) {
        for (const auto& [k, paths] : ofRun)
            if (paths.size() > 1) {
                std::string list;
                for (const auto& p : paths) list += (list.empty() ? "" : ", ") + p;
                problem("part " + std::to_string(k) + " of " + std::to_string(parts) + " is given " +
                        std::to_string(paths.size()) + " times: " + list);
            }
    }

    void checkMissing(const std::map<int, std::vector<std::string>>& ofRun, int parts) {
        std::string missing;
        int missingCount = 0;
        for (int k = 1; k <= parts; ++k)
            if (!ofRun.count(k)) {
                if (missingCount < 20) missing += (missing.empty() ? "" : ", ") + std::to_string(k);
                ++missingCount;
            }
        if (missingCount > 0)
            problem(std::string(missingCount == 1 ? "part " : "parts ") + missing + (missingCount > 20 ? ", ..." : "") +
                    " of " + std::to_string(parts) + (missingCount == 1 ? " is missing" : " are missing (" +
                    std::to_string(missingCount) + " of " + std::to_string(parts) + ")"));
    }

    // The run's parts in the order of their numbers, the first given of each.
    void order(const std::vector<Given>& given, const std::map<int, std::vector<std::string>>& ofRun) {
        for (const auto& [k, paths] : ofRun)
            for (const auto& g : given)
                if (g.path == paths.front()) ordered_.push_back(g);
        for (const auto& g : ordered_) layers_.push_back(outputLayer(g.path));
    }

    // Text keeps no field types: a part in it only makes text again.
    void checkCsv(const std::vector<Given>& given) {
        for (const auto& g : given)
            if (platform::lowerExtension(g.path) == ".csv" && platform::lowerExtension(o_.output) != ".csv")
                problem(g.path + ": a CSV part keeps no field types; its merge is a CSV file (--output .csv)");
    }

    // The output as a run's --output is checked; the parts are the merge's
    // inputs: its output never replaces one.
    void checkTarget(const Given& reference) {
        const PartRecord& ref = *reference.record;
        RunOptions out;
        out.model = ref.model;
        out.given["--output"] = o_.output;
        if (o_.overwrite) out.given["--overwrite"] = "";
        std::vector<std::string> inputs;
        for (const auto& path : o_.parts)
            for (const std::string& file : pg::datasetFiles(path)) inputs.push_back(file);
        bool aPart = false;
        for (const auto& file : inputs) aPart = aPart || file == o_.output || fs::equivalent(file, o_.output, ec_);
        if (aPart) {
            problem("--output " + o_.output + ": this is one of the parts to be merged.");
            return;
        }
        try {
            target_ = outputTarget(out, SitesSource{reference.path, ref.sourceLayer}, std::move(inputs));
        } catch (const BadInput& e) {
            problem(e.what());
        }
    }

    // The output keeps every name and value of the parts as they are.
    void checkKept() {
        try {
            if (const auto unkept = unkeptByOutput(*target_, layersWithRows(), {}, computedIn()))
                problem("--output " + o_.output + ": " + *unkept);
        } catch (const std::exception& e) {
            problem(e.what());
        }
    }

    // The record of the whole: one part of every site.
    static PartRecord wholeOf(const PartRecord& part) {
        PartRecord whole = part;
        whole.part = whole.parts = 1;
        whole.firstSite = 0;
        whole.sites = whole.sourceCount;
        return whole;
    }

    // Each field the parts declare otherwise than another part does.
    void checkFields() {
        std::vector<pg::FieldClash> clashes;
        try {
            clashes = pg::fieldClashes(layers_);
        } catch (const std::exception& e) {
            problem(e.what());
            return;
        }
        for (const auto& c : clashes) {
            const Given& part = ordered_[c.layer];
            const std::string other = partName(*ordered_[c.other].record);
            problem(part.path + ": " + partName(*part.record) +
                    (c.declared.empty() ? " has no field " + c.field + ", which " + other + " has as " + c.otherDeclared
                     : c.otherDeclared.empty() ? " has a field " + c.field + " (" + c.declared + "), which " + other +
                                                     " has not"
                                               : " declares the field " + c.field + " as " + c.declared + ", " + other +
                                                     " as " + c.otherDeclared));
        }
    }

    int refused() {
        for (const auto& p : problems_) terminal_.say(std::string(kProgramName) + ": merge: " + p);
        terminal_.say(endHead(kMerge, End::Refused) + kNothingWritten + ".");
        return end(End::Refused, {});
    }

    int write(PartRecord whole) {
        const std::string temp = QDir::tempPath().toStdString();
        const std::string beside = fs::absolute(target_->path).parent_path().string();
        removeLeftFolders(temp, kWorkingCopyPrefix);
        removeLeftFolders(beside, kStagingPrefix, undoUnfinishedMove);
        std::optional<RunFolder> work, staging;
        try {
            work.emplace(temp, kWorkingCopyPrefix);
            staging.emplace(beside, kStagingPrefix);
        } catch (const std::exception& e) {
            problem(std::string("no working folder: ") + e.what());
            terminal_.say(std::string(kProgramName) + ": merge: " + problems_.back());
            return end(End::Failed, {});
        }
        const std::string folder = work->path();
        const std::string parts = folder + "/parts.xml";
        std::string metadata;
        try {
            platform::writeTextLines(parts, {pg::layersInSequence(layersWithRows(), whole.sourceLayer, computedIn())});
            // The model's own metadata lines, as the first part has them.
            const std::string partMetadata = metadataFileOf(modelPart(), whole.sourceLayer, whole.model);
            if (whole.model == Model::Rwe && fs::exists(partMetadata, ec_)) {
                metadata = folder + "/merged" + (whole.model == Model::Rwe ? ".Metadata_RWE" : ".Metadata_REI");
                platform::writeTextLines(metadata, withoutRecord(platform::readTextLines(partMetadata)));
            }
            writeOutput(SitesSource{parts, whole.sourceLayer}, metadata, *target_, staging->path(), &StopRequest::requested,
                        [&](const std::string& made) {
                            whole.rowsDigest = readBack(made);
                            writeRecord(whole, made, target_->driver);
                            // A stop during the read-back still keeps the dataset out.
                            if (StopRequest::requested()) throw std::runtime_error("stopped");
                        },
                        [&](double done) { terminal_.sites(std::llround(done * whole.sites), whole.sites); });
        } catch (const std::exception& e) {
            terminal_.finish(false);
            const End how = brokenOff();
            if (how != End::Stopped) problem(e.what());
            terminal_.say(std::string(kProgramName) + ": merge: " +
                          (how == End::Stopped ? std::string("the merge was stopped.") : e.what()) +
                          "\nNothing was written to " + o_.output + ".");
            return end(how, {});
        }
        terminal_.finish(true);
        return end(End::Completed, whole);
    }

    // The first part that holds a site: one without ran no model, whose
    // metadata lines its file lacks.
    std::string modelPart() const {
        for (const auto& g : ordered_)
            if (g.record->sites > 0) return g.path;
        return firstPart_;
    }

    // The format a run computes in: a copy of the sites in their own, a
    // GeoPackage's, else a shapefile's.
    std::string computedIn() const {
        return platform::lowerExtension(ordered_.front().record->source) == ".gpkg" ? "GPKG" : "ESRI Shapefile";
    }

    // The layers of the parts that hold sites, in order: the merged rows are
    // theirs, and a part without one tells nothing of its fields' kinds
    // where its format guesses them from its values (CSV).
    std::vector<pg::LayerSource> layersWithRows() const {
        std::vector<pg::LayerSource> layers;
        for (std::size_t k = 0; k < ordered_.size(); ++k)
            if (ordered_[k].record->sites > 0) layers.push_back(layers_[k]);
        return layers.empty() ? layers_ : layers;
    }

    // The merged dataset as made, read back whole: the parts' sites, each
    // with its geometry where the part has one, and each part's rows as the
    // part holds them. The digest of its rows; std::runtime_error saying
    // what it does not hold.
    std::string readBack(const std::string& made) {
        pg::RowsAsked asked;
        asked.threads = platform::usableCores();
        std::int64_t sites = 0;
        for (const auto& g : ordered_) {
            asked.ranges.push_back(g.record->sites);
            sites += g.record->sites;
        }
        const pg::RowsRead back = pg::readRows(outputLayer(made), asked);
        const std::string lost = "The merged dataset does not hold what the parts hold: ";
        if (back.rows != sites)
            throw std::runtime_error(lost + "it holds " + std::to_string(back.rows) + " sites of their " +
                                     std::to_string(sites) + ".");
        if (back.withoutGeometry != withoutGeometry_)
            throw std::runtime_error(lost + std::to_string(back.withoutGeometry) + " of its sites have no geometry, " +
                                     std::to_string(withoutGeometry_) + " of theirs.");
        for (std::size_t k = 0; k < ordered_.size(); ++k)
            if (back.digests[k] != ordered_[k].record->rowsDigest)
                throw std::runtime_error(lost + "the values of " + partName(*ordered_[k].record) + " (" +
                                         ordered_[k].path + ") differ in it" + whereItDiffers(k, made) + "; " +
                                         platform::lowerExtension(o_.output) + " cannot keep them as the part does.");
        held_ = back.rows;
        return back.digest;
    }

    // Where the merged dataset `made` first holds part `k`'s rows
    // otherwise, in words: the field (or the point) and the site, with both
    // values. Nothing when it cannot tell.
    std::string whereItDiffers(std::size_t k, const std::string& made) const {
        const PartRecord& r = *ordered_[k].record;
        std::optional<pg::RowDifference> d;
        try {
            d = pg::firstDifference(layers_[k], outputLayer(made), r.firstSite);
        } catch (const std::exception&) {
        }
        if (!d) return "";
        const std::string site = "site " + std::to_string(r.firstSite + d->row);
        return ": " + (d->field.empty() ? "the point of " + site : d->field + " of " + site) + " is " + d->otherValue +
               " in it, " + d->value + " in the part";
    }

    // The end line, or the JSON object; a refusal has told its end already.
    int end(End how, const std::optional<PartRecord>& whole) {
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
        const std::int64_t sites = whole ? held_ : 0;
        if (o_.json) {
            std::string json = mergeEnd(how, whole ? static_cast<int>(ordered_.size()) : 0, sites, seconds,
                                        whole ? o_.output : "", problems_);
            printEndObject(whole ? jsonWithRecord(json, *whole) : json);
        } else if (how != End::Refused) {
            terminal_.say(endLine(kMerge, how,
                                  whole ? std::to_string(ordered_.size()) + " parts, " + std::to_string(sites) +
                                              " sites into " + o_.output
                                        : kNothingWritten,
                                  seconds));
        }
        return exitStatus(how);
    }

    const MergeOptions& o_;
    const std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    Terminal terminal_;
    StopRequest stop_{kStopping};
    std::vector<std::string> problems_;
    std::vector<Given> ordered_;  // the parts in the order of their numbers
    std::int64_t withoutGeometry_ = 0;  // the parts' sites without a geometry
    std::int64_t held_ = 0;             // the sites the merged dataset holds, read back
    std::vector<pg::LayerSource> layers_;
    std::optional<OutputTarget> target_;
    std::string firstPart_;
    std::error_code ec_;
};

}  // namespace

std::string mergeHelpText() {
    return "Usage: quor-run merge --output FILE [--overwrite] [--json] [--quiet] PART...\n"
           "Puts the --output datasets of quor-run's --part K/N runs together into FILE (.gpkg, .csv, .fgb or .shp),\n"
           "whatever their formats, in the order of K whatever the order given, when they make exactly one whole:\n"
           "parts 1 to N of one N, each whole and as it was written, of the same sites, inputs, settings and version,\n"
           "declaring their fields alike. Anything else is refused (exit status " +
           std::to_string(kBadInput) +
           ") before anything is written,\n"
           "naming each missing, repeated, changed or mismatched part and what differs.\n"
           "The merged dataset records itself as part 1 of 1, as one run over every site does.\n"
           "\n"
           "  --output FILE               the merged dataset\n"
           "  --overwrite                 replaces an existing FILE\n"
           "  --json                      prints the end as one JSON object on standard output\n"
           "  --quiet                     no progress\n" +
           exitStatusHelp("merged", "stopped or failed while writing (nothing written)", "refused");
}

int runMerge(const std::vector<std::string>& args) {
    MergeOptions options;
    try {
        options = parseMerge(args);
    } catch (const BadInput& e) {
        std::fprintf(stderr, "%s: merge: %s\n", kProgramName, e.what());
        return refusedOptions(args, [&] { return mergeEnd(End::Refused, 0, 0, 0, "", {e.what()}); });
    }
    if (options.help) return printed(mergeHelpText());
    return Merge(options).run();
}

}  // namespace quor::cli
