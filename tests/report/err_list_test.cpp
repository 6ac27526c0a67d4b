// Whole rebuilds of ERR_list.csv from daily logs in a scratch folder.
#include "err_list.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace vellomar {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

const std::string kHeader = "Prekinitve Telemach interneta\r\nOd;Do;\xC8" "as;Dan;Dnevno\r\n";

std::string Up(const std::string& stamp) { return stamp + ",23,0"; }
std::string Down(const std::string& stamp) { return stamp + ",0,-10"; }
std::string Summary(const std::string& day, const std::string& total) { return "-----;-----; ;" + day + ";" + total; }

struct Progress : ReportProgress {
    void Clear() override { ++clears, items.clear(); }
    void AddItem(const std::string& name) override
    {
        items.push_back(name);
        if (onAdd) {
            onAdd(name);
        }
    }
    int clears = 0;
    Lines items;
    std::function<void(const std::string&)> onAdd;
};

class ErrListTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(dir_); }
    void TearDown() override { fs::remove_all(dir_); }

    void Log(const std::string& name, const Lines& lines)
    {
        std::ofstream out(dir_ / name, std::ios::binary);
        for (const auto& line : lines) {
            out << line << "\r\n";
        }
    }
    bool Run() { return MakeErrList(dir_, progress_); }
    std::string Report() const
    {
        std::stringstream text;
        text << std::ifstream(dir_ / "ERR_list.csv", std::ios::binary).rdbuf();
        return text.str();
    }
    // The report's rows after the two header lines.
    Lines Rows() const
    {
        const std::string report = Report();
        EXPECT_EQ(report.substr(0, kHeader.size()), kHeader);
        Lines rows;
        for (std::size_t at = kHeader.size(), end; at < report.size(); at = end + 2) {
            end = report.find("\r\n", at);
            rows.push_back(report.substr(at, end - at));
        }
        return rows;
    }
    std::size_t FilesInFolder() const { return std::distance(fs::directory_iterator(dir_), fs::directory_iterator()); }

    fs::path dir_ = fs::temp_directory_path() /
                    ("vellomar_report_" + std::to_string(::getpid()) + "_" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
    Progress progress_;
};

TEST_F(ErrListTest, WorkedExampleGivesTheReportByteForByte)
{
    Log("PING_20150126.txt", {Up("2015/01/26 10:00:00"), Down("2015/01/26 10:00:10"), Down("2015/01/26 10:00:20"),
                              Down("2015/01/26 10:00:30"), Up("2015/01/26 10:00:40"), Down("2015/01/26 11:00:00"),
                              Up("2015/01/26 11:00:10")});
    Log("PING_20150127.txt", {Up("2015/01/27 10:00:00"), Up("2015/01/27 10:00:10")});
    ASSERT_TRUE(Run());
    EXPECT_EQ(Report(), kHeader +
                            "2015/01/26 10:00:10;2015/01/26 10:00:30;00:00:20\r\n"
                            "-----;-----; ;2015/01/26;00:00:20\r\n"
                            "-----;-----; ;2015/01/27;00:00:00\r\n");
    EXPECT_EQ(progress_.clears, 1);
    EXPECT_EQ(progress_.items, (Lines{"PING_20150126.txt", "PING_20150127.txt"}));
    EXPECT_EQ(FilesInFolder(), 3u);  // no temporary file left behind
}

TEST_F(ErrListTest, WithoutLogsOnlyTheHeaderIsWritten)
{
    ASSERT_TRUE(Run());
    EXPECT_EQ(Report(), kHeader);
    EXPECT_EQ(progress_.clears, 1);
    EXPECT_TRUE(progress_.items.empty());
}

TEST_F(ErrListTest, DayComesFromTheNameElseFromTheFirstRecord)
{
    Log("PING_20150301.txt", {Up("2015/03/01 00:00:00")});
    Log("PING_2015_old.txt", {"Windows Sockets not responding correctly.", Up("2015/02/02 08:00:00")});
    Log("PING_x.txt", {"Windows Sockets not responding correctly."});
    ASSERT_TRUE(Run());
    EXPECT_EQ(Rows(), (Lines{Summary("2015/03/01", "00:00:00"), Summary("2015/02/02", "00:00:00"),
                             Summary("", "00:00:00")}));
}

TEST_F(ErrListTest, OutageAcrossMidnightAndLogsIsTimedFromWholeStamps)
{
    Log("PING_20150126.txt", {Up("2015/01/26 23:59:40"), Down("2015/01/26 23:59:50")});
    Log("PING_20150127.txt", {Down("2015/01/27 00:00:10"), Down("2015/01/27 00:00:20"), Up("2015/01/27 00:00:30"),
                              Down("2015/01/27 23:59:40"), Down("2015/01/27 23:59:50")});
    Log("PING_20150128.txt", {Up("2015/01/28 00:00:00")});
    ASSERT_TRUE(Run());
    EXPECT_EQ(Rows(), (Lines{Summary("2015/01/26", "00:00:00"), "2015/01/26 23:59:50;2015/01/27 00:00:20;00:00:30",
                             Summary("2015/01/27", "00:00:30"), "2015/01/27 23:59:40;2015/01/27 23:59:50;00:00:10",
                             Summary("2015/01/28", "00:00:10")}));
}

TEST_F(ErrListTest, OutageLongerThanADayKeepsCountingHours)
{
    for (const int day : {26, 27}) {
        Lines lines;
        for (int minute = 0; minute < 24 * 60 && (day == 26 || minute <= 120); ++minute) {
            char stamp[20];
            std::snprintf(stamp, sizeof stamp, "2015/01/%02d %02d:%02d:00", day, minute / 60, minute % 60);
            lines.push_back(Down(stamp));
        }
        Log("PING_201501" + std::to_string(day) + ".txt", lines);
    }
    std::ofstream(dir_ / "PING_20150127.txt", std::ios::app) << Down("2015/01/27 02:00:10") << "\r\n"
                                                               << Up("2015/01/27 02:00:20") << "\r\n";
    ASSERT_TRUE(Run());
    EXPECT_EQ(Rows(), (Lines{Summary("2015/01/26", "00:00:00"), "2015/01/26 00:00:00;2015/01/27 02:00:10;26:00:10",
                             Summary("2015/01/27", "26:00:10")}));
}

TEST_F(ErrListTest, LoneTimeOutAndOutageStillOpenAtTheEndGiveNoRow)
{
    Log("PING_20150126.txt", {Up("2015/01/26 10:59:50"), Down("2015/01/26 11:00:00"), Up("2015/01/26 11:00:10"),
                              Down("2015/01/26 12:00:00"), Down("2015/01/26 12:00:10")});
    ASSERT_TRUE(Run());
    EXPECT_EQ(Rows(), (Lines{Summary("2015/01/26", "00:00:00")}));
}

TEST_F(ErrListTest, LinesThatAreNoRecordsAreSkippedAndTheRunGoesOn)
{
    Log("PING_20150126.txt", {Up("2015/01/26 10:00:00"), Down("2015/01/26 10:00:10"),
                              "Windows Sockets not responding correctly.", "", "2015/01/26 10:00:2",
                              "2015/01/26 25:00:00,23,0", Down("2015/01/26 10:00:30"),
                              "2015/01/26 10:00:40,0,-1" + Down("2015/01/26 10:00:50"), Down("2015/01/26 10:01:00"),
                              Up("2015/01/26 10:01:10")});
    Log("PING_20150127.txt", {Up("2015/01/27 10:00:00")});
    ASSERT_TRUE(Run());
    EXPECT_EQ(Rows(), (Lines{"2015/01/26 10:00:10;2015/01/26 10:01:00;00:00:50", Summary("2015/01/26", "00:00:50"),
                             Summary("2015/01/27", "00:00:00")}));
}

TEST_F(ErrListTest, GapOfMoreThanAMinuteSplitsAnOutage)
{
    Log("PING_20150126.txt", {Down("2015/01/26 10:00:00"), Down("2015/01/26 10:01:00"),  // 60 s: same outage
                              Down("2015/01/26 10:02:01"), Down("2015/01/26 10:02:11"),  // 61 s: a new one
                              Up("2015/01/26 10:02:21"), Down("2015/01/26 11:00:00"),    // alone before a gap
                              Down("2015/01/26 11:05:00"), Down("2015/01/26 11:05:10"), Up("2015/01/26 11:05:20")});
    ASSERT_TRUE(Run());
    EXPECT_EQ(Rows(), (Lines{"2015/01/26 10:00:00;2015/01/26 10:01:00;00:01:00",
                             "2015/01/26 10:02:01;2015/01/26 10:02:11;00:00:10",
                             "2015/01/26 11:05:00;2015/01/26 11:05:10;00:00:10", Summary("2015/01/26", "00:01:20")}));
}

TEST_F(ErrListTest, LogsOfEveryYearAndCaseAreReadInNameOrder)
{
    Log("PING_20160101.txt", {Up("2016/01/01 00:00:00")});
    Log("ping_20150128.TXT", {Down("2015/01/28 00:00:00"), Up("2015/01/28 00:00:10")});
    Log("PING_20150127.txt", {Down("2015/01/27 23:59:50")});
    Log("PING_20141231.txt", {Up("2014/12/31 10:00:00")});
    Log("PING_20150126.txt.bak", {Down("2015/01/26 10:00:00")});
    Log("XPING_20150126.txt", {Down("2015/01/26 10:00:00")});
    fs::create_directory(dir_ / "PING_20150129.txt");
    ASSERT_TRUE(Run());
    EXPECT_EQ(progress_.items, (Lines{"PING_20141231.txt", "PING_20150127.txt", "ping_20150128.TXT", "PING_20160101.txt"}));
    EXPECT_EQ(Rows(), (Lines{Summary("2014/12/31", "00:00:00"), Summary("2015/01/27", "00:00:00"),
                             "2015/01/27 23:59:50;2015/01/28 00:00:00;00:00:10", Summary("2015/01/28", "00:00:10"),
                             Summary("2016/01/01", "00:00:00")}));
}

TEST_F(ErrListTest, FailedRebuildKeepsThePreviousReportByteForByte)
{
    Log("PING_20150126.txt", {Down("2015/01/26 10:00:00"), Down("2015/01/26 10:00:10"), Up("2015/01/26 10:00:20")});
    ASSERT_TRUE(Run());
    const std::string previous = Report();
    Log("PING_20150128.txt", {Up("2015/01/28 10:00:00")});
    rlimit unlimited{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &unlimited), 0);
    const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails as on a full disk
    const struct {
        std::function<void(const fs::path&)> breakLog;
        std::size_t logsBegun;
    } failures[] = {
        {[](const fs::path& log) { fs::remove(log); }, 2},                              // cannot be opened
        {[](const fs::path& log) { fs::remove(log), fs::create_directory(log); }, 2},  // cannot be read
        {[&](const fs::path&) { rlimit tiny = unlimited; tiny.rlim_cur = 40, ::setrlimit(RLIMIT_FSIZE, &tiny); }, 3},
    };
    for (const auto& failure : failures) {
        Log("PING_20150127.txt", {Up("2015/01/27 10:00:00")});
        progress_.onAdd = [&](const std::string& name) {
            if (name == "PING_20150127.txt") {
                failure.breakLog(dir_ / name);
            }
        };
        const bool rebuilt = Run();
        ::setrlimit(RLIMIT_FSIZE, &unlimited);
        EXPECT_FALSE(rebuilt);
        EXPECT_EQ(Report(), previous);
        EXPECT_EQ(progress_.items.size(), failure.logsBegun);
        EXPECT_FALSE(fs::exists(dir_ / "ERR_list.csv.tmp"));
        fs::remove_all(dir_ / "PING_20150127.txt");
    }
    std::signal(SIGXFSZ, savedHandler);
}

TEST_F(ErrListTest, ReportThatCannotBeWrittenChangesNothing)
{
    Log("PING_20150126.txt", {Up("2015/01/26 10:00:00")});
    std::ofstream(dir_ / "ERR_list.csv") << "old";
    fs::create_directory(dir_ / "ERR_list.csv.tmp");
    progress_.items = {"recent record"};
    EXPECT_FALSE(Run());
    EXPECT_EQ(Report(), "old");
    EXPECT_EQ(progress_.clears, 0);
    EXPECT_EQ(progress_.items, Lines{"recent record"});
    EXPECT_FALSE(MakeErrList(dir_ / "missing", progress_));
    EXPECT_EQ(progress_.clears, 0);
}

}  // namespace
}  // namespace vellomar
