// The RWE wind reader: copying, interpolating and binning a wind file's
// sectors onto the run's rays, with every percent of the file kept.
#include <gtest/gtest.h>

#include <filesystem>
#include <numeric>

#include "platform/numbers.h"
#include "platform/textfile.h"
#include "run_fixture.h"
#include "test_support.h"
#include "wave/wave_wind.h"

namespace quor::wave::testing {
namespace {

std::vector<double> iota(int m, double start, double step) {
    std::vector<double> v(static_cast<std::size_t>(m));
    for (int i = 0; i < m; ++i) v[static_cast<std::size_t>(i)] = start + step * i;
    return v;
}

double sum(const std::vector<double>& v) { return std::accumulate(v.begin(), v.end(), 0.0); }

TEST(WindBinning, FiftySixSectorsFollowTheLowerEdgeRule) {
    const auto P = iota(56, 1, 1);  // P(i) = i + 1, all different
    auto at = [&](int i) { return P[static_cast<std::size_t>(i)]; };

    const auto r16 = rayPercents(P, 16);
    EXPECT_DOUBLE_EQ(r16[0], at(0) + at(1) + at(2) + at(55));
    EXPECT_DOUBLE_EQ(r16[1], at(3) + at(4) + at(5));
    EXPECT_DOUBLE_EQ(r16[2], at(6) + at(7) + at(8) + at(9));
    EXPECT_DOUBLE_EQ(r16[15], at(52) + at(53) + at(54));

    const auto r32 = rayPercents(P, 32);
    EXPECT_DOUBLE_EQ(r32[0], at(0) + at(1));
    EXPECT_DOUBLE_EQ(r32[2], at(4));
    EXPECT_DOUBLE_EQ(r32[31], at(54) + at(55));

    // 40 rays: sector 4's lower edge lies exactly on a bin edge (22.5 degrees)
    // and belongs to the upper bin.
    const auto r40 = rayPercents(P, 40);
    EXPECT_DOUBLE_EQ(r40[2], at(3));
    EXPECT_DOUBLE_EQ(r40[3], at(4) + at(5));
    EXPECT_DOUBLE_EQ(r40[39], at(55));

    const auto r48 = rayPercents(P, 48);
    EXPECT_DOUBLE_EQ(r48[0], at(0) + at(1));
    EXPECT_DOUBLE_EQ(r48[6], at(7) + at(8));
    EXPECT_DOUBLE_EQ(r48[47], at(55));

    for (int n : {16, 32, 40, 48}) EXPECT_NEAR(sum(rayPercents(P, n)), sum(P), 1e-9) << n;
}

TEST(WindBinning, OtherSectorCountsKeepEveryPercent) {
    // More sectors than rays on the file's own grid: 36 sectors of 10
    // degrees onto 16 rays of 22.5 degrees.
    const auto P36 = iota(36, 0.5, 0.25);
    const auto r = rayPercents(P36, 16);
    EXPECT_NEAR(sum(r), sum(P36), 1e-9);
    // Ray 0 spans -11.25..11.25: sectors 0 and 1 (lower edges -5 and 5);
    // sector 35's lower edge (345) lies in the last ray's bin.
    EXPECT_DOUBLE_EQ(r[0], P36[0] + P36[1]);
    EXPECT_DOUBLE_EQ(r[1], P36[2] + P36[3]);  // edges 15 and 25 below 33.75
    EXPECT_DOUBLE_EQ(r[15], P36[34] + P36[35]);

    // Fewer sectors than rays: 8 sectors of 45 degrees onto 16 rays. Each
    // sector is shared by angle: half to the ray on its centre, a quarter
    // to each neighbour.
    const std::vector<double> P8 = {8, 16, 24, 0, 0, 0, 0, 32};
    const auto f = rayPercents(P8, 16);
    EXPECT_NEAR(sum(f), sum(P8), 1e-12);
    EXPECT_DOUBLE_EQ(f[0], 0.5 * 8 + 0.25 * 0 + 0);
    EXPECT_DOUBLE_EQ(f[1], 0.25 * 8 + 0.25 * 16);
    EXPECT_DOUBLE_EQ(f[2], 0.5 * 16);
    EXPECT_DOUBLE_EQ(f[15], 0.25 * 32 + 0.25 * 8);
    for (double v : f) EXPECT_GE(v, 0);

    // 16 sectors onto 56 rays: no ray of a windy sector is left without wind.
    const auto u = rayPercents(std::vector<double>(16, 6.25), 56);
    EXPECT_NEAR(sum(u), 100, 1e-9);
    for (double v : u) EXPECT_NEAR(v, 100.0 / 56, 1e-9);
}

TEST(WindSpeeds, InterpolatedBetweenNeighbouringSectors) {
    const auto S = iota(56, 3, 0.5);
    const auto r = raySpeeds(S, 32);
    EXPECT_DOUBLE_EQ(r[0], S[0]);
    EXPECT_NEAR(r[1], 0.25 * S[1] + 0.75 * S[2], 1e-12);  // 11.25 degrees
    // The last ray interpolates towards sector 0 again.
    const double a = 31 * 11.25, s = 360.0 / 56;
    EXPECT_NEAR(r[31], ((a - 54 * s) * S[55] + (55 * s - a) * S[54]) / s, 1e-9);
    for (double v : raySpeeds(std::vector<double>(56, 7.5), 40)) EXPECT_NEAR(v, 7.5, 1e-12);
    EXPECT_EQ(raySpeeds(S, 56), S);
}

class WindFile : public ::testing::Test {
protected:
    void write(const std::vector<std::string>& lines) {
        mf.windpath = tmp.file("w.Wind_RWE");
        platform::writeTextLines(mf.windpath, lines);
    }
    void read(int n) {
        DebugFileReporter debug(messages);
        wave_wind_cls(state, mf, wind, messages, debug).wavewind(static_cast<int16_t>(n));
    }
    test::TempDir tmp;
    model::ModelState state;
    model::MainFormState mf;
    model::WindSummary wind;
    test::RecordingMessages messages;
};

TEST_F(WindFile, EqualCountsAreCopiedAndTheHeaderKept) {
    write(windFileLines(iota(16, 2, 1), iota(16, 1, 0.5)));
    state.debug_mode = 1;
    state.app_folder = tmp.path();
    read(16);
    ASSERT_EQ(state.err_wind, 0);
    EXPECT_EQ(wind.wind_num, 16);
    EXPECT_EQ(wind.wind_station, "test station");
    EXPECT_EQ(wind.wind_cutoff, "0m/s");
    for (int d = 0; d < 16; ++d) {
        EXPECT_EQ(state.windarray(d), 2 + d);
        EXPECT_EQ(state.durarray(d), 1 + 0.5 * d);
    }
    EXPECT_EQ(state.windarray(16), 0);
    EXPECT_FALSE(std::filesystem::exists(tmp.path() + "/Project/output_data/wind-dur.txt"));

    // Re-binned percentages go to the debug file: 63 lines.
    write(windFileLines(iota(56, 2, 0.1), std::vector<double>(56, 1)));
    read(16);
    const auto lines = platform::readTextLines(tmp.path() + "/Project/output_data/wind-dur.txt");
    ASSERT_EQ(lines.size(), 63u);
    EXPECT_EQ(lines[0], "Quor Wave Height File");
    EXPECT_EQ(lines[2], " 0   4");
    EXPECT_EQ(lines[62], " 60   0");
}

TEST_F(WindFile, ImpossibleNumbersAreRefusedNamingTheirLine) {
    const auto good = windFileLines(iota(56, 2, 0.1), std::vector<double>(56, 1));
    auto refusal = [&](int line, const std::string& text) {
        auto lines = good;
        lines[static_cast<std::size_t>(line - 1)] = text;
        try {
            parseRweWindFile(lines);
        } catch (const WindValueError& e) {
            return std::string(e.what());
        } catch (const std::exception& e) {
            return "the wrong error: " + std::string(e.what());
        }
        return std::string("accepted");
    };
    // Line 10 is sector 0's speed, line 66 its percentage, line 8 the count.
    for (auto [line, text] :
         {std::pair{10, "1e308"}, {10, "-500"}, {10, "inf"}, {66, "150"}, {66, "nan"}, {8, "99999"}, {8, "1e308"}}) {
        const std::string named = "Line " + std::to_string(line) + " of the wind file, \"" + text + "\"";
        EXPECT_EQ(refusal(line, text).rfind(named, 0), 0u) << refusal(line, text);
    }
    auto tooMuch = good;
    tooMuch[9 + 56] = "50";  // 50 + 55 sectors of 1
    EXPECT_THROW(parseRweWindFile(tooMuch), WindValueError);
    auto rounded = good;
    rounded[9 + 56] = "45.28";  // rounding may pass 100 a little
    EXPECT_NO_THROW(parseRweWindFile(rounded));

    // The run is told which line to mend.
    auto bad = good;
    bad[9] = "-500";
    write(bad);
    read(32);
    EXPECT_EQ(state.err_wind, 1);
    ASSERT_EQ(messages.entries.size(), 1u);
    EXPECT_EQ(messages.entries[0].text, std::string(kWindFormatMessage) +
                                            "\nLine 10 of the wind file, \"-500\": a wind speed cannot be negative.");
}

TEST_F(WindFile, EveryRefusalNamesItsLine) {
    const auto good = windFileLines(iota(56, 2, 0.1), std::vector<double>(56, 1));
    struct Case {
        const char* what;
        std::vector<std::string> lines;
        int line;
    };
    auto with = [&](int line, const char* text) {
        auto l = good;
        l[static_cast<std::size_t>(line - 1)] = text;
        return l;
    };
    auto cut = good;
    cut.resize(100);
    auto longer = good;
    longer.resize(162, "");
    const Case cases[] = {
        {"sectors beyond the tables", with(8, "60"), 8},
        {"the largest sector count", with(8, "32767"), 8},
        {"no sectors", with(8, "0"), 8},
        {"a count that is text", with(8, "many"), 8},
        {"a speed with letters", with(10, "12abc"), 10},
        {"a percentage that is text", with(69, "calm"), 69},
        {"a file cut short", cut, 101},
        {"one line too many", longer, 162},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        messages.entries.clear();
        write(c.lines);
        read(32);
        EXPECT_EQ(state.err_wind, 1);
        ASSERT_EQ(messages.entries.size(), 1u);
        const std::string text = messages.entries[0].text;
        const std::string reason = text.substr(std::min(text.size(), std::string(kWindFormatMessage).size()));
        EXPECT_EQ(text.rfind(std::string(kWindFormatMessage) + "\n", 0), 0u) << text;
        EXPECT_TRUE(reason.find("Line " + std::to_string(c.line) + " ") != std::string::npos ||
                    reason.find("line " + std::to_string(c.line)) != std::string::npos)
            << text;
    }
}

TEST_F(WindFile, UnusableFilesRaiseTheFlagWithTheMessage) {
    auto expectRefused = [&](const std::vector<std::string>& lines, const char* why) {
        messages.entries.clear();
        write(lines);
        read(32);
        EXPECT_EQ(state.err_wind, 1) << why;
        ASSERT_EQ(messages.entries.size(), 1u) << why;
        EXPECT_EQ(messages.entries[0].text.rfind(kWindFormatMessage, 0), 0u) << why;
        EXPECT_EQ(messages.entries[0].icon, platform::MessageIcon::Exclamation);
    };
    auto good = windFileLines(iota(56, 2, 0.1), std::vector<double>(56, 1));
    auto bad = good;
    bad[9 + 56 + 3] = "calm";
    expectRefused(bad, "a percentage that is text");
    bad = good;
    bad.resize(100);
    expectRefused(bad, "a file cut short");
    bad = good;
    bad[7] = "0";
    expectRefused(bad, "no sectors");
    auto m60 = windFileLines(std::vector<double>(60, 5), std::vector<double>(60, 1));
    expectRefused(m60, "more sectors than the tables hold");
    auto long162 = good;
    long162.resize(162, "");
    expectRefused(long162, "162 lines");
    mf.windpath = tmp.file("missing.Wind_RWE");
    messages.entries.clear();
    read(32);
    EXPECT_EQ(state.err_wind, 1);

    // Exactly 161 lines is still a wind file.
    auto long161 = good;
    long161.resize(161, "");
    write(long161);
    read(32);
    EXPECT_EQ(state.err_wind, 0);
}

}  // namespace
}  // namespace quor::wave::testing
