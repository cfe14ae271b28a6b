#include "wind/iindex_tool.h"

#include <cmath>
#include <variant>

#include "model/setting_checks.h"
#include "model/wind_classes.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/workspace.h"
#include "platform/numbers.h"
#include "project/run_hold.h"
#include "rei/rei_fields.h"
#include "rei/rei_index.h"
#include "wind/rei_wind_file.h"

namespace quor::wind {

namespace pg = platform::gis;

namespace {

struct Refusal {
    std::string text;
    platform::MessageIcon icon = platform::MessageIcon::Critical;
};

// The busy state of the tool, undone however it ends.
class BusyScope {
public:
    BusyScope(platform::Progress& progress, model::RunShell* shell) : progress_(progress), shell_(shell) {
        progress_.show();
        progress_.setMaximum(1, 100);
        if (shell_) {
            shell_->runStarted();
            shell_->setStatus("Running wind processing....");
        }
    }
    ~BusyScope() {
        progress_.hide();
        if (shell_) {
            shell_->setStatus("");
            shell_->runEnded();
        }
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    platform::Progress& progress_;
    model::RunShell* shell_;
};

// The climate as the run holds it, NE in single precision, so that the
// run's own wind file, fetch and distance give the run's "Index" exactly.
model::WindSummary climateOf(const std::string& path) {
    ReiWindFileContents file;
    try {
        file = readReiWindFile(path);
    } catch (const ReiWindFileError& e) {
        throw Refusal{std::string("The wind file cannot be used: ") + e.what()};
    }
    if (file.lineCount < 20) throw Refusal{"Wind file is not in right format, make sure its a Quor wind file"};
    model::WindSummary w;
    for (int k = 0; k < model::kWindClassCount; ++k) {
        model::setWindSpeed(w, k, file.climate.speed[k]);
        model::setWindPercent(w, k, file.climate.percent[k]);
    }
    return w;
}

// The fetch and the interrogation distance within the ranges the REI
// settings give them, which every run that wrote the directional values kept.
double positive(const std::string& text, model::SettingProblem (*range)(double)) {
    const auto v = platform::parseDecimal(text);
    if (!v || !(*v > 0)) throw Refusal{kBadFetchOrDistance};
    if (auto problem = range(*v)) throw Refusal{*problem};
    return *v;
}

}  // namespace

IIndexOutcome processIIndex(const IIndexInput& in, platform::Messages& messages, platform::Progress& progress,
                            model::RunShell* shell) {
    IIndexOutcome out;
    try {
        if (!in.dataset) throw Refusal{kChooseDataset, platform::MessageIcon::Exclamation};
        pg::FeatureClass& fc = *in.dataset;
        // A writer of the dataset like a run: never beside one in another program.
        const project::RunLocks locks(nullptr, {}, {}, fc);
        if (locks.admit(messages, nullptr)) {
            out.end = IIndexEnd::Refused;
            return out;
        }
        const auto fields = fc.fields();
        std::array<int, 8> classField{};  // field position by wind class
        int present = 0;
        for (int i = 0; i < 8; ++i) {
            const int pos = fields->findField(rei::kDirectionalFields[i]);
            classField[rei::kDirectionalFieldClass[i]] = pos;
            present += pos >= 0;
        }
        if (present == 0) throw Refusal{kNoIndividualIndex, platform::MessageIcon::Exclamation};
        if (present < 8) {
            std::string missing;
            for (int i = 0; i < 8; ++i)
                if (fields->findField(rei::kDirectionalFields[i]) < 0)
                    missing += (missing.empty() ? "" : ", ") + rei::kDirectionalFields[i];
            throw Refusal{"The dataset " + fc.name() + " lacks the directional index fields " + missing + "."};
        }
        const double F = positive(in.fetchText, model::fetchProblem);
        const double D = positive(in.distanceText, model::bathyDistanceProblem);
        const model::WindSummary wind = climateOf(in.windFile);

        const int existing = fields->findField(rei::kIIndexField);
        if (existing >= 0) {
            const auto type = fields->field(existing).type;
            if (type != pg::FieldType::Double && type != pg::FieldType::Single)
                throw Refusal{"The field \"IIndex\" of " + fc.name() + " is not a real-number field."};
            if (!messages.question(kReplaceIIndex)) {
                out.end = IIndexEnd::Declined;
                return out;
            }
        } else {
            fc.addField(pg::FieldDef(rei::kIIndexField, pg::FieldType::Double, {}, 30));
        }

        BusyScope busy(progress, shell);
        // However the tool ends, every value it stored is on disk for other programs.
        pg::FlushAtExit flushAtExit(in.dataset);
        out.features = fc.featureCount();
        auto ws = fc.workspace();
        pg::Workspace::Transaction tx(*ws);
        auto cursor = fc.search();
        const int indexField = fc.findField(rei::kIIndexField);
        std::int64_t k = 0;
        for (auto f = cursor.next(); f; f = cursor.next()) {
            ++k;
            std::array<double, 8> B{};
            bool complete = true;
            for (int c = 0; c < 8 && complete; ++c) {
                const auto v = f->value(classField[c]);
                if (pg::isNull(v)) complete = false;
                else B[c] = pg::toDouble(v);
            }
            const double value = complete ? rei::reiIndexValue(B, wind, D, F) : 0;
            if (complete && std::isfinite(value)) {
                f->setValue(indexField, value);
                fc.store(*f);
                ++out.written;
            } else {
                // Emptied, so that a value weighed from earlier directional values never stays.
                ++(complete ? out.notFinite : out.missing);
                if (!pg::isNull(f->value(indexField))) {
                    f->setValue(indexField, std::monostate{});
                    fc.store(*f);
                }
            }
            progress.setValue(1, static_cast<int>(static_cast<float>(k) / static_cast<float>(out.features) * 100));
        }
        tx.commit();
        fc.flush();
        if (out.missing > 0)
            messages.message(std::to_string(out.missing) + " of " + std::to_string(out.features) +
                                 " features have no directional index values; their IIndex was left empty.",
                             platform::MessageIcon::Exclamation);
        if (out.notFinite > 0)
            messages.message(std::to_string(out.notFinite) + " of " + std::to_string(out.features) +
                                 " features gave a value that is not a finite number; their IIndex was left empty.",
                             platform::MessageIcon::Exclamation);
        out.end = IIndexEnd::Written;
    } catch (const Refusal& r) {
        messages.message(r.text, r.icon);
        out.end = IIndexEnd::Refused;
    } catch (const std::exception& e) {
        messages.message(std::string("The IIndex values could not be written: ") + e.what(),
                         platform::MessageIcon::Critical);
        out.end = IIndexEnd::Failed;
    }
    return out;
}

}  // namespace quor::wind
