#include "probe_log.h"

#include <gtest/gtest.h>

#include <tuple>

#include "temp_folder.h"

namespace vellomar {
namespace {

using platform::LocalDateTime;

constexpr LocalDateTime kMorning {2015, 1, 26, 14, 5, 9};

TEST(ProbeRecord, StampIsPaddedRoundTripClampedAndOnlyTheTimeOutRenumbered)
{
    using Case = std::tuple<LocalDateTime, int32_t, int32_t, const char*>;  // stamp, round trip, status, record
    for (const auto& [stamp, roundTripTime, status, record] :
         {Case {{2016, 2, 3, 4, 5, 6}, 23, 0, "2016/02/03 04:05:06,23,0"},
          Case {{2015, 12, 31, 23, 59, 59}, 1000, 0, "2015/12/31 23:59:59,1000,0"},
          Case {kMorning, 1001, 0, "2015/01/26 14:05:09,0,0"},
          Case {kMorning, 0, kIpRequestTimedOut, "2015/01/26 14:05:09,0,-10"},
          Case {kMorning, 0, kIpDestHostUnreachable, "2015/01/26 14:05:09,0,11003"}})
        EXPECT_EQ(ComposeProbeRecord(stamp, roundTripTime, status), record);
}

// Each cycle starts and releases the socket library; one that will not start logs its failure line instead and sends
// nothing. The log is named by the clock after the probe: a record stamped before midnight may go to the next day's.
TEST(PingOnce, RecordGoesToTheLogWithCrLfAndBackToTheCaller)
{
    testing::TempFolder folder;
    bool socketsStart = true;
    std::string calls;
    ProbeLog log(folder.path(),
                 {[&] { return calls += "init ", socketsStart; },
                  [&](std::string address, int32_t timeout, EchoReply& reply) {
                      calls += address + "/" + std::to_string(timeout) + " ";
                      return address == "IP" ? kNoRequestSent : (reply.RoundTripTime = 23, kIpSuccess);
                  },
                  [&] { calls += "cleanup "; }},
                 [readings = 0]() mutable {
                     return readings++ ? LocalDateTime {2015, 1, 27, 0, 0, 0} : LocalDateTime {2015, 1, 26, 23, 59, 59};
                 });
    EXPECT_EQ(log.PingOnce("127.0.0.1").line, "2015/01/26 23:59:59,23,0");
    log.PingOnce("IP");
    socketsStart = false;
    EXPECT_EQ(log.PingOnce("IP").line, "Windows Sockets not responding correctly.");
    EXPECT_EQ(testing::ReadBytes(folder / "PING_20150127.txt"),
              "2015/01/26 23:59:59,23,0\r\n2015/01/27 00:00:00,0,-1\r\n"
              "Windows Sockets not responding correctly.\r\n");
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
    EXPECT_EQ(log.LogBaseName(), testing::Utf8(folder / "PING_2015.01.26"));
    std::filesystem::remove(logFile);
    EXPECT_TRUE(log.WriteLog("kept").written);
    std::filesystem::remove(logFile);  // deleted between two cycles
    log.WriteLog("created again");
    EXPECT_EQ(testing::ReadBytes(logFile), "created again\r\n");
}

}  // namespace
}  // namespace vellomar
