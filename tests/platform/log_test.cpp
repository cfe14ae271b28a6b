#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/log.h"

using namespace quor::platform;

TEST(Log, CausesReachTheSinkWithWhereTheyHappened) {
    std::vector<std::string> lines;
    const LogSink previous = setLogSink([&](const std::string& l) { lines.push_back(l); });
    try {
        throw std::runtime_error("disk full");
    } catch (...) {
        logCause("Writing the results", currentCause());
    }
    try {
        throw 42;
    } catch (...) {
        logCause("A start-up step was skipped", currentCause());
    }
    setLogSink(previous);
    EXPECT_EQ(lines, (std::vector<std::string>{"Writing the results: disk full",
                                               "A start-up step was skipped: unknown failure"}));
}
