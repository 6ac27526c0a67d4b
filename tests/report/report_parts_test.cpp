// The pieces of a rebuild at their edges: stamps, durations, probe records and
// line reading.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "line_reader.h"
#include "probe_record.h"
#include "stamp.h"

namespace vellomar::report {
namespace {

TEST(Stamp, ConvertsAcrossMidnightMonthsYearsAndLeapDays)
{
    StampParser parser;
    const auto at = [&](const char* stamp) { return parser.Parse(stamp).value(); };
    EXPECT_EQ(at("1970/01/01 00:00:00"), 0);
    EXPECT_EQ(at("2015/01/26 12:34:56"), 16461 * 86400LL + 12 * 3600 + 34 * 60 + 56);
    EXPECT_EQ(at("2015/01/27 00:00:00") - at("2015/01/26 23:59:59"), 1);
    EXPECT_EQ(at("2015/02/01 00:00:00") - at("2015/01/31 23:59:50"), 10);
    EXPECT_EQ(at("2016/01/01 00:00:00") - at("2015/12/31 23:59:59"), 1);
    EXPECT_EQ(at("2015/03/01 00:00:00") - at("2015/02/28 00:00:00"), 86400);
    EXPECT_EQ(at("2016/03/01 00:00:00") - at("2016/02/28 00:00:00"), 2 * 86400);
    EXPECT_EQ(at("2000/03/01 00:00:00") - at("2000/02/29 00:00:00"), 86400);
}

TEST(Stamp, RejectsAnythingButAValidDateAndTimeOfDay)
{
    StampParser parser;
    // Valid neighbours first, so that a date kept from an earlier line cannot
    // let a bad one through.
    EXPECT_TRUE(parser.Parse("2015/01/26 10:00:00"));
    EXPECT_TRUE(parser.Parse("2015/02/28 10:00:00"));
    for (const char* bad : {"2015/02/29 10:00:00", "1900/02/29 00:00:00",
                            "2015/13/01 00:00:00", "2015/00/10 00:00:00", "2015/01/00 00:00:00",
                            "2015/01/32 00:00:00", "2015/01/26 24:00:00", "2015/01/26 23:60:00",
                            "2015/01/26 23:59:60", "2015-01-26 10:00:00", "2015/01/26T10:00:00",
                            "2015/01/26 10-00:00", "2015/1/26 10:00:00 ", " 015/01/26 10:00:00",
                            "2015/01/26 1a:00:00", "2015/01/26 -1:00:00"}) {
        EXPECT_FALSE(parser.Parse(bad)) << bad;
    }
    EXPECT_TRUE(parser.Parse("2016/02/29 23:59:59"));
    EXPECT_TRUE(parser.Parse("2000/02/29 00:00:00"));
}

TEST(Stamp, DurationsKeepCountingHoursPastADay)
{
    EXPECT_EQ(FormatDuration(0), "00:00:00");
    EXPECT_EQ(FormatDuration(20), "00:00:20");
    EXPECT_EQ(FormatDuration(3599), "00:59:59");
    EXPECT_EQ(FormatDuration(86399), "23:59:59");
    EXPECT_EQ(FormatDuration(86400), "24:00:00");
    EXPECT_EQ(FormatDuration(26 * 3600 + 10), "26:00:10");
    EXPECT_EQ(FormatDuration(100 * 3600), "100:00:00");
    EXPECT_EQ(FormatDuration(-20), "-00:00:20");
}

TEST(ProbeRecord, ReadsStampAndTimeOutAndSkipsWhatIsNoRecord)
{
    ProbeRecordParser parser;
    const auto timedOut = [&](const std::string& line) { return parser.Parse(line).value().timedOut; };
    EXPECT_FALSE(timedOut("2015/01/26 14:05:09,23,0"));
    EXPECT_FALSE(timedOut("2015/01/26 14:05:09,0,-1"));
    EXPECT_FALSE(timedOut("2015/01/26 14:05:09,0,-100"));
    EXPECT_TRUE(timedOut("2015/01/26 14:05:09,0,-10"));
    EXPECT_TRUE(timedOut("2015/01/26 14:05:09,0,-10,later field"));
    EXPECT_EQ(parser.Parse("2015/01/26 14:05:09,0,-10")->stamp, "2015/01/26 14:05:09");
    for (const char* notRecord : {"", "Windows Sockets not responding correctly.", "2015/01/26 14:05:0",
                                  "2015/01/26 14:05:09", "2015/01/26 14:05:09,0", "2015/01/26 14:05:09,0,",
                                  "2015/01/26 14:05:09,,0", "2015/01/26 14:05:09, 0,0", "2015/01/26 14:05:09,0,-",
                                  "2015/01/26 14:05:09,0,-10 ", "2015/01/26 25:05:09,0,0",
                                  // a record cut short, run together with the next one
                                  "2015/01/26 14:05:09,0,-102015/01/26 14:05:19,0,0",
                                  "2015/01/26 14:05:09,12015/01/26 14:05:19,0,-10",
                                  "2015/01/26 14:05:2015/01/26 14:05:19,0,0"}) {
        EXPECT_FALSE(parser.Parse(notRecord)) << notRecord;
    }
}

TEST(LineReader, SplitsLinesAcrossBlocksAndPassesOverLinesTooLongForTheBuffer)
{
    const auto file = std::filesystem::temp_directory_path() / ("vellomar_lines_" + std::to_string(::getpid()));
    std::ofstream(file, std::ios::binary) << "ab\r\ncdefg\nhijklmnopqrstu\nxy\r\n\nlast";
    const auto readLines = [&](std::size_t capacity) {
        std::vector<std::string> lines;
        LineReader reader(capacity);
        EXPECT_TRUE(reader.ReadFile(file, [&](std::string_view line) { lines.emplace_back(line); }));
        return lines;
    };
    using Lines = std::vector<std::string>;
    EXPECT_EQ(readLines(1024), (Lines{"ab", "cdefg", "hijklmnopqrstu", "xy", "", "last"}));
    EXPECT_EQ(readLines(8), (Lines{"ab", "cdefg", "xy", "", "last"}));
    EXPECT_EQ(readLines(5), (Lines{"ab", "xy", "", "last"}));  // "cdefg" fills it
    std::filesystem::remove(file);
}

}  // namespace
}  // namespace vellomar::report
