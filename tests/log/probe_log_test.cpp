#include "probe_log.h"

#include <gtest/gtest.h>

#include <deque>

#include "stamp_text.h"
#include "temp_folder.h"

namespace vellomar {
namespace {

using platform::LocalDateTime;
using testing::ReadBytes;
using testing::TempFolder;
using Lines = std::vector<std::string>;

constexpr LocalDateTime kMorning {2015, 1, 26, 14, 5, 9};

// A probe cycle in a folder of its own, with a probe that answers as told and
// a clock that gives the listed readings one by one and then keeps the last.
struct Cycle {
    TempFolder folder;
    int32_t status = 0;
    int32_t roundTripTime = 0;
    bool socketsStart = true;
    Lines calls;
    std::deque<LocalDateTime> times {kMorning};
    ProbeLog log {folder.path(),
                  SocketCalls {[this] { return calls.push_back("init"), socketsStart; },
                               [this](std::string address, int32_t timeout, EchoReply& reply) {
                                   calls.push_back(address + " " + std::to_string(timeout));
                                   if (status != kNoRequestSent)
                                       reply.RoundTripTime = roundTripTime;
                                   return status;
                               },
                               [this] { calls.push_back("cleanup"); }},
                  [this] {
                      LocalDateTime now = times.front();
                      if (times.size() > 1)
                          times.pop_front();
                      return now;
                  }};

    std::filesystem::path LogFile(const char* name = "PING_20150126.txt") { return folder / name; }
};

TEST(ProbeRecord, StampIsPaddedRoundTripClampedAndOnlyTheTimeOutRenumbered)
{
    struct Case {
        LocalDateTime stamp;
        int32_t roundTripTime, status;
        const char* record;
    };
    for (const Case& c : {Case {{2016, 2, 3, 4, 5, 6}, 23, 0, "2016/02/03 04:05:06,23,0"},
                          Case {{2015, 12, 31, 23, 59, 59}, 1000, 0, "2015/12/31 23:59:59,1000,0"},
                          Case {kMorning, 1001, 0, "2015/01/26 14:05:09,0,0"},
                          Case {kMorning, 0, kIpRequestTimedOut, "2015/01/26 14:05:09,0,-10"},
                          Case {kMorning, 0, kNoRequestSent, "2015/01/26 14:05:09,0,-1"},
                          Case {kMorning, 0, kIpDestHostUnreachable, "2015/01/26 14:05:09,0,11003"},
                          Case {kMorning, 0, 11011, "2015/01/26 14:05:09,0,11011"},
                          Case {kMorning, 0, -10, "2015/01/26 14:05:09,0,-10"}})
        EXPECT_EQ(ComposeProbeRecord(c.stamp, c.roundTripTime, c.status), c.record);
    EXPECT_EQ(DailyLogName({2024, 2, 9, 0, 0, 0}), "PING_20240209.txt");
}

// Each cycle starts and releases the socket library; one that will not start
// logs the socket failure line instead and sends nothing.
TEST(PingOnce, RecordGoesToTheLogWithCrLfAndBackToTheCaller)
{
    Cycle cycle;
    cycle.roundTripTime = 23;
    const LogEntry first = cycle.log.PingOnce("127.0.0.1");
    cycle.status = kNoRequestSent;  // the reply record stays as zero-filled
    cycle.log.PingOnce("IP");
    cycle.socketsStart = false;
    EXPECT_EQ(cycle.log.PingOnce("IP").line, "Windows Sockets not responding correctly.");

    EXPECT_EQ(ReadBytes(cycle.LogFile()), "2015/01/26 14:05:09,23,0\r\n2015/01/26 14:05:09,0,-1\r\n"
                                          "Windows Sockets not responding correctly.\r\n");
    EXPECT_EQ(first.line, "2015/01/26 14:05:09,23,0");
    EXPECT_EQ(first.logFileName, cycle.LogFile().string());
    EXPECT_TRUE(first.opened && first.written);
    EXPECT_EQ(cycle.calls, (Lines {"init", "127.0.0.1 5000", "cleanup", "init", "IP 5000", "cleanup", "init"}));
}

TEST(PingOnce, RecordStampedBeforeMidnightMayLandInTheNextDaysLog)
{
    Cycle cycle;
    cycle.times = {{2015, 1, 26, 23, 59, 59}, {2015, 1, 27, 0, 0, 0}};
    cycle.log.PingOnce("127.0.0.1");
    EXPECT_EQ(ReadBytes(cycle.LogFile("PING_20150127.txt")), "2015/01/26 23:59:59,0,0\r\n");
}

TEST(WriteLog, DotsAndForeignLettersInTheProgramFolderStayAndOnlyTheDatesGo)
{
    TempFolder root;
    // Čedomir's folder: no 8-bit code page holds all of its name.
    const std::filesystem::path folder = root.path() / testing::PathFromUtf8("my.monitor.v2 Čedomir Жанна 中文");
    std::filesystem::create_directory(folder);
    ProbeLog log(folder, {}, [] { return kMorning; });
    const LogEntry entry = log.WriteLog("line");
    const std::string separator(1, static_cast<char>(std::filesystem::path::preferred_separator));
    EXPECT_EQ(log.LogBaseName(), testing::Utf8(folder) + separator + "PING_2015.01.26");
    EXPECT_EQ(log.LogFileName(), testing::Utf8(folder) + separator + "PING_20150126.txt");
    EXPECT_EQ(entry.logFileName, log.LogFileName());
    EXPECT_EQ(ReadBytes(folder / "PING_20150126.txt"), "line\r\n");
}

TEST(WriteLog, FailuresAreSaidOnceAndAppendsResumeOnceWritingWorks)
{
    Cycle cycle;
    const std::filesystem::path logFile = cycle.LogFile();
    std::filesystem::create_directory(logFile);  // a folder where the log should be
#ifndef _WIN32
    ::testing::internal::CaptureStderr();
    cycle.log.WriteLog("lost");
    const LogEntry lost = cycle.log.WriteLog("lost");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "vellomar: cannot open " + testing::Utf8(logFile) +
                  " (Is a directory (errno 21)): the records are not logged\n");
#else
    const LogEntry lost = cycle.log.WriteLog("lost");
#endif
    EXPECT_FALSE(lost.opened || lost.written);
    EXPECT_EQ(lost.logFileName, testing::Utf8(logFile)) << "the path is named even when opening fails";

    std::filesystem::remove(logFile);
    EXPECT_TRUE(cycle.log.WriteLog("kept").written);
    std::filesystem::remove(logFile);  // deleted between two cycles
    cycle.log.WriteLog("created again");
    EXPECT_EQ(ReadBytes(logFile), "created again\r\n");
}

}  // namespace
}  // namespace vellomar
