#include <gtest/gtest.h>

#include <QStandardPaths>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/gis/raster_readings.h"
#include "test_support.h"

using namespace quor::platform::gis;

namespace {

// The cache folder follows the home folder: each test has its own.
class OwnHome {
public:
    OwnHome() {
        if (const char* home = std::getenv("HOME")) old_ = home;
        setenv("HOME", dir_.path().c_str(), 1);
    }
    ~OwnHome() {
        if (old_) setenv("HOME", old_->c_str(), 1);
        else unsetenv("HOME");
    }
    std::string file(const std::string& name) const { return dir_.file(name); }

private:
    quor::test::TempDir dir_;
    std::optional<std::string> old_;
};

const std::string kDigest(64, 'a');
const std::string kOther(64, 'b');

std::string text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

void write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace

// What a reading found comes back exactly, to the sign of a zero and the
// extremes of a raster without a value, beside the other rasters' entries.
TEST(RasterReadings, TheExtremesComeBackExactly) {
    OwnHome home;
    constexpr double inf = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(rememberedExtremes(kDigest));
    rememberExtremes(kDigest, {-0.0, 0.1 + 0.2});
    rememberExtremes(kOther, {inf, -inf});
    const auto got = rememberedExtremes(kDigest);
    ASSERT_TRUE(got);
    EXPECT_TRUE(std::signbit(got->first));
    EXPECT_EQ(got->second, 0.1 + 0.2);
    EXPECT_EQ(rememberedExtremes(kOther), std::make_pair(inf, -inf));
}

// An entry cut short or changed, or a file that is not the program's, is
// as if nothing were remembered, and a new reading's entry takes its place.
TEST(RasterReadings, ADamagedOrForeignEntryIsIgnoredAndRewritten) {
    OwnHome home;
    rememberExtremes(kDigest, {-34.15625, -0.5625});
    const std::string whole = text(readingsFile());
    // "-0.5625" read as "-0.5", and a digit of the digest changed.
    const auto cut = whole.find("-0.5625");
    ASSERT_NE(cut, std::string::npos);
    write(readingsFile(), whole.substr(0, cut + 4) + " " + whole.substr(cut + 8));
    EXPECT_FALSE(rememberedExtremes(kDigest));
    std::string changed = whole;
    changed[changed.find(kDigest) + 5] = 'b';
    write(readingsFile(), changed);
    EXPECT_FALSE(rememberedExtremes(std::string(5, 'a') + "b" + std::string(58, 'a')));
    // Another program's file, or another GDAL's, of the same name.
    write(readingsFile(), "something else\n" + whole.substr(whole.find('\n') + 1));
    EXPECT_FALSE(rememberedExtremes(kDigest));

    rememberExtremes(kDigest, {-34.15625, -0.5625});
    EXPECT_EQ(rememberedExtremes(kDigest), std::make_pair(-34.15625, -0.5625));
}

// A cache that cannot be written costs the speed and nothing else.
TEST(RasterReadings, ACacheThatCannotBeWrittenIsNoFailure) {
    OwnHome home;
    const std::string folder = std::filesystem::path(readingsFile()).parent_path().string();
    std::filesystem::create_directories(std::filesystem::path(folder).parent_path());
    write(folder, "a file where the folder would be");
    EXPECT_NO_THROW(rememberExtremes(kDigest, {1, 2}));
    EXPECT_FALSE(rememberedExtremes(kDigest));
}

// The file is the program's own: a link in its place is neither written
// nor read through, and what it leads to stays as it was.
TEST(RasterReadings, ALinkInTheFilesPlaceIsLeftAsItIs) {
    OwnHome home;
    rememberExtremes(kDigest, {1, 2});
    const std::string theirs = home.file("theirs");
    std::filesystem::rename(readingsFile(), theirs);
    const std::string before = text(theirs);
    std::filesystem::create_symlink(theirs, readingsFile());
    rememberExtremes(kOther, {3, 4});
    EXPECT_EQ(text(theirs), before);
    EXPECT_TRUE(std::filesystem::is_symlink(readingsFile()));
    EXPECT_FALSE(rememberedExtremes(kDigest));
    EXPECT_FALSE(rememberedExtremes(kOther));
}

// A cache home that is not an absolute path is ignored, as the XDG
// base-directory rules say: the cache is not made wherever a run starts.
TEST(RasterReadings, ARelativeCacheHomeIsIgnored) {
    OwnHome home;
    const char* old = std::getenv("XDG_CACHE_HOME");
    const std::optional<std::string> kept = old ? std::optional<std::string>(old) : std::nullopt;
    setenv("XDG_CACHE_HOME", "relative/cache", 1);
    QStandardPaths::setTestModeEnabled(false);
    const std::string file = readingsFile();
    QStandardPaths::setTestModeEnabled(true);
    if (kept) setenv("XDG_CACHE_HOME", kept->c_str(), 1);
    else unsetenv("XDG_CACHE_HOME");
    EXPECT_EQ(file, home.file(".cache/quor/raster-readings"));
}

// Without a home or a cache home there is no place of the user's: nothing
// is kept, at the root or anywhere, and remembering costs nothing.
TEST(RasterReadings, WithoutAHomeNothingIsKept) {
    const quor::test::ScopedVariable home("HOME", ""), cacheHome("XDG_CACHE_HOME", "");
    unsetenv("HOME");
    unsetenv("XDG_CACHE_HOME");
    ASSERT_EQ(readingsFile(), "");
    EXPECT_NO_THROW(rememberExtremes(kDigest, {1, 2}));
    EXPECT_FALSE(rememberedExtremes(kDigest));
}

// Runs that remember readings at the same moment each keep theirs.
TEST(RasterReadings, RunsSideBySideKeepEveryEntry) {
    OwnHome home;
    const auto digest = [](int i) { return std::string(60, 'c') + std::to_string(1000 + i); };
    std::vector<std::thread> runs;
    for (int t = 0; t < 8; ++t)
        runs.emplace_back([&, t] {
            for (int i = 0; i < 4; ++i) rememberExtremes(digest(t * 4 + i), {t, i});
        });
    for (auto& r : runs) r.join();
    for (int i = 0; i < 32; ++i) EXPECT_EQ(rememberedExtremes(digest(i)), std::make_pair(double(i / 4), double(i % 4)));
}
