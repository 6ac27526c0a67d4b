// The outage report: stamps, durations and line reading at their edges, then
// whole rebuilds of ERR_list.csv from daily logs in a scratch folder.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "err_list.h"
#include "line_reader.h"
#include "stamp.h"
#include "temp_folder.h"

namespace vellomar {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

TEST(Stamp, CountsSecondsAcrossMonthsYearsAndLeapDaysAndFormatsDurationsPastADay)
{
    report::StampParser parser;
    const auto at = [&](const char* stamp) { return parser.Parse(stamp).value(); };
    EXPECT_EQ(at("2015/02/01 00:00:00") - at("2015/01/31 23:59:50"), 10);
    EXPECT_EQ(at("2016/01/01 00:00:00") - at("2015/12/31 23:59:59"), 1);
    EXPECT_EQ(at("2015/03/01 00:00:00") - at("2015/02/28 00:00:00"), 86400);
    EXPECT_EQ(at("2016/03/01 00:00:00") - at("2016/02/29 23:59:59"), 1);
    EXPECT_EQ(at("2000/03/01 00:00:00") - at("2000/02/29 00:00:00"), 86400);
    EXPECT_EQ(report::FormatDuration(86399), "23:59:59");
    EXPECT_EQ(report::FormatDuration(86400), "24:00:00");
    EXPECT_EQ(report::FormatDuration(100 * 3600), "100:00:00");
}

TEST(LineReader, SplitsLinesAcrossBlocksAndPassesOverLinesTooLongForTheBuffer)
{
    const vellomar::testing::TempFolder folder;
    const auto file = folder / "lines.txt";
    std::ofstream(file, std::ios::binary) << "ab\r\ncdefg\nhijklmnopqrstu\nxy\r\n\nlast";
    const std::pair<std::size_t, Lines> cases[] = {
        {1024, {"ab", "cdefg", "hijklmnopqrstu", "xy", "", "last"}}, {8, {"ab", "cdefg", "xy", "", "last"}},
        {5, {"ab", "xy", "", "last"}}};  // "cdefg" alone fills 5
    for (const auto& [capacity, lines] : cases) {
        Lines read;
        EXPECT_TRUE(report::LineReader(capacity).ReadFile(file, [&](std::string_view l) { read.emplace_back(l); }));
        EXPECT_EQ(read, lines) << capacity;
    }
}

// Logs by name. A name given again has its lines appended; a name ending in "/" is a folder.
using Logs = std::vector<std::pair<std::string, Lines>>;

std::string Day(const std::string& date, const std::string& total) { return "-----;-----; ;" + date + ";" + total; }

std::string Csv(const Lines& rows)
{
    std::string text = "Prekinitve Telemach interneta\r\nOd;Do;\xC8" "as;Dan;Dnevno\r\n";
    for (const auto& row : rows) {
        text += row + "\r\n";
    }
    return text;
}

// "U hh:mm:ss" and "D hh:mm:ss" stand for an answered and a timed-out record
// stamped with the date in the log's name; other lines are written as given.
std::string Expand(const std::string& name, const std::string& line)
{
    if (line.size() != 10 || line[1] != ' ') {
        return line;
    }
    const std::string date = name.substr(5, 4) + "/" + name.substr(9, 2) + "/" + name.substr(11, 2);
    return date + line.substr(1) + (line[0] == 'U' ? ",23,0" : ",0,-10");
}

struct Progress : ReportProgress {
    void Clear() override { ++clears, items.clear(); }
    void AddItem(const std::string& name) override { items.push_back(name), onAdd(name); }
    int clears = 0;
    Lines items;
    std::function<void(const std::string&)> onAdd = [](const std::string&) {};
};

class ErrListTest : public ::testing::Test {
protected:
    void Write(const std::string& name, const Lines& lines)
    {
        fs::create_directories((dir_ / name).parent_path());
        std::ofstream out(dir_ / name, std::ios::binary | std::ios::app);
        for (const auto& line : lines) {
            out << Expand(name, line) << "\r\n";
        }
    }
    std::string Report() const
    {
        std::ifstream in(dir_ / "ERR_list.csv", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // The report rebuilt from these logs alone.
    std::string Rebuild(const Logs& logs)
    {
        for (const auto& entry : fs::directory_iterator(dir_)) {
            fs::remove_all(entry.path());
        }
        progress_ = Progress{};
        for (const auto& [name, lines] : logs) {
            Write(name, lines);
        }
        EXPECT_TRUE(MakeErrList(dir_, progress_));
        EXPECT_EQ(progress_.clears, 1);
        EXPECT_FALSE(fs::exists(dir_ / "ERR_list.csv.tmp"));
        return Report();
    }

    vellomar::testing::TempFolder folder_;
    const fs::path& dir_ = folder_.path();
    Progress progress_;
};

TEST_F(ErrListTest, OutageRowsAndDailyTotals)
{
    Lines longOutage[2];  // a time-out every minute from 00:00 on the 26th to 02:00 on the 27th
    for (int minute = 0; minute <= 26 * 60; ++minute) {
        char line[16];
        std::snprintf(line, sizeof line, "D %02d:%02d:00", minute / 60 % 24, minute % 60);
        longOutage[minute / (24 * 60)].push_back(line);
    }
    const char* const socketFailure = "Windows Sockets not responding correctly.";
    // Each would end the outage around it, or split it, if it were read as a record.
    const Lines noRecords = {socketFailure, "", "2015/01/26 12:00:0", "2015/01/26 12:00:00", "2015/01/26 12:00:00,0",
        "2015/01/26 12:00:00,0,", "2015/01/26 12:00:00,,0", "2015/01/26 12:00:00, 0,0", "2015/01/26 12:00:00,0,-",
        "2015/01/26 12:00:00,0,-10 ", "2015/01/26 12:00:00,0,-102015/01/26 12:00:10,0,0",
        "2015/01/26 12:00:00,12015/01/26 12:00:10,0,-10", "2015/01/26 12:00:2015/01/26 12:00:10,0,0",
        "2015/02/29 12:00:00,0,0", "2015/02/29 12:00:00,0,0", "1900/02/29 12:00:00,0,0", "2015/13/01 12:00:00,0,0",
        "2015/00/10 12:00:00,0,0", "2015/01/00 12:00:00,0,0", "2015/01/32 12:00:00,0,0", "2015/01/26 24:00:00,0,0",
        "2015/01/26 23:60:00,0,0", "2015/01/26 23:59:60,0,0", "2015-01-26 12:00:00,0,0", "2015/01/26T12:00:00,0,0",
        "2015/01/26 12-00:00,0,0", "2015/01/26 12:00-00,0,0", "2015/1/26 12:00:00 ,0,0", " 015/01/26 12:00:00,0,0",
        "2015/01/26 1a:00:00,0,0", "2015/01/26 -1:00:00,0,0"};
    const struct { const char* what; Logs logs; Lines rows; } cases[] = {
        {"an outage and a lone time-out, which gives no row, then a day without any",
         {{"PING_20150126.txt", {"U 10:00:00", "D 10:00:10", "D 10:00:20", "D 10:00:30", "U 10:00:40", "D 11:00:00",
                                 "U 11:00:10"}}, {"PING_20150127.txt", {"U 10:00:00", "U 10:00:10"}}},
         {"2015/01/26 10:00:10;2015/01/26 10:00:30;00:00:20", Day("2015/01/26", "00:00:20"),
          Day("2015/01/27", "00:00:00")}},
        {"no logs: the header alone", {}, {}},
        {"day from the log's name, else from its first record, else empty",
         {{"PING_20150301.txt", {"U 00:00:00"}}, {"PING_20150302.txt", {socketFailure}},
          {"PING_2015_old.txt", {socketFailure, "2015/02/02 08:00:00,23,0"}}, {"PING_x.txt", {""}}},
         {Day("2015/03/01", "00:00:00"), Day("2015/03/02", "00:00:00"), Day("2015/02/02", "00:00:00"),
          Day("", "00:00:00")}},
        {"across midnight into the next log, and ending at the last record of a log",
         {{"PING_20150126.txt", {"U 23:59:40", "D 23:59:50"}},
          {"PING_20150127.txt", {"D 00:00:10", "D 00:00:20", "U 00:00:30", "D 23:59:40", "D 23:59:50"}},
          {"PING_20150128.txt", {"U 00:00:00"}}},
         {Day("2015/01/26", "00:00:00"), "2015/01/26 23:59:50;2015/01/27 00:00:20;00:00:30",
          Day("2015/01/27", "00:00:30"), "2015/01/27 23:59:40;2015/01/27 23:59:50;00:00:10",
          Day("2015/01/28", "00:00:10")}},
        {"longer than a day", {{"PING_20150126.txt", longOutage[0]}, {"PING_20150127.txt", longOutage[1]},
                               {"PING_20150127.txt", {"D 02:00:10", "U 02:00:20"}}},
         {Day("2015/01/26", "00:00:00"), "2015/01/26 00:00:00;2015/01/27 02:00:10;26:00:10",
          Day("2015/01/27", "26:00:10")}},
        {"only -10 is a time-out; a lone one, and an outage open at the end, give no row",
         {{"PING_20150126.txt", {"D 11:00:00", "2015/01/26 11:00:10,0,-100", "D 11:00:20", "2015/01/26 11:00:30,0,-1",
                                 "D 12:00:00", "D 12:00:10"}}},
         {Day("2015/01/26", "00:00:00")}},
        {"lines that are no records change nothing, and the run goes on",
         {{"PING_20150126.txt", {"U 10:00:00", "D 10:00:10"}}, {"PING_20150126.txt", noRecords},
          {"PING_20150126.txt", {"D 10:01:00", "U 10:01:10"}}, {"PING_20150127.txt", {"U 10:00:00"}}},
         {"2015/01/26 10:00:10;2015/01/26 10:01:00;00:00:50", Day("2015/01/26", "00:00:50"),
          Day("2015/01/27", "00:00:00")}},
        {"records more than 60 s apart, forward or back, split an outage; closer ones, even back in time, do not",
         {{"PING_20150126.txt", {"D 10:00:00", "D 10:01:00", "D 10:02:01", "2015/01/26 10:02:11,0,-10,later field",
                                 "U 10:02:21", "D 11:00:00", "D 11:05:00", "D 11:05:10", "D 11:03:00", "D 11:03:10",
                                 "D 11:02:40", "U 11:02:50"}}},
         {"2015/01/26 10:00:00;2015/01/26 10:01:00;00:01:00", "2015/01/26 10:02:01;2015/01/26 10:02:11;00:00:10",
          "2015/01/26 11:05:00;2015/01/26 11:05:10;00:00:10", "2015/01/26 11:03:00;2015/01/26 11:02:40;-00:00:20",
          Day("2015/01/26", "00:01:00")}},
        {"logs of any year and case in name order, whatever the listing's; no other names, no folders",
         {{"PING_20160101.txt", {"U 00:00:00"}}, {"ping_20150128.TXT", {"D 00:00:00", "U 00:00:10"}},
          {"PING_20150127.txt", {"D 23:59:50"}}, {"PING_20141231.txt", {"U 10:00:00"}},
          {"PING_20150126.txt.bak", {""}}, {"XPING_20150126.txt", {""}}, {"PING_20150129.txt/", {}}},
         {Day("2014/12/31", "00:00:00"), Day("2015/01/27", "00:00:00"),
          "2015/01/27 23:59:50;2015/01/28 00:00:00;00:00:10", Day("2015/01/28", "00:00:10"),
          Day("2016/01/01", "00:00:00")}},
    };
    for (const auto& [what, logs, rows] : cases) {
        EXPECT_EQ(Rebuild(logs), Csv(rows)) << what;
    }
}

TEST_F(ErrListTest, FailedRebuildKeepsThePreviousReportByteForByte)
{
    const std::string previous = Rebuild({{"PING_20150126.txt", {"D 10:00:00", "D 10:00:10", "U 10:00:20"}},
                                          {"PING_20150128.txt", {"U 10:00:00"}}});
    EXPECT_EQ(progress_.items, (Lines{"PING_20150126.txt", "PING_20150128.txt"}));
    const fs::path log = dir_ / "PING_20150127.txt", temporary = dir_ / "ERR_list.csv.tmp";
    fs::create_directory(temporary);  // the new report cannot be created: nothing is read or shown
    EXPECT_FALSE(MakeErrList(dir_, progress_));
    EXPECT_EQ(progress_.clears, 1);
    fs::remove(temporary);
    rlimit unlimited{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &unlimited), 0);
    const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails as on a full disk
    // Each breaks the rebuild as the log of the 27th, the second of three, is begun.
    const std::pair<std::function<void()>, std::size_t> failures[] = {
        {[&] { fs::remove(log); }, 2},                              // cannot be opened
        {[&] { fs::remove(log), fs::create_directory(log); }, 2},  // cannot be read
        {[&] { rlimit tiny = unlimited; tiny.rlim_cur = 40, ::setrlimit(RLIMIT_FSIZE, &tiny); }, 3},
    };
    for (const auto& failure : failures) {
        Write(log.filename(), {"U 10:00:00"});
        progress_.onAdd = [&](const std::string& name) {
            if (name == log.filename()) {
                failure.first();
            }
        };
        const bool rebuilt = MakeErrList(dir_, progress_);
        ::setrlimit(RLIMIT_FSIZE, &unlimited);
        EXPECT_FALSE(rebuilt);
        EXPECT_EQ(Report(), previous);
        EXPECT_EQ(progress_.items.size(), failure.second);
        EXPECT_FALSE(fs::exists(temporary));
        fs::remove_all(log);
    }
    std::signal(SIGXFSZ, savedHandler);
    // A new report that cannot take the old one's place, a folder, is not left behind either.
    fs::remove(dir_ / "ERR_list.csv"), fs::create_directories(dir_ / "ERR_list.csv/kept");
    EXPECT_FALSE(MakeErrList(dir_, progress_));
    EXPECT_FALSE(fs::exists(temporary));
}

}  // namespace
}  // namespace vellomar
