// Items computed side by side and committed in order: a computation that
// fails stops the work at its item with nothing committed after it, and
// the items read ahead of the commit stay within their bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <mutex>
#include <new>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/ordered_work.h"
#include "platform/run_threads.h"

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

TEST(OrderedWork, AFailingItemStopsTheWorkThereWithNothingCommittedAfterIt) {
    const unsigned seed = std::random_device{}();
    std::mt19937 pick(seed);
    const int failing = std::uniform_int_distribution<int>(0, 199)(pick);
    SCOPED_TRACE("seed " + std::to_string(seed) + ", failing item " + std::to_string(failing));
    for (int threads : {1, 4}) {
        OrderedWork<int, int> work(threads, 4);
        int next = 0, read = 0, committed = 0;
        std::atomic<int> computed{0};
        std::vector<int> order;
        const std::thread::id caller = std::this_thread::get_id();
        std::set<std::thread::id> computers;
        std::mutex m;
        try {
            work.run(
                [&]() -> std::optional<int> {
                    if (next == 1000) return std::nullopt;
                    ++read;
                    // Never more read than 4 per thread ahead of the commit.
                    EXPECT_LE(read - committed, 4 * threads + 1);
                    return next++;
                },
                [&](const int& i, int) {
                    {
                        std::lock_guard<std::mutex> lock(m);
                        computers.insert(std::this_thread::get_id());
                    }
                    ++computed;
                    if (i == failing) throw std::runtime_error("site " + std::to_string(i) + " failed");
                    return i * 2;
                },
                [&](int& i, int& r) {
                    EXPECT_EQ(std::this_thread::get_id(), caller);
                    EXPECT_EQ(r, i * 2);
                    order.push_back(i);
                    ++committed;
                    return true;
                });
            ADD_FAILURE() << "the failure did not reach the caller";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), "site " + std::to_string(failing) + " failed");
        }
        std::vector<int> expected(static_cast<std::size_t>(failing));
        for (int i = 0; i < failing; ++i) expected[static_cast<std::size_t>(i)] = i;
        EXPECT_EQ(order, expected) << threads << " threads";
        EXPECT_EQ(computers.count(caller) == 1, threads == 1) << "one thread computes on the caller's";
    }
}

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

TEST(OrderedWork, ACommitThatSaysStopEndsTheWork) {
    OrderedWork<int, int> work(4, 2);
    int next = 0;
    std::vector<int> order;
    work.run([&]() -> std::optional<int> { return next < 100 ? std::optional<int>(next++) : std::nullopt; },
             [](const int& i, int) { return i; },
             [&](int& i, int&) {
                 order.push_back(i);
                 return i < 9;
             });
    EXPECT_EQ(order.size(), 10u);
    EXPECT_EQ(order.back(), 9);
}

TEST(RunThreads, TheVariableOverridesTheSettingAndZeroMeansEveryUsableCore) {
    EXPECT_EQ(cpuMaxCores("max 100000"), std::nullopt);
    EXPECT_EQ(cpuMaxCores("250000 100000"), 3);
    EXPECT_EQ(cpuMaxCores("50000 100000"), 1);
    EXPECT_EQ(cpuMaxCores("-1 100000"), std::nullopt);
    EXPECT_EQ(cpuMaxCores(" "), std::nullopt);
    EXPECT_GE(usableCores(), 1);
    const char* saved = std::getenv(kThreadsVariable);
    const std::string was = saved ? saved : "";
    unsetenv(kThreadsVariable);
    setThreadsSetting("3");
    EXPECT_EQ(runThreads(), std::min(3, usableCores()));
    setThreadsSetting("0");
    EXPECT_EQ(runThreads(), usableCores());
    setThreadsSetting("many");
    EXPECT_EQ(runThreads(), usableCores());
    setThreadsSetting("3");
    setenv(kThreadsVariable, "1", 1);
    EXPECT_EQ(runThreads(), 1);
    setThreadsSetting("");
    if (saved)
        setenv(kThreadsVariable, was.c_str(), 1);
    else
        unsetenv(kThreadsVariable);
}

// More threads than the process may use would only share its cores.
TEST(RunThreads, ACountAboveTheCoresUsesTheCores) {
    const char* saved = std::getenv(kThreadsVariable);
    const std::string was = saved ? saved : "";
    unsetenv(kThreadsVariable);
    setThreadsSetting(std::to_string(usableCores() + 1));
    EXPECT_EQ(runThreads(), usableCores());
    setenv(kThreadsVariable, "1000", 1);
    EXPECT_EQ(runThreads(), usableCores());
    setThreadsSetting("");
    if (saved)
        setenv(kThreadsVariable, was.c_str(), 1);
    else
        unsetenv(kThreadsVariable);
}

}  // namespace
}  // namespace quor::platform
