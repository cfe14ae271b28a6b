#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/memory.h"
#include "test_support.h"

using quor::platform::controlGroupMemoryLimit;
using quor::test::TempDir;

namespace {

void writeFile(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << text;
}

}  // namespace

// The limit that holds is often not on the process's own group: a
// container or a job scheduler sets it on a parent, and machines still on
// the first version of control groups name it differently.
TEST(ControlGroupMemory, TheTightestLimitOfEitherVersionAndOfEveryParentHolds) {
    struct Case {
        const char* name;
        std::string cgroup;
        std::vector<std::pair<std::string, std::string>> files;  // under sys/fs/cgroup
        double limit;
    };
    const double gb = 1024.0 * 1024 * 1024;
    const std::vector<Case> cases = {
        {"version 1, set on a parent",
         "12:cpu,cpuacct:/job\n4:memory:/job/step\n",
         {{"memory/job/memory.limit_in_bytes", "3221225472\n"},
          {"memory/job/step/memory.limit_in_bytes", "9223372036854771712\n"},
          {"cpu,cpuacct/job/memory.limit_in_bytes", "1024\n"}},
         3 * gb},
        {"version 2, set on a parent", "0::/job/step\n",
         {{"job/memory.max", "2147483648\n"}, {"job/step/memory.max", "max\n"}},
         2 * gb},
        {"both versions side by side", "4:memory:/a\n0::/b\n",
         {{"memory/a/memory.limit_in_bytes", "5368709120\n"}, {"unified/b/memory.max", "4294967296\n"}},
         4 * gb},
        {"none set", "0::/job\n", {{"job/memory.max", "max\n"}}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir root;
        writeFile(root.file("proc/self/cgroup"), c.cgroup);
        for (const auto& [file, text] : c.files) writeFile(root.file("sys/fs/cgroup/" + file), text);
        EXPECT_EQ(controlGroupMemoryLimit(root.path()), c.limit);
    }
}
