#include <gtest/gtest.h>

#include <QFile>

#include "buoy_fixtures.h"
#include "local_http_server.h"
#include "platform/date_text.h"
#include "platform/textfile.h"
#include "test_support.h"
#include "wind/buoy_year.h"
#include "wind/wind_datetime.h"

using namespace quor::wind;
using quor::test::LocalHttpServer;
using quor::test::Obs;

TEST(BuoyYearRequest, PathQueryAndStationCheck) {
    EXPECT_EQ(buoyYearPath("tplm2", 1999), "/view_text_file.php?filename=tplm2h1999.txt.gz&dir=data/historical/stdmet/");
    EXPECT_EQ(buoyYearUrl(" http://example.test:8080/ ", "clkn7", 2004),
              "http://example.test:8080/view_text_file.php?filename=clkn7h2004.txt.gz&dir=data/historical/stdmet/");
    EXPECT_EQ(buoyYearUrl("example.test", "clkn7", 2004).rfind("http://example.test/view_text_file.php", 0), 0u);

    EXPECT_TRUE(validStationId("clkn7"));
    EXPECT_TRUE(validStationId("BLIA2"));
    for (const char* bad : {"", "clkn", "clkn77", "cl n7", "cl&n7", "../x1", "clk\n7"}) EXPECT_FALSE(validStationId(bad)) << bad;
}

TEST(BuoyYearFormat, AcceptsBothLayoutsAndRefusesErrorPages) {
    EXPECT_TRUE(looksLikeBuoyYear(quor::test::buoyYearText(2004, {{1, 1, 0, "120", "5.0"}}), 2004));
    EXPECT_TRUE(looksLikeBuoyYear(quor::test::buoyYearText(2005, {{1, 1, 0, "120", "5.0"}}), 2005));
    EXPECT_TRUE(looksLikeBuoyYear("YY MM DD hh WD WSPD\nyr mo dy hr degT m/s\r\n98 03 01 06 120 5.0\r\n", 1998));

    EXPECT_FALSE(looksLikeBuoyYear("", 2004));
    EXPECT_FALSE(looksLikeBuoyYear("<html><body>Unable to access data file</body></html>\n", 2004));
    EXPECT_FALSE(looksLikeBuoyYear("<!DOCTYPE html>\n<html>\n<p>YY MM DD</p>\n", 2004));
    EXPECT_FALSE(looksLikeBuoyYear("Unable to access data file clkn7h2004.txt.gz\n", 2004));
    // Headers but no record line, or a record without the year's fields.
    EXPECT_FALSE(looksLikeBuoyYear("YYYY MM DD hh WD WSPD\nyr mo dy hr degT m/s\n", 2004));
    EXPECT_FALSE(looksLikeBuoyYear("YYYY MM DD hh WD WSPD\nyr mo dy hr degT m/s\n2005 01 01 00 50 120\n", 2005));
}

TEST(BuoyYearRecords, ReadEachLayoutUpToTheFirstEmptyLine) {
    // Before 2005: direction and speed in fields 5 and 6.
    BuoyYear y2004 = parseBuoyYear(quor::test::buoyYearText(2004, {{3, 1, 6, "120", "5.5"}, {3, 1, 7, "999", "MM"}}), 2004);
    ASSERT_EQ(y2004.records.size(), 2u);
    EXPECT_EQ(y2004.dataRows, 2);
    EXPECT_EQ(y2004.records[0].time, *windDateTime(2004, 3, 1, 6));
    EXPECT_EQ(y2004.records[0].direction, 120);
    EXPECT_EQ(y2004.records[0].speed, 5.5);
    EXPECT_TRUE(y2004.records[1].hasDirection);
    EXPECT_FALSE(y2004.records[1].hasSpeed);

    // From 2005 the minute field is dropped and the hour stays at :00.
    BuoyYear y2005 = parseBuoyYear(quor::test::buoyYearText(2005, {{12, 31, 23, "350", "7.25"}}), 2005);
    ASSERT_EQ(y2005.records.size(), 1u);
    EXPECT_EQ(y2005.records[0].time, *windDateTime(2005, 12, 31, 23));
    EXPECT_EQ(y2005.records[0].direction, 350);
    EXPECT_EQ(y2005.records[0].speed, 7.25);

    // Two-digit years, CR LF ends, and nothing after an empty line.
    BuoyYear old = parseBuoyYear("YY MM DD hh WD WSPD\r\nx\r\n98 03 01 06 10 2\r\n\r\n98 03 01 07 10 3\r\n", 1998);
    ASSERT_EQ(old.records.size(), 1u);
    EXPECT_EQ(old.records[0].time, *windDateTime(1998, 3, 1, 6));
    EXPECT_EQ(quor::platform::formatDateTime(quor::platform::DateTime::fromSerialDays(old.records[0].time)),
              "3/1/1998 6:00:00 AM");
}

TEST(WindDateTime, RefusesDatesThatDoNotExist) {
    EXPECT_FALSE(windDateTime(2003, 2, 29, 0));
    EXPECT_TRUE(windDateTime(2004, 2, 29, 0));
    EXPECT_FALSE(windDateTime(1995, 4, 31, 0));
    EXPECT_FALSE(windDateTime(1995, 1, 1, 24));
    EXPECT_EQ(*windDateTime(1899, 12, 30, 0), 0.0);
    EXPECT_EQ(*windDateTime(1995, 1, 1, 0), 34700.0);
}

TEST(BuoyYearDownload, ChecksTheAnswerAndSavesCompleteCopiesOnly) {
    LocalHttpServer server;
    const std::string good = quor::test::buoyYearText(2004, {{1, 1, 0, "120", "5.0"}});
    server.serve(buoyYearPath("clkn7", 2004), {200, good, "text/plain", LocalHttpServer::Reply::Mode::Normal});
    server.serve(buoyYearPath("clkn7", 2003),
                 {200, "<html><body>No such file</body></html>", "text/html", LocalHttpServer::Reply::Mode::Normal});
    HttpYearFetcher fetcher;

    YearDownload ok = downloadBuoyYear(fetcher, server.address(), "clkn7", 2004);
    ASSERT_TRUE(ok.ok) << ok.error;
    EXPECT_EQ(ok.text, good);
    EXPECT_FALSE(downloadBuoyYear(fetcher, server.address(), "clkn7", 2003).ok);  // a 200 error page
    EXPECT_FALSE(downloadBuoyYear(fetcher, server.address(), "clkn7", 2002).ok);  // 404
    EXPECT_FALSE(downloadBuoyYear(fetcher, server.address(), "a&b=c", 2004).ok);  // never requested
    EXPECT_EQ(server.requests().size(), 3u);

    quor::test::TempDir dir;
    const std::string path = dir.file("2004.txt");
    saveBuoyYearCopy(path, "a\nb\n");
    QFile f(QString::fromStdString(path));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().toStdString(), "\"a\nb\n\"\r\n");
    f.close();
    // A copy that cannot be written leaves the old file as it was.
    EXPECT_THROW(saveBuoyYearCopy(dir.file("no-such-folder/2004.txt"), "x"), quor::platform::FileError);
}
