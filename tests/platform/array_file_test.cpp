#include <gtest/gtest.h>

#include <vector>

#include "platform/array_file.h"

using namespace quor::platform;

TEST(OutputArrayFile, DiagnosticFileLayout) {
    const auto lines = outputArrayLines(kDepthFileTitle, std::vector<double>{0, 150, 12.5, 0.25, 8834.126, 2.675});
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], "Quor Depth File");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], " 0   0");
    EXPECT_EQ(lines[3], " 1   150");
    EXPECT_EQ(lines[4], " 2   12.5");
    EXPECT_EQ(lines[5], " 3   0.25");
    EXPECT_EQ(lines[6], " 4   8834.13");
    EXPECT_EQ(lines[7], " 5   2.68");
}

