#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "model/model_state.h"
#include "test_support.h"
#include "wave/debug_files.h"

using namespace quor;
using namespace quor::wave;

namespace {
std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}
}  // namespace

TEST(DebugFiles, ArrayFileLayout) {
    test::TempDir tmp;
    model::BoundedArray<double, 60> values;
    values(0) = 12.25;
    values(1) = 1.5;
    values(2) = 912.125;   // half to even at the 2nd decimal: 912.12
    values(3) = 0.135;     // written number decides the tie: 0.14
    values(4) = -0.001;    // rounds to 0, written as 0
    values(5) = 10000;     // no exponent, no separator
    values(55) = 0.004999;
    const std::string path = tmp.path() + "/Project/output_data/fetcharray.txt";
    writeOutputArrayFile(path, kFetchFileTitle, values);  // folder created on the way

    const std::string text = slurp(path);
    std::string expected = "Quor Fetch File\r\n\r\n";
    const char* firstRows[] = {"12.25", "1.5", "912.12", "0.14", "0", "10000"};
    for (int k = 0; k <= 60; ++k)
        expected += " " + std::to_string(k) + "   " + (k < 6 ? firstRows[k] : "0") + "\r\n";
    EXPECT_EQ(text, expected);

    // Overwritten, never appended.
    values.erase();
    writeOutputArrayFile(path, kFetchFileTitle, values);
    const std::string again = slurp(path);
    EXPECT_EQ(again.size(), text.size() - std::string("12.251.5912.120.1410000").size() + 5);
    EXPECT_EQ(again.substr(again.size() - 60), text.substr(text.size() - 60));
}

TEST(DebugFiles, EnabledOnlyInDebugModeWithAWritableDataFolder) {
    test::TempDir tmp;
    model::ModelState st;
    st.app_folder = tmp.path();
    EXPECT_FALSE(debugOutputEnabled(st));
    st.debug_mode = 1;
    EXPECT_TRUE(debugOutputEnabled(st));
    ::chmod(tmp.path().c_str(), 0555);
    EXPECT_FALSE(debugOutputEnabled(st));
    ::chmod(tmp.path().c_str(), 0755);
    st.app_folder.clear();  // no data folder: nowhere to write
    EXPECT_FALSE(debugOutputEnabled(st));
    EXPECT_EQ(debugOutputFolder("/a/b"), "/a/b/Project/output_data");
}

TEST(DebugFiles, FailedWritesAreReportedOncePerRunAndNeverThrow) {
    test::TempDir tmp;
    // A plain file where the folder should be: neither the folder nor the
    // file can be made, whoever runs the test.
    std::ofstream(tmp.file("blocker")) << "x";
    const std::string bad = tmp.path() + "/blocker/output_data/WvHt.txt";
    model::BoundedArray<double, 60> values;

    test::RecordingMessages messages;
    DebugFileReporter reporter(messages);
    EXPECT_FALSE(reporter.writeArray(bad, kDepthFileTitle, values));
    EXPECT_FALSE(reporter.writeArray(bad, kDepthFileTitle, values));
    EXPECT_FALSE(reporter.attempt(bad, [] { throw std::runtime_error("disk full"); }));
    EXPECT_EQ(reporter.failures(), 3);
    ASSERT_EQ(messages.entries.size(), 1u);
    EXPECT_NE(messages.entries[0].text.find(bad), std::string::npos);
    EXPECT_EQ(messages.entries[0].icon, platform::MessageIcon::Exclamation);

    // A good write still goes through after a failure.
    const std::string good = tmp.path() + "/out/WvHt.txt";
    EXPECT_TRUE(reporter.writeArray(good, kDepthFileTitle, values));
    EXPECT_TRUE(std::filesystem::exists(good));

    // A fresh run reports again.
    DebugFileReporter next(messages);
    EXPECT_FALSE(next.writeArray(bad, kDepthFileTitle, values));
    EXPECT_EQ(messages.entries.size(), 2u);
    EXPECT_THROW(writeOutputArrayFile(bad, kDepthFileTitle, values), std::exception);
}
