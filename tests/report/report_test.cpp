// The outage report: stamps, durations and line reading at their edges, then
// whole rebuilds of ERR_list.csv from daily logs in a scratch folder.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/fsuid.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "err_list.h"
#include "line_reader.h"
#include "outage_page.h"
#include "page_tally.h"
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

TEST(LineReader, SplitsLinesAcrossBlocksPassesOverLinesTooLongForTheBufferAndSkipsToMarkedLines)
{
    const vellomar::testing::TempFolder folder;
    const auto file = folder / "lines.txt";
    std::ofstream(file, std::ios::binary) << "ab\r\ncd-efg\nhijklm-nopqrstu\nxy\r\n\nq-\nlast";
    const struct {
        std::size_t capacity;
        char wanted;
        Lines lines;
    } cases[] = {{1024, '\n', {"ab", "cd-efg", "hijklm-nopqrstu", "xy", "", "q-", "last"}},
                 {8, '\n', {"ab", "cd-efg", "xy", "", "q-", "last"}},  // the 15 characters of "hijklm-..." fill 8
                 {6, '\n', {"ab", "xy", "", "q-", "last"}},
                 // After the first line, only lines holding '-' are asked for.
                 {1024, '-', {"ab", "cd-efg", "hijklm-nopqrstu", "q-"}},
                 {8, '-', {"ab", "cd-efg", "q-"}},
                 {6, '-', {"ab", "q-"}},
                 {3, '-', {"", "q-"}}};  // "ab\r" fills 3: nothing asks for marked lines before ""
    for (const auto& [capacity, wanted, lines] : cases) {
        Lines read;
        report::LineReader reader(capacity);
        EXPECT_TRUE(reader.ReadFile(file, [&](std::string_view l) {
            read.emplace_back(l);
            return wanted;
        }));
        EXPECT_EQ(read, lines) << capacity << " " << wanted;
        EXPECT_EQ(reader.LinesInLastFile(), 7) << "every line counts, passed on or not";
    }
}

// Seconds of "hh:mm:ss", "-hh:mm:ss" or "100:00:00".
std::int64_t Seconds(const std::string& duration)
{
    const bool negative = duration.starts_with('-');
    const std::size_t colon = duration.find(':');
    const std::int64_t seconds = std::stoll(duration.substr(negative, colon)) * 3600 +
                                 std::stoll(duration.substr(colon + 1, 2)) * 60 +
                                 std::stoll(duration.substr(colon + 4));
    return negative ? -seconds : seconds;
}

// The text of the element with the given id.
std::string ById(const std::string& page, const std::string& id)
{
    const std::size_t at = page.find("id=\"" + id + "\">");
    const std::size_t begin = at + id.size() + 6;
    return at == std::string::npos ? "(no " + id + ")" : page.substr(begin, page.find('<', begin) - begin);
}

// The page beside the report must tell what the report tells: as many
// outages, the same outage time, each day's total in its calendar cell (the
// last 366 days), and the longest outages, longest first.
void ExpectPageAgreesWithReport(const std::string& page, const std::string& csv)
{
    std::int64_t total = 0, newest = INT64_MIN;
    std::vector<std::int64_t> durations;
    std::vector<std::pair<std::int64_t, std::string>> dayTitles;
    std::istringstream rows(csv.substr(csv.find("Dnevno\r\n") + 8));
    for (std::string row; std::getline(rows, row);) {
        row.pop_back();  // the CR
        const std::string duration = row.substr(row.rfind(';') + 1);
        if (!row.starts_with("-----;")) {
            durations.push_back(Seconds(duration));
            continue;
        }
        total += Seconds(duration);
        const std::string day = row.substr(14, row.rfind(';') - 14);
        if (const auto number = day.size() == 10 ? report::ParseDate(day.data()) : std::nullopt) {
            dayTitles.emplace_back(*number, "<title>" + day + ": " + duration + "</title>");
            newest = std::max(newest, *number);
        }
    }
    EXPECT_EQ(ById(page, "outage-count"), std::to_string(durations.size()));
    EXPECT_EQ(ById(page, "outage-time"), report::FormatDuration(total));
    for (const auto& [day, title] : dayTitles) {
        EXPECT_TRUE(day <= newest - report::kCalendarDays || page.find(title) != std::string::npos) << title;
    }
    std::sort(durations.rbegin(), durations.rend());
    durations.resize(std::min<std::size_t>(durations.size(), report::kLongestOutages));
    std::vector<std::int64_t> shown;
    const std::string cell = "<td class=\"number\">";
    for (std::size_t at = page.find(cell, page.find("id=\"longest\"")); at != std::string::npos;
         at = page.find(cell, at + 1)) {
        shown.push_back(Seconds(page.substr(at + cell.size(), page.find('<', at + cell.size()) - at - cell.size())));
    }
    EXPECT_EQ(shown, durations);
}

// Logs by name. A name given again has its lines appended; a name ending in "/" is a folder.
using Logs = std::vector<std::pair<std::string, Lines>>;

std::string Day(const std::string& date, const std::string& total)
{
    return "-----;-----; ;" + date + ";" + total;
}

std::string Csv(const Lines& rows)
{
    std::string text = "Prekinitve Telemach interneta\r\nOd;Do;\xC8"
                       "as;Dan;Dnevno\r\n";
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
    const std::string file = fs::path(name).filename().string();
    const std::string date = file.substr(5, 4) + "/" + file.substr(9, 2) + "/" + file.substr(11, 2);
    return date + line.substr(1) + (line[0] == 'U' ? ",23,0" : ",0,-10");
}

struct Progress : ReportProgress {
    void Clear() override { ++clears, items.clear(); }
    void AddItem(const std::string& name) override { items.push_back(name); }
    int clears = 0;
    Lines items;
};

// Permissions as an ordinary user meets them, for this thread and the threads
// it starts: as root, the folder goes to nobody and so does the file-system
// user id, which sets aside root's power to read and write anything.
struct AsOrdinaryUser {
#ifdef _WIN32
    explicit AsOrdinaryUser(const fs::path&)
    {}  // Windows has no root to set aside
#else
    explicit AsOrdinaryUser(const fs::path& folder)
    {
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            EXPECT_TRUE(!root || ::lchown(entry.path().c_str(), 65534, 65534) == 0);
        }
        EXPECT_TRUE(!root || ::chown(folder.c_str(), 65534, 65534) == 0);
        if (root) {
            ::setfsgid(65534), ::setfsuid(65534);  // nobody
        }
    }
    ~AsOrdinaryUser()
    {
        if (root) {
            ::setfsuid(0), ::setfsgid(0);
        }
    }
    AsOrdinaryUser(const AsOrdinaryUser&) = delete;
    const bool root = ::geteuid() == 0;
#endif
};

class ErrListTest : public ::testing::Test {
protected:
    void Write(const std::string& name, const Lines& lines, std::ios::openmode mode = std::ios::app)
    {
        fs::create_directories((dir_ / name).parent_path());
        std::ofstream out(dir_ / name, std::ios::binary | mode);
        for (const auto& line : lines) {
            out << Expand(name, line) << "\r\n";
        }
    }
    void WriteOnly(const Logs& logs)
    {
        vellomar::testing::RemoveAll(dir_), fs::create_directories(dir_);
        for (const auto& [name, lines] : logs) {
            Write(name, lines);
        }
    }
    std::string Report() const { return vellomar::testing::ReadBytes(dir_ / "ERR_list.csv"); }
    std::string Page() const { return vellomar::testing::ReadBytes(dir_ / "ERR_list.html"); }
    // The report rebuilt from these logs alone.
    std::string Rebuild(const Logs& logs)
    {
        WriteOnly(logs);
        progress_ = Progress {};
        EXPECT_TRUE(MakeErrList(dir_, progress_));
        EXPECT_EQ(progress_.clears, 1);
        EXPECT_FALSE(fs::exists(dir_ / "ERR_list.csv.tmp"));
        ExpectPageAgreesWithReport(Page(), Report());
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
    Lines noRecords = {socketFailure};
    std::istringstream malformed(
        "|2015/01/26 12:00:0|2015/01/26 12:00:00|2015/01/26 12:00:00,0|2015/01/26 12:00:00,0,|"
        "2015/01/26 12:00:00,,0|2015/01/26 12:00:00, 0,0|2015/01/26 12:00:00,0,-|2015/01/26 12:00:00,0,-10 |"
        "2015/01/26 12:00:00,0,-102015/01/26 12:00:10,0,0|2015/01/26 12:00:00,12015/01/26 12:00:10,0,-10|"
        "2015/01/26 12:00:2015/01/26 12:00:10,0,0|2015/02/29 12:00:00,0,0|1900/02/29 12:00:00,0,0|"
        "2015/13/01 12:00:00,0,0|2015/00/10 12:00:00,0,0|2015/01/00 12:00:00,0,0|2015/01/32 12:00:00,0,0|"
        "2015/01/26 24:00:00,0,0|2015/01/26 23:60:00,0,0|2015/01/26 23:59:60,0,0|2015-01-26 12:00:00,0,0|"
        "2015/01/26T12:00:00,0,0|2015/01/26 12-00:00,0,0|2015/01/26 12:00-00,0,0|2015/1/26 12:00:00 ,0,0|"
        " 015/01/26 12:00:00,0,0|2015/01/26 1a:00:00,0,0|2015/01/26 -1:00:00,0,0");
    for (std::string line; std::getline(malformed, line, '|');) {
        noRecords.push_back(line);
    }
    const struct {
        const char* what;
        Logs logs;
        Lines rows;
    } cases[] = {
        {"an outage and a lone time-out, which gives no row, then a day without any",
         {{"PING_20150126.txt",
           {"U 10:00:00", "D 10:00:10", "D 10:00:20", "D 10:00:30", "U 10:00:40", "D 11:00:00", "U 11:00:10"}},
          {"PING_20150127.txt", {"U 10:00:00", "U 10:00:10"}}},
         {"2015/01/26 10:00:10;2015/01/26 10:00:30;00:00:20", Day("2015/01/26", "00:00:20"),
          Day("2015/01/27", "00:00:00")}},
        {"no logs: the header alone", {}, {}},
        {"day from the log's name, else from its first record, else empty",
         {{"PING_20150301.txt", {"U 00:00:00"}},
          {"PING_20150302.txt", {socketFailure}},
          {"PING_2015_old.txt", {socketFailure, "2015/02/02 08:00:00,23,0"}},
          {"PING_x.txt", {""}}},
         {Day("2015/03/01", "00:00:00"), Day("2015/03/02", "00:00:00"), Day("2015/02/02", "00:00:00"),
          Day("", "00:00:00")}},
        {"across midnight into the next log, and ending at the last record of a log",
         {{"PING_20150126.txt", {"U 23:59:40", "D 23:59:50"}},
          {"PING_20150127.txt", {"D 00:00:10", "D 00:00:20", "U 00:00:30", "D 23:59:40", "D 23:59:50"}},
          {"PING_20150128.txt", {"U 00:00:00"}}},
         {Day("2015/01/26", "00:00:00"), "2015/01/26 23:59:50;2015/01/27 00:00:20;00:00:30",
          Day("2015/01/27", "00:00:30"), "2015/01/27 23:59:40;2015/01/27 23:59:50;00:00:10",
          Day("2015/01/28", "00:00:10")}},
        {"through a log that holds nothing else, into the next",
         {{"PING_20150126.txt", {"U 23:58:00", "D 23:59:00"}},
          {"PING_20150127.txt", {"2015/01/26 23:59:50,0,-10"}},
          {"PING_20150128.txt", {"2015/01/27 00:00:40,0,-10", "U 00:01:00"}}},
         {Day("2015/01/26", "00:00:00"), Day("2015/01/27", "00:00:00"),
          "2015/01/26 23:59:00;2015/01/27 00:00:40;00:01:40", Day("2015/01/28", "00:01:40")}},
        {"longer than a day",
         {{"PING_20150126.txt", longOutage[0]},
          {"PING_20150127.txt", longOutage[1]},
          {"PING_20150127.txt", {"D 02:00:10", "U 02:00:20"}}},
         {Day("2015/01/26", "00:00:00"), "2015/01/26 00:00:00;2015/01/27 02:00:10;26:00:10",
          Day("2015/01/27", "26:00:10")}},
        {"only -10 is a time-out; a lone one, and an outage open at the end, give no row",
         {{"PING_20150126.txt",
           {"D 11:00:00", "2015/01/26 11:00:10,0,-100", "D 11:00:20", "2015/01/26 11:00:30,0,-1", "D 12:00:00",
            "D 12:00:10"}}},
         {Day("2015/01/26", "00:00:00")}},
        {"lines that are no records change nothing, and the run goes on",
         {{"PING_20150126.txt", {"U 10:00:00", "D 10:00:10"}},
          {"PING_20150126.txt", noRecords},
          {"PING_20150126.txt", {"D 10:01:00", "U 10:01:10"}},
          {"PING_20150127.txt", {"U 10:00:00"}}},
         {"2015/01/26 10:00:10;2015/01/26 10:01:00;00:00:50", Day("2015/01/26", "00:00:50"),
          Day("2015/01/27", "00:00:00")}},
        {"records more than 60 s apart, forward or back, split an outage; closer ones, even back in time, do not",
         {{"PING_20150126.txt",
           {"D 10:00:00", "D 10:01:00", "D 10:02:01", "2015/01/26 10:02:11,0,-10,later field", "U 10:02:21",
            "D 11:00:00", "D 11:05:00", "D 11:05:10", "D 11:03:00", "D 11:03:10", "D 11:02:40", "U 11:02:50"}}},
         {"2015/01/26 10:00:00;2015/01/26 10:01:00;00:01:00", "2015/01/26 10:02:01;2015/01/26 10:02:11;00:00:10",
          "2015/01/26 11:05:00;2015/01/26 11:05:10;00:00:10", "2015/01/26 11:03:00;2015/01/26 11:02:40;-00:00:20",
          Day("2015/01/26", "00:01:00")}},
        {"logs of any year and case in name order, whatever the listing's; no other names, no folders",
         {{"PING_20160101.txt", {"U 00:00:00"}},
          {"ping_20150128.TXT", {"D 00:00:00", "U 00:00:10"}},
          {"PING_20150127.txt", {"D 23:59:50"}},
          {"PING_20141231.txt", {"U 10:00:00"}},
          {"PING_20150126.txt.bak", {""}},
          {"XPING_20150126.txt", {""}},
          {"PING_20150129.txt/", {}}},
         {Day("2014/12/31", "00:00:00"), Day("2015/01/27", "00:00:00"),
          "2015/01/27 23:59:50;2015/01/28 00:00:00;00:00:10", Day("2015/01/28", "00:00:10"),
          Day("2016/01/01", "00:00:00")}},
    };
    for (const auto& [what, logs, rows] : cases) {
        EXPECT_EQ(Rebuild(logs), Csv(rows)) << what;
    }
}

// A rebuild by an ErrList that read the logs before they changed must be the
// rebuild from nothing, byte for byte, and so must the page beside it.
TEST_F(ErrListTest, RebuildAfterAChangeIsTheRebuildFromNothing)
{
    const std::string log26 = "PING_20150126.txt", log27 = "PING_20150127.txt", log29 = "PING_20150129.txt";
    const fs::path report = dir_ / "ERR_list.csv", path27 = dir_ / log27;
    // An outage from the 26th into the 27th, one within the 27th; the log of
    // the 30th is a link to a file in a folder of its own.
    const Lines lines27 = {"D 00:00:00", "U 00:00:10", "D 10:00:00", "D 10:00:10", "U 10:00:20"};
    const std::string elsewhere30 = "elsewhere/PING_20150130.txt";
    const Logs logs = {{log26, {"U 10:00:00", "D 23:59:40", "D 23:59:50"}},
                       {log27, lines27},
                       {log29, {"U 10:00:00"}},
                       {elsewhere30, {"U 10:00:00"}}};
    Lines sameSize27 = lines27;
    sameSize27[0] = "D 00:00:05";  // the outage from the 26th now ends 5 s later
    const auto rewrite27 = [&] { Write(log27, sameSize27, std::ios::trunc); };
    const auto append29 = [&] { Write(log29, {"D 11:00:00", "D 11:00:10", "U 11:00:20"}); };
    std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"nothing changed", [] {}},
        {"the newest log grew", append29},
        {"an older log grew: the outage it passed on ends in it now", [&] { Write(log26, {"U 23:59:59"}); }},
        {"a log shrank", [&] { fs::resize_file(path27, Expand(log27, lines27[0]).size() + 2); }},
        {"a log rewritten to the same size", rewrite27},
        {"... and its modification time set back",
         [&] {
             const auto time = fs::last_write_time(path27);
             rewrite27(), fs::last_write_time(path27, time);
         }},
        {"a log replaced by another file of its size and time",
         [&] {
             Write("PING_20150127.new", sameSize27);
             fs::last_write_time(dir_ / "PING_20150127.new", fs::last_write_time(path27));
             fs::rename(dir_ / "PING_20150127.new", path27);
         }},
        {"a log renamed to come first", [&] { fs::rename(path27, dir_ / "PING_20150125.txt"); }},
        {"a log removed", [&] { fs::remove(path27); }},
        {"a new log between older ones, its outage closed by the next",
         [&] {
             Write("PING_20150128.txt", {"D 23:59:00", "D 23:59:55"});
         }},
        {"a log a week newer than the rest: their round trips leave the page",
         [&] {
             Write("PING_20150206.txt", {"U 10:00:00", "D 10:00:10"});
         }},
        {"a log turned into a folder", [&] { fs::remove(path27), fs::create_directory(path27); }},
        {"a report's own permissions are kept",
         [&] { fs::permissions(report, fs::perms::owner_read | fs::perms::owner_write), append29(); }},
    };
#ifndef _WIN32
    changes.emplace_back("a linked log written through its other name", [&] {
        Write(elsewhere30, {"D 11:00:00", "D 11:00:10", "U 11:00:20"});
    });
#endif
    for (const auto& [what, change] : changes) {
        for (const auto watch : {ErrList::Changes::kWatchFolder, ErrList::Changes::kCheckEveryLog}) {
            SCOPED_TRACE(std::string(what) + (watch == ErrList::Changes::kWatchFolder ? ", watched" : ", checked"));
            WriteOnly(logs);
#ifndef _WIN32
            fs::create_symlink(elsewhere30, dir_ / "PING_20150130.txt");
#endif
            const AsOrdinaryUser user(dir_);
            ErrList list(dir_, watch);
            Progress first, cached, fresh;
            ASSERT_TRUE(list.Rebuild(first));
            const std::string before = Report();
            // Past the file system's clock tick: a later test covers a change within it.
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
            change();
            const auto permissions = fs::status(report).permissions();
            EXPECT_TRUE(list.Rebuild(cached));
            const std::string after = Report(), pageAfter = Page();
            EXPECT_EQ(after != before, what != changes[0].first);
            EXPECT_EQ(fs::status(report).permissions(), permissions);
            EXPECT_TRUE(MakeErrList(dir_, fresh));
            EXPECT_EQ(Report(), after);
            EXPECT_TRUE(Page() == pageAfter) << "the page differs";
            EXPECT_EQ(cached.items, fresh.items);
        }
    }
}

// What the page shows beyond the report: the host as text, never as markup,
// whatever its length; monitored time from the lines of the logs; round-trip
// times of the last days in ten-minute slots (median and maximum of the
// replies, time-outs).
TEST_F(ErrListTest, PageNamesTheHostAsTextAndSumsTimeAndRoundTripsFromTheRecords)
{
    Write("PING_20150126.txt",
          {"2015/01/26 10:00:00,7,0", "2015/01/26 10:00:10,3,0", "2015/01/26 10:00:20,0,-10", "2015/01/26 10:00:30,5,0",
           "2015/01/26 10:09:59,9,-1", "2015/01/26 10:10:00,40,0", "Windows Sockets not responding correctly."});
    Write("PING_20150118.txt", {"2015/01/18 23:59:50,1,0"});  // more than a week before: no round trips shown
    EXPECT_TRUE(MakeErrList(dir_, progress_,
                            PageHeading {"<script>alert('x')</script> & Co", "\"192.0.2.1\"", "2015/01/26 10:20:00"}));
    const std::string page = Page();
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; Co (&quot;192.0.2.1&quot;)"),
              std::string::npos);
    EXPECT_EQ(ById(page, "period"), "2015/01/18 23:59:50 – 2015/01/26 10:10:00");
    EXPECT_EQ(ById(page, "monitored-time"), "00:01:20");  // 8 lines of ten seconds
    EXPECT_EQ(ById(page, "down-share"), "0,000 %");       // a single time-out spans no time

    // Around 256 bytes of the title's fragment, and far past them.
    for (const std::size_t length : {219, 220, 221, 222, 223, 1000}) {
        report::OutagePage heading;
        heading.hostName = std::string(length - 3, 'h') + "Č&";  // ends in two bytes of UTF-8 and an entity
        const std::string escaped = std::string(length - 3, 'h') + "Č&amp;", html = RenderOutagePage(heading);
        EXPECT_NE(html.find("<title>Prekinitve: " + escaped + "</title>"), std::string::npos) << length;
        EXPECT_NE(html.find("<h1>Prekinitve povezave: " + escaped + " ()</h1>"), std::string::npos) << length;
    }

    report::RttSlots slots;  // the last record has the clock set back
    for (const auto& [at, replied, timedOut, ms] :
         std::vector<std::tuple<int, bool, bool, int>> {{36000, true, false, 7},
                                                        {36010, true, false, 3},
                                                        {36020, false, true, 0},
                                                        {36030, true, false, 5},
                                                        {36599, false, false, 0},
                                                        {36600, true, false, 40},
                                                        {36000, true, false, 1}}) {
        slots.Add(at, replied, timedOut, ms);
    }
    std::vector<std::tuple<std::int64_t, int, int, int, int>> taken;
    for (const report::RttSlot& s : slots.Take()) {
        taken.emplace_back(s.start, s.replies, s.timeouts, s.medianMs, s.maxMs);
    }
    EXPECT_EQ(taken, (std::vector<std::tuple<std::int64_t, int, int, int, int>> {
                         {36000, 3, 1, 5, 7}, {36600, 1, 0, 40, 40}, {36000, 1, 0, 1, 1}}));
}

// A rebuild that fails keeps the report byte for byte, leaves no temporary
// file, and says why in one line, the same while the cause lasts; once the
// cause is gone the same ErrList rebuilds as from nothing.
TEST_F(ErrListTest, FailedRebuildKeepsThePreviousReportAndSaysWhy)
{
    WriteOnly(
        {{"PING_20150126.txt", {"D 10:00:00", "D 10:00:10", "U 10:00:20"}}, {"PING_20150128.txt", {"U 10:00:00"}}});
    ErrList list(dir_);
    ASSERT_TRUE(list.Rebuild(progress_));
    const std::string previous = Report();
    const fs::path temporary = dir_ / "ERR_list.csv.tmp", report = dir_ / "ERR_list.csv";
    struct Failure {
        const char* what;
        std::function<void()> breakIt, mend;
        std::string problem;  // the reason as Linux words it
        Lines items;
    };
    std::vector<Failure> failures = {
        {"the new report cannot be created",
         [&] { fs::create_directory(temporary); },
         [&] { fs::remove(temporary); },
         "ERR_list.csv.tmp: Is a directory",
         {}},
        {"a folder stands in the report's place",
         [&] { fs::rename(report, dir_ / "kept"), fs::create_directories(report / "inside"); },
         [&] { fs::remove_all(report), fs::rename(dir_ / "kept", report); },
         "ERR_list.csv: Is a directory",
         {}},
    };
#ifndef _WIN32  // permissions and an unreadable file, as Linux has them (a full disk: the fault tests)
    std::optional<AsOrdinaryUser> user;
    failures.push_back({"a report the user made read-only",
                        [&] { fs::permissions(report, fs::perms::owner_read), user.emplace(dir_); },
                        [&] { user.reset(), fs::permissions(report, fs::perms::owner_all); },
                        "ERR_list.csv: Permission denied",
                        {}});
    failures.push_back({"a log cannot be read: the list shows the names up to it",
                        [&] {
                            Write("PING_20150127.txt", {"U 10:00:00"});
                            fs::permissions(dir_ / "PING_20150127.txt", fs::perms::none), user.emplace(dir_);
                        },
                        [&] { user.reset(), fs::remove(dir_ / "PING_20150127.txt"); },
                        "PING_20150127.txt: Permission denied",
                        {"PING_20150126.txt", "PING_20150127.txt"}});
#endif
    for (const auto& [what, breakIt, mend, problem, items] : failures) {
        SCOPED_TRACE(what);
        Progress progress;
        breakIt();
        const RebuildResult result = list.Rebuild(progress), again = list.Rebuild(progress);
        mend();
        EXPECT_FALSE(result.written);
        EXPECT_EQ(again.problem, result.problem);
#ifdef _WIN32
        EXPECT_TRUE(result.problem.starts_with(problem.substr(0, problem.find(' ')))) << result.problem;
#else
        EXPECT_TRUE(result.problem.starts_with(problem)) << result.problem;
#endif
        EXPECT_EQ(progress.items, items);
        EXPECT_EQ(progress.clears, items.empty() ? 0 : 2);
        EXPECT_EQ(Report(), previous);
        EXPECT_FALSE(fs::exists(temporary));
        EXPECT_TRUE(list.Rebuild(progress));
        EXPECT_EQ(Report(), previous);
    }
}

}  // namespace
}  // namespace vellomar
