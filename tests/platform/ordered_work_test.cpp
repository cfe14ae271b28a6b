// Items computed side by side and committed in order: a computation that
// fails stops the work at its item with nothing committed after it, and
// the items read ahead of the commit stay within their bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/ordered_work.h"
#include "platform/run_threads.h"

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
