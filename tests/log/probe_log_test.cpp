#include "probe_log.h"

#include <gtest/gtest.h>

#include <deque>

#include "fake_probe_window.h"
#include "temp_folder.h"

namespace vellomar {
namespace {

using testing::FakeWindow;
using testing::ReadBytes;
using testing::TempFolder;
using Lines = std::vector<std::string>;

constexpr LocalDateTime kMorning {2015, 1, 26, 14, 5, 9};

// A probe cycle in a folder of its own, with a probe that answers as told and
// a clock that gives the listed readings one by one and then keeps the last.
struct Cycle {
    TempFolder folder;
    FakeWindow window;
    int32_t status = 0;
    int32_t roundTripTime = 0;
    bool socketsStart = true;
    Lines calls;
    std::deque<LocalDateTime> times {kMorning};
    ProbeLog log {folder.path(), window,
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

    std::string LogText(const char* name = "PING_20150126.txt") { return ReadBytes(folder / name); }
};

TEST(ProbeRecord, StampIsPaddedRoundTripClampedAndOnlyTheTimeOutRenumbered)
{
    EXPECT_EQ(ComposeProbeRecord({2016, 2, 3, 4, 5, 6}, 23, 0), "2016/02/03 04:05:06,23,0");
    EXPECT_EQ(ComposeProbeRecord(kMorning, 1000, 0), "2015/01/26 14:05:09,1000,0");
    EXPECT_EQ(ComposeProbeRecord(kMorning, 1001, 0), "2015/01/26 14:05:09,0,0");
    EXPECT_EQ(ComposeProbeRecord(kMorning, 0, kIpRequestTimedOut), "2015/01/26 14:05:09,0,-10");
    for (int32_t status : {kNoRequestSent, kIpDestHostUnreachable, kIpGeneralFailure, 11011, -10})
        EXPECT_EQ(ComposeProbeRecord(kMorning, 0, status), "2015/01/26 14:05:09,0," + std::to_string(status));
    EXPECT_EQ(DailyLogName({2024, 2, 9, 0, 0, 0}), "PING_20240209.txt");
}

TEST(PingOnce, RecordGoesToFileWithCrLfAndToTheList)
{
    Cycle cycle;
    cycle.roundTripTime = 23;
    cycle.log.PingOnce();
    cycle.status = kNoRequestSent;  // the reply record stays as zero-filled
    cycle.log.PingOnce();

    EXPECT_EQ(cycle.LogText(), "2015/01/26 14:05:09,23,0\r\n2015/01/26 14:05:09,0,-1\r\n");
    EXPECT_EQ(cycle.window.list, (Lines {"2015/01/26 14:05:09,23,0", "2015/01/26 14:05:09,0,-1"}));
    EXPECT_EQ(cycle.calls, (Lines {"init", "127.0.0.1 5000", "cleanup", "init", "127.0.0.1 5000", "cleanup"}));
    EXPECT_EQ(cycle.window.events, (Lines {"events", "label", "add", "events", "label", "add"}));
}

TEST(PingOnce, SocketFailureLineStandsInForTheRecord)
{
    Cycle cycle;
    cycle.socketsStart = false;
    cycle.log.PingOnce();
    EXPECT_EQ(cycle.LogText(), "Windows Sockets not responding correctly.\r\n");
    EXPECT_EQ(cycle.window.list, Lines {"Windows Sockets not responding correctly."});
    EXPECT_EQ(cycle.calls, Lines {"init"});
}

TEST(PingOnce, RecordStampedBeforeMidnightMayLandInTheNextDaysLog)
{
    Cycle cycle;
    cycle.times = {{2015, 1, 26, 23, 59, 59}, {2015, 1, 27, 0, 0, 0}};
    cycle.log.PingOnce();
    EXPECT_EQ(cycle.LogText("PING_20150127.txt"), "2015/01/26 23:59:59,0,0\r\n");
}

TEST(WriteLog, ListIsEmptiedOnlyWhenItHoldsMoreThanTen)
{
    Cycle cycle;
    for (int i = 1; i <= 11; ++i)
        cycle.log.WriteLog("line " + std::to_string(i));
    EXPECT_EQ(cycle.window.list.size(), 11u);
    cycle.log.WriteLog("line 12");
    EXPECT_EQ(cycle.window.list, Lines {"line 12"});

    cycle.window.list.assign(10, "PING_20150125.txt");  // names left by a report rebuild
    cycle.log.WriteLog("record");
    EXPECT_EQ(cycle.window.list.back(), "record");
    EXPECT_EQ(cycle.window.list.size(), 11u);
}

TEST(WriteLog, DotsAndForeignLettersInTheProgramFolderStayAndOnlyTheDatesGo)
{
    TempFolder root;
    // Čedomir's folder: no 8-bit code page holds all of its name.
    const std::filesystem::path folder = root.path() / testing::PathFromUtf8("my.monitor.v2 Čedomir Жанна 中文");
    std::filesystem::create_directory(folder);
    FakeWindow window;
    ProbeLog log(folder, window, {}, [] { return kMorning; });
    log.WriteLog("line");
    const std::string separator(1, static_cast<char>(std::filesystem::path::preferred_separator));
    EXPECT_EQ(log.LogBaseName(), testing::Utf8(folder) + separator + "PING_2015.01.26");
    EXPECT_EQ(log.LogFileName(), testing::Utf8(folder) + separator + "PING_20150126.txt");
    EXPECT_EQ(window.outFile, log.LogFileName());
    EXPECT_EQ(ReadBytes(folder / "PING_20150126.txt"), "line\r\n");
}

TEST(WriteLog, FailuresAreSilentAndAppendsResumeOnceWritingWorks)
{
    Cycle cycle;
    const std::filesystem::path logFile = cycle.folder / "PING_20150126.txt";
    std::filesystem::create_directory(logFile);  // a folder where the log should be
    cycle.window.list = {"earlier"};
#ifndef _WIN32
    // Silent on screen; the reason goes to standard error, once while it lasts.
    ::testing::internal::CaptureStderr();
    cycle.log.WriteLog("lost");
    cycle.log.WriteLog("lost");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "vellomar: cannot open " + testing::Utf8(logFile) +
                  " (Is a directory (errno 21)): the records are not logged\n");
#else
    cycle.log.WriteLog("lost");
#endif
    EXPECT_EQ(cycle.window.outFile, testing::Utf8(logFile)) << "the label shows the path even when opening fails";
    EXPECT_EQ(cycle.window.list, Lines {"earlier"}) << "the list is touched only once the file is open";

    std::filesystem::remove(logFile);
    cycle.log.WriteLog("kept");
    std::filesystem::remove(logFile);  // deleted between two cycles
    cycle.log.WriteLog("created again");
    EXPECT_EQ(cycle.LogText(), "created again\r\n");
    EXPECT_EQ(cycle.window.list, (Lines {"earlier", "kept", "created again"}));
}

TEST(WriteLog, ThousandsOfCyclesLeaveNoDescriptorOpen)
{
    Cycle cycle;
    cycle.log.PingOnce();
    const int before = testing::OpenHandleCount();
    for (int i = 0; i < 3000; ++i)
        cycle.log.PingOnce();
    EXPECT_EQ(testing::OpenHandleCount(), before);
    const std::string text = cycle.LogText();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3001);
}

}  // namespace
}  // namespace vellomar
