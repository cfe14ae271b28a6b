#pragma once
// The sites of a run, computed on the run's threads (each on a worker's
// own context, site_worker.h) and committed in their order on the
// window's thread: the half both run drivers share. Whatever a site's
// computation would show, write or log reaches the window's thread at the
// site's commit, in order, as if one thread had done it all.
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "gis/site_worker.h"
#include "model/model_state.h"
#include "platform/gis/feature_class.h"
#include "platform/log.h"
#include "platform/ordered_work.h"
#include "platform/run_threads.h"

namespace quor::gis {

// A site as the window's thread reads it: its feature stays there; the
// computation gets its point only.
struct SiteItem {
    pg::Feature feature;
    std::int64_t number = 0;         // counted from 1, in the order read
    std::optional<pg::Point> point;  // nothing for a feature without a point shape
};

// A computed site, waiting for its commit.
template <class Result>
struct ComputedSite {
    Result result{};
    model::SiteState state;
    SiteRecord record;
    std::exception_ptr error;  // what broke the computation off

    // On the window's thread: what the computation would have shown, then
    // the exception that broke it off, or else the site's state handed to
    // the run's own.
    void play(model::ModelState& run) {
        record.play();
        if (error) std::rethrow_exception(error);
        state.putInto(run);
    }
};

// Whether a worker's per-site arrays are erased after each of its sites,
// as the RWE steps expect them at a site's start; REI's carry over.
enum class SiteArrays { Kept, Erased };

template <class Result>
class SiteRun {
public:
    // Computes a site on a worker (its context is worker.rays(); `index`
    // tells the run's workers apart) into `result`; an exception breaks the
    // site off and is rethrown at its commit.
    using Compute = std::function<void(SiteWorker& worker, int index, const SiteItem& site, Result& result)>;
    // Commits a site on the window's thread; false stops the run.
    using Commit = std::function<bool(SiteItem& site, ComputedSite<Result>& computed)>;

    SiteRun(const RayContext& run, SiteArrays arrays, Compute compute)
        : work_(platform::runThreads(), kSitesAheadPerThread), workers_(SiteWorker::forRun(run, work_.threads())),
          arrays_(arrays), compute_(std::move(compute)) {}

    int threads() const { return work_.threads(); }

    // Reads the cursor's sites and commits each, in their order.
    void run(pg::FeatureCursor& cursor, const Commit& commit) {
        std::int64_t read = 0;
        work_.run(
            [&]() -> std::optional<SiteItem> {
                auto feature = cursor.next();
                if (!feature) return std::nullopt;
                SiteItem item{std::move(*feature), ++read, std::nullopt};
                const pg::Geometry& shape = item.feature.shape();
                if (shape.type() == pg::GeometryType::Point && !shape.isEmpty() && !shape.parts()[0].empty())
                    item.point = shape.asPoint();
                return item;
            },
            [this](const SiteItem& item, int w) { return compute(item, w); }, commit);
    }

private:
    ComputedSite<Result> compute(const SiteItem& item, int w) {
        SiteWorker& worker = *workers_[static_cast<std::size_t>(w)];
        ComputedSite<Result> c;
        // The site's log lines wait for its commit with the rest.
        platform::HeldLogLines held([&fb = worker.feedback()](const std::string& line) {
            fb.later([line] { platform::writeLogLine(line); });
        });
        try {
            worker.beginSite();
            compute_(worker, w, item, c.result);
        } catch (...) {
            c.error = std::current_exception();
        }
        model::ModelState& st = worker.rays().state;
        c.state = model::SiteState::of(st);
        if (arrays_ == SiteArrays::Erased) st.erasePerSiteArrays();
        c.record = worker.endSite();
        return c;
    }

    platform::OrderedWork<SiteItem, ComputedSite<Result>> work_;
    std::vector<std::unique_ptr<SiteWorker>> workers_;
    const SiteArrays arrays_;
    const Compute compute_;
};

}  // namespace quor::gis
