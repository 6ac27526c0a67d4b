#include "probe_log.h"

#include <gtest/gtest.h>

#include <tuple>

#include "temp_folder.h"
#include "whole_cycle.h"

namespace vellomar {
namespace {

using platform::LocalDateTime;

constexpr LocalDateTime kMorning {2015, 1, 26, 14, 5, 9};

TEST(ProbeRecord, StampIsPaddedRoundTripClampedAndOnlyTheTimeOutRenumbered)
{
    using Case = std::tuple<LocalDateTime, ProbeResult, const char*>;  // stamp, probe, record
    for (const auto& [stamp, probe, record] :
         {Case {{2016, 2, 3, 4, 5, 6}, {EchoEnd::Replied, 0, 23}, "2016/02/03 04:05:06,23,0"},
          Case {{2015, 12, 31, 23, 59, 59}, {EchoEnd::Replied, 0, 1000}, "2015/12/31 23:59:59,1000,0"},
          Case {kMorning, {EchoEnd::Replied, 0, 1001}, "2015/01/26 14:05:09,0,0"},
          Case {kMorning, {EchoEnd::TimedOut, 11010, 0}, "2015/01/26 14:05:09,0,-10"},
          Case {kMorning, {EchoEnd::NotSent, -1, 0}, "2015/01/26 14:05:09,0,-1"},
          Case {kMorning, {EchoEnd::HostUnreachable, 11003, 7}, "2015/01/26 14:05:09,7,11003"}})
        EXPECT_EQ(ComposeProbeRecord(stamp, probe).logged.line, record);
}

// Each cycle starts and releases the socket library; one that will not start logs its failure line instead and sends
// nothing. The log is named by the clock as it reads at the append: the cycles after midnight go to the next day's
// log, and so does a record stamped a second before it.
TEST(ProbeCycle, RecordGoesToTheLogOfTheDayOfItsAppendWithCrLfAndBackToTheCaller)
{
    testing::TempFolder folder;
    bool socketsStart = true;
    std::string calls;
    const LocalDateTime readings[] = {{2015, 1, 26, 23, 59, 50},
                                      {2015, 1, 26, 23, 59, 50},
                                      {2015, 1, 26, 23, 59, 59},
                                      {2015, 1, 27, 0, 0, 0},
                                      {2015, 1, 27, 0, 0, 9}};
    ProbeLog log(folder.path(),
                 {[&] { return calls += "init ", socketsStart; },
                  [&](const std::string& address, int32_t timeout) {
                      calls += address + "/" + std::to_string(timeout) + " ";
                      return address == "IP" ? ProbeResult {} : ProbeResult {EchoEnd::Replied, 0, 23};
                  },
                  [&] { calls += "cleanup "; }},
                 [&, next = 0]() mutable { return readings[next++]; });
    EXPECT_EQ(testing::PingOnce(log, "127.0.0.1").logged.line, "2015/01/26 23:59:50,23,0");
    testing::PingOnce(log, "IP");
    socketsStart = false;
    const CycleRecord failure = testing::PingOnce(log, "IP");
    EXPECT_TRUE(failure.socketFailure && failure.logged.written);
    EXPECT_EQ(failure.logged.logFileName, testing::Utf8(folder / "PING_20150127.txt"));
    EXPECT_EQ(testing::ReadBytes(folder / "PING_20150126.txt"), "2015/01/26 23:59:50,23,0\r\n");
    EXPECT_EQ(testing::ReadBytes(folder / "PING_20150127.txt"),
              "2015/01/26 23:59:59,0,-1\r\nWindows Sockets not responding correctly.\r\n");
    EXPECT_EQ(calls, "init 127.0.0.1/5000 cleanup init IP/5000 cleanup init ");
}

// Dots and letters no 8-bit code page holds stay in the folder's name. A log that cannot be opened
// is named all the same and its failure said once; appends resume, recreating the log, once writing works.
TEST(WriteLog, NamesTheLogInTheProgramFolderSaysFailuresOnceAndResumes)
{
    testing::TempFolder root;
    const std::filesystem::path folder = root.path() / testing::PathFromUtf8("my.monitor.v2 Čedomir Жанна 中文");
    const std::filesystem::path logFile = folder / "PING_20150126.txt";
    std::filesystem::create_directories(logFile);  // a folder where the log should be
    ProbeLog log(folder, {}, [] { return kMorning; });
    ::testing::internal::CaptureStderr();
    log.WriteLog("lost");
    const LogEntry lost = log.WriteLog("lost");
    [[maybe_unused]] const std::string said = ::testing::internal::GetCapturedStderr();
#ifndef _WIN32  // there it goes to the debugger
    EXPECT_EQ(said, "vellomar: cannot open " + testing::Utf8(logFile) +
                        " (PING_20150126.txt: Is a directory (errno 21)): the records are not logged\n");
#endif
    EXPECT_FALSE(lost.opened || lost.written);
    EXPECT_EQ(lost.logFileName, testing::Utf8(logFile));
    std::filesystem::remove(logFile);
    EXPECT_TRUE(log.WriteLog("kept").written);
    std::filesystem::remove(logFile);  // deleted between two cycles
    log.WriteLog("created again");
    EXPECT_EQ(testing::ReadBytes(logFile), "created again\r\n");
}

}  // namespace
}  // namespace vellomar
