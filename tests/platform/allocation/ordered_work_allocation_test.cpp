// Whatever fails in ordered work, an allocation of the calling thread
// included, ends the run with that failure and never hangs. The test
// replaces the global operator new, which a program has once: it is a
// program of its own, holding nothing but what it tests, so that every
// other test runs on the allocator as it is (and under AddressSanitizer
// on the sanitizer's own).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/ordered_work.h"

namespace {
// The allocation on this thread that fails next with std::bad_alloc,
// counted from 1; 0: none fails.
thread_local long allocationsBeforeFailure = 0;
}  // namespace

void* operator new(std::size_t size) {
    if (allocationsBeforeFailure > 0 && --allocationsBeforeFailure == 0) throw std::bad_alloc();
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace quor::platform {
namespace {

// Whatever fails (a read, a computation, a commit, or any allocation of
// the calling thread: starting a worker, handing an item over, the commit's
// own), run() ends with that failure, the items before it committed in
// their order and none after it, and it never hangs.
TEST(OrderedWork, AFailureAtAnyStepEndsTheRunWithItAndNeverHangs) {
    enum class Step { Read, Compute, Commit, Allocation };
    constexpr int kItems = 600;  // beyond a block of a queue's bookkeeping
    struct Outcome {
        std::vector<int> committed;
        std::string failure;  // empty: the run ended without one
    };
    auto runFailing = [](int threads, Step step, long at) {
        auto outcome = std::make_shared<Outcome>();
        auto ended = std::make_shared<std::promise<void>>();
        auto finished = ended->get_future();
        // On a thread of its own: a run that hangs is told, not waited for.
        std::thread([=] {
            OrderedWork<int, int> work(threads, 4);
            int next = 0;
            try {
                if (step == Step::Allocation) allocationsBeforeFailure = at;
                work.run(
                    [&]() -> std::optional<int> {
                        if (step == Step::Read && next == at) throw std::runtime_error("read");
                        return next < kItems ? std::optional<int>(next++) : std::nullopt;
                    },
                    [&](const int& i, int) {
                        if (step == Step::Compute && i == at) throw std::runtime_error("compute");
                        return i;
                    },
                    [&](int& i, int&) {
                        if (step == Step::Commit && i == at) throw std::runtime_error("commit");
                        outcome->committed.push_back(i);
                        return true;
                    });
            } catch (const std::exception& e) {
                outcome->failure = e.what();
            }
            allocationsBeforeFailure = 0;
            ended->set_value();
        }).detach();
        if (finished.wait_for(std::chrono::seconds(20)) != std::future_status::ready) return std::optional<Outcome>();
        return std::optional<Outcome>(*outcome);
    };
    auto firstItems = [](std::size_t n) {
        std::vector<int> v(n);
        for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<int>(i);
        return v;
    };
    for (int threads : {1, 4}) {
        for (const auto& [step, what] : {std::pair{Step::Read, "read"}, std::pair{Step::Compute, "compute"},
                                         std::pair{Step::Commit, "commit"}}) {
            for (int at : {0, 1, 17, kItems - 1}) {
                const auto o = runFailing(threads, step, at);
                ASSERT_TRUE(o) << what << " failing at item " << at << " on " << threads << " threads hangs";
                EXPECT_EQ(o->failure, what) << threads << " threads, item " << at;
                EXPECT_EQ(o->committed, firstItems(static_cast<std::size_t>(at))) << what << " " << at;
            }
        }
        // Every allocation of the calling thread in turn, until a run needs fewer.
        for (long at = 1;; ++at) {
            const auto o = runFailing(threads, Step::Allocation, at);
            ASSERT_TRUE(o) << "allocation " << at << " failing on " << threads << " threads hangs";
            EXPECT_EQ(o->committed, firstItems(o->committed.size())) << "allocation " << at;
            if (o->failure.empty()) {
                EXPECT_EQ(o->committed.size(), static_cast<std::size_t>(kItems));
                break;
            }
            EXPECT_EQ(o->failure, std::bad_alloc().what()) << "allocation " << at;
        }
    }
}

}  // namespace
}  // namespace quor::platform
