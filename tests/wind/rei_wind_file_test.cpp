#include <gtest/gtest.h>

#include <QLocale>

#include <clocale>
#include <fstream>
#include <sstream>

#include "platform/textfile.h"
#include "test_support.h"
#include "wind/rei_wind_file.h"

using namespace quor::wind;
using quor::platform::DateTime;

namespace {

std::string bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string crlf(std::initializer_list<const char*> lines) {
    std::string s;
    for (const char* l : lines) s += std::string(l) + "\r\n";
    return s;
}

const DateTime kCreated{2024, 3, 14, 14, 5, 7};

// The hand-entry sample: speeds typed in mph (9, 11, 14, 21, 17, 10, 12, 13).
ReiWindClimate handClimate() {
    ReiWindClimate c;
    const double mph[] = {9, 11, 14, 21, 17, 10, 12, 13};
    const double pct[] = {6.5, 7.25, 11, 28.75, 16.5, 8, 9.5, 12.5};
    for (int k = 0; k < 8; ++k) {
        c.speed[k] = mph[k] * 0.447;
        c.percent[k] = pct[k];
    }
    return c;
}

// The analysis sample, before rounding to 2 decimals.
ReiWindClimate analysisClimate() {
    return {{7.9, 8.2149, 8.17, 10.105, 8.72, 8.76, 9.08, 7.965}, {6.38, 7.42, 11.25, 31.44, 15.551, 7.66, 9.28, 11.02}};
}

const char* const kHandLines[] = {"Winddata File Quor Project", "", "Created on: 3/14/2024 2:05:07 PM", "",
                                  "4.023", "6.5", "4.917", "7.25", "6.258", "11", "9.387", "28.75",
                                  "7.599", "16.5", "4.47", "8", "5.364", "9.5", "5.811", "12.5"};
const char* const kAnalysisValues[] = {"7.9",  "6.38", "8.21", "7.42",  "8.17", "11.25", "10.1", "31.44",
                                       "8.72", "15.55", "8.76", "7.66", "9.08", "9.28",  "7.96", "11.02"};

std::string join(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines) s += l + "\r\n";
    return s;
}

std::vector<std::string> analysisHead() {
    std::vector<std::string> v(kHandLines, kHandLines + 4);
    v.insert(v.end(), std::begin(kAnalysisValues), std::end(kAnalysisValues));
    return v;
}

}  // namespace

TEST(ReiWindFile, EachVariantIsWrittenByteForByte) {
    quor::test::TempDir dir;
    const std::vector<std::string> hand(std::begin(kHandLines), std::end(kHandLines));

    writeReiWindHandEntry(dir.file("hand.txt"), handClimate(), kCreated);
    EXPECT_EQ(bytes(dir.file("hand.txt")), join(hand));

    writeReiWindHandTemporary(dir.file("handtmp.txt"), handClimate(), "Bay pier", "mm/dd/yyyy:hh:mm",
                              "12/31/2010", kCreated);
    auto handTmp = hand;
    handTmp.insert(handTmp.end(), {"", "Bay pier", "mm/dd/yyyy:hh:mm", "12/31/2010"});
    EXPECT_EQ(bytes(dir.file("handtmp.txt")), join(handTmp));

    // Values rounded half to even on their decimal text: 8.2149 -> 8.21,
    // 10.105 -> 10.1, 7.965 -> 7.96, 15.551 -> 15.55.
    const DateTime start{2010, 1, 1}, end{2010, 12, 31, 23, 0, 0};
    writeReiWindAnalysis(dir.file("a.Wind_REI"), analysisClimate(), "clkn7, Cape Lookout NC", start, end, 7.2,
                         kCreated);
    auto analysis = analysisHead();
    analysis.insert(analysis.end(), {"", "clkn7, Cape Lookout NC", "1/1/2010", "12/31/2010 11:00:00 PM", "7.2m/s"});
    EXPECT_EQ(bytes(dir.file("a.Wind_REI")), join(analysis));

    writeReiWindAnalysisTemporary(dir.file("atmp.txt"), analysisClimate(), "clkn7, Cape Lookout NC", start, end,
                                  7.2, kCreated);
    auto analysisTmp = analysisHead();
    analysisTmp.insert(analysisTmp.end(), {"Station IDclkn7, Cape Lookout NC", "Start Date:1/1/2010",
                                           "End Date:12/31/2010 11:00:00 PM", "Cutoff Speed: 7.2 m/s"});
    EXPECT_EQ(bytes(dir.file("atmp.txt")), join(analysisTmp));
}

TEST(ReiWindFile, EachVariantReadsBack) {
    quor::test::TempDir dir;
    const DateTime start{2010, 1, 1}, end{2010, 12, 31, 23, 0, 0};
    writeReiWindHandEntry(dir.file("h.txt"), handClimate(), kCreated);
    writeReiWindHandTemporary(dir.file("ht.txt"), handClimate(), "S1", "1/2/2003", "4/5/2006", kCreated);
    writeReiWindAnalysis(dir.file("a.txt"), analysisClimate(), "clkn7", start, end, 7.2, kCreated);
    writeReiWindAnalysisTemporary(dir.file("at.txt"), analysisClimate(), "clkn7", start, end, 7.2, kCreated);

    const auto h = readReiWindFile(dir.file("h.txt"));
    EXPECT_EQ(h.lineCount, 20);
    EXPECT_EQ(h.climate.speed, handClimate().speed);  // 15 digits read back to the same doubles
    EXPECT_EQ(h.climate.percent, handClimate().percent);
    EXPECT_EQ(h.station + h.startdate + h.enddate + h.cutoff, "");

    const auto ht = readReiWindFile(dir.file("ht.txt"));
    EXPECT_EQ(ht.lineCount, 24);
    EXPECT_EQ(ht.station, "S1");
    EXPECT_EQ(ht.startdate, "1/2/2003");
    EXPECT_EQ(ht.enddate, "4/5/2006");
    EXPECT_EQ(ht.cutoff, "");

    const auto a = readReiWindFile(dir.file("a.txt"));
    EXPECT_EQ(a.lineCount, 25);
    EXPECT_EQ(a.climate.speed[1], 8.21);
    EXPECT_EQ(a.climate.percent[4], 15.55);
    EXPECT_EQ(a.station, "clkn7");
    EXPECT_EQ(a.enddate, "12/31/2010 11:00:00 PM");
    EXPECT_EQ(a.cutoff, "7.2m/s");

    // The temporary analysis file has no empty line 20: its labelled lines
    // shift by one, as files already written that way do.
    const auto at = readReiWindFile(dir.file("at.txt"));
    EXPECT_EQ(at.lineCount, 24);
    EXPECT_EQ(at.station, "Start Date:1/1/2010");
    EXPECT_EQ(at.cutoff, "");
}

TEST(ReiWindFile, WorkedValuesOfTheVariants) {
    quor::test::TempDir dir;
    ReiWindClimate zero;
    writeReiWindHandEntry(dir.file("z.txt"), zero, kCreated);
    auto lines = quor::platform::readTextLines(dir.file("z.txt"));
    for (int i = 4; i < 20; ++i) EXPECT_EQ(lines[i], "0");

    ReiWindClimate c;
    c.speed[0] = 10 * 0.447;  // 10 mph
    c.speed[1] = 2.125;
    c.speed[2] = 2.375;
    writeReiWindHandEntry(dir.file("h.txt"), c, kCreated);
    EXPECT_EQ(quor::platform::readTextLines(dir.file("h.txt"))[4], "4.47");
    writeReiWindAnalysis(dir.file("a.txt"), c, "s", DateTime{2010, 1, 1}, DateTime{2010, 2, 1}, 7, kCreated);
    lines = quor::platform::readTextLines(dir.file("a.txt"));
    EXPECT_EQ(lines[6], "2.12");  // an exact half goes to the even digit
    EXPECT_EQ(lines[8], "2.38");
    EXPECT_EQ(lines[24], "7m/s");
    // Midnight and noon on the 12-hour clock.
    EXPECT_EQ(quor::platform::formatDateTime(DateTime{2010, 2, 1, 12, 0, 0}), "2/1/2010 12:00:00 PM");
    EXPECT_EQ(quor::platform::formatLongTime(DateTime{2010, 2, 1, 0, 30, 0}), "12:30:00 AM");
}

TEST(ReiWindFile, ATextWithALineBreakCannotShiftTheLines) {
    quor::test::TempDir dir;
    writeReiWindHandTemporary(dir.file("t.txt"), handClimate(), "Pier\r\n7.5\tnorth", "1/1/2010\n", "x", kCreated);
    const auto lines = quor::platform::readTextLines(dir.file("t.txt"));
    ASSERT_EQ(lines.size(), 24u);
    EXPECT_EQ(lines[21], "Pier7.5north");
    EXPECT_EQ(lines[22], "1/1/2010");
    writeReiWindAnalysis(dir.file("a.txt"), handClimate(), "clkn7\r\nX", DateTime{2010, 1, 1}, DateTime{2010, 1, 2},
                         1, kCreated);
    EXPECT_EQ(quor::platform::readTextLines(dir.file("a.txt")).size(), 25u);
}

TEST(ReiWindFile, ReaderRefusesLongFilesAndLinesWithoutNumbers) {
    quor::test::TempDir dir;
    std::vector<std::string> lines(kHandLines, kHandLines + 20);
    lines.resize(29, "extra");
    quor::platform::writeTextLines(dir.file("29.txt"), lines);
    EXPECT_EQ(readReiWindFile(dir.file("29.txt")).lineCount, 29);
    lines.push_back("extra");
    quor::platform::writeTextLines(dir.file("30.txt"), lines);
    EXPECT_THROW(readReiWindFile(dir.file("30.txt")), ReiWindFileError);

    lines.resize(20);
    lines[19] = "";
    quor::platform::writeTextLines(dir.file("empty19.txt"), lines);
    EXPECT_THROW(readReiWindFile(dir.file("empty19.txt")), ReiWindFileError);
    lines[19] = "12.5 %";
    quor::platform::writeTextLines(dir.file("bad19.txt"), lines);
    EXPECT_THROW(readReiWindFile(dir.file("bad19.txt")), ReiWindFileError);
    EXPECT_THROW(readReiWindFile(dir.file("missing.txt")), ReiWindFileError);

    // A file written under a decimal-comma locale still reads; a comma
    // beside a point is a thousands separator and is refused.
    lines[19] = "12,5";
    lines[4] = "4,023";
    quor::platform::writeTextLines(dir.file("comma.txt"), lines);
    const auto c = readReiWindFile(dir.file("comma.txt"));
    EXPECT_EQ(c.climate.percent[7], 12.5);
    EXPECT_EQ(c.climate.speed[0], 4.023);
    lines[19] = "1,012.5";
    quor::platform::writeTextLines(dir.file("thousands.txt"), lines);
    EXPECT_THROW(readReiWindFile(dir.file("thousands.txt")), ReiWindFileError);
}

TEST(ReiWindFile, ImpossibleNumbersAreRefusedNamingTheirLine) {
    quor::test::TempDir dir;
    auto refusal = [&](int line, const std::string& text) {
        std::vector<std::string> lines(kHandLines, kHandLines + 20);
        lines[static_cast<std::size_t>(line - 1)] = text;
        quor::platform::writeTextLines(dir.file("w.txt"), lines);
        try {
            readReiWindFile(dir.file("w.txt"));
        } catch (const ReiWindValueError& e) {
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    // Line 5 is the east speed, line 6 its percentage.
    EXPECT_EQ(refusal(5, "1e308"),
              "Line 5 of the wind file, \"1e308\": a mean wind speed above 100 m/s is not possible.");
    EXPECT_EQ(refusal(5, "-500"), "Line 5 of the wind file, \"-500\": a wind speed cannot be negative.");
    EXPECT_EQ(refusal(5, "1e400"), "Line 5 of the wind file, \"1e400\": a wind speed must be a finite number.");
    EXPECT_EQ(refusal(6, "100.5"),
              "Line 6 of the wind file, \"100.5\": a percentage of time must lie between 0 and 100.");
    EXPECT_EQ(refusal(6, "60"),
              "Lines 6 to 20 of the wind file: the percentages of time add up to 153.5, more than 100.");
    EXPECT_EQ(refusal(6, "7.4"), "accepted");  // 100.9: within the rounding of the other writers
}

TEST(ReiWindFile, SampleFilesReadAndAreReproducedByTheWriters) {
    QUOR_REQUIRE_PORTPHILLIP(data);
    const auto analysis = readReiWindFile(data + "/sample.Wind_REI");
    EXPECT_EQ(analysis.lineCount, 25);
    EXPECT_EQ(analysis.climate.speed[3], 10.11);
    EXPECT_EQ(analysis.climate.percent[3], 31.44);
    EXPECT_EQ(analysis.station, "clkn7, Cape Lookout NC");
    EXPECT_EQ(analysis.cutoff, "7.2m/s");

    quor::test::TempDir dir;
    writeReiWindHandEntry(dir.file("hand.txt"), handClimate(), kCreated);
    EXPECT_EQ(bytes(dir.file("hand.txt")), bytes(data + "/sample_hand_rei.txt"));
    writeReiWindAnalysis(dir.file("a.Wind_REI"), analysis.climate, analysis.station, DateTime{2010, 1, 1},
                         DateTime{2010, 12, 31, 23, 0, 0}, 7.2, kCreated);
    EXPECT_EQ(bytes(dir.file("a.Wind_REI")), bytes(data + "/sample.Wind_REI"));
}

TEST(ReiWindFile, ADecimalCommaLocaleWritesAndReadsTheSame) {
    quor::test::TempDir dir;
    writeReiWindHandEntry(dir.file("c.txt"), handClimate(), kCreated);
    const std::string inC = bytes(dir.file("c.txt"));

    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const std::string numericBefore = std::setlocale(LC_NUMERIC, nullptr);
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"})
        if (std::setlocale(LC_NUMERIC, name)) break;
    writeReiWindHandEntry(dir.file("de.txt"), handClimate(), kCreated);
    const auto back = readReiWindFile(dir.file("de.txt"));
    std::setlocale(LC_NUMERIC, numericBefore.c_str());
    QLocale::setDefault(before);

    EXPECT_EQ(bytes(dir.file("de.txt")), inC);
    EXPECT_EQ(back.climate.speed, handClimate().speed);
}
