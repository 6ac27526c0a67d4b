#include "probe_log.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "fake_probe_window.h"
#include "temp_folder.h"

namespace vellomar {
namespace {

using testing::FakeWindow;
using testing::OpenDescriptorCount;
using testing::ReadBytes;
using testing::TempFolder;

constexpr LocalDateTime kMorning {2015, 1, 26, 14, 5, 9};

// Answers every probe with the given status and round-trip time.
struct FakeSockets {
    int32_t status = 0;
    int32_t roundTripTime = 0;
    bool starts = true;
    int initialized = 0;
    int sent = 0;
    int cleanedUp = 0;
    std::string lastAddress;
    int32_t lastTimeout = 0;

    SocketCalls Calls()
    {
        return {[this] {
                    ++initialized;
                    return starts;
                },
                [this](std::string address, int32_t timeout, EchoReply& reply) {
                    ++sent;
                    lastAddress = address;
                    lastTimeout = timeout;
                    if (status != kNoRequestSent)
                        reply.RoundTripTime = roundTripTime;
                    return status;
                },
                [this] { ++cleanedUp; }};
    }
};

struct Cycle {
    TempFolder folder;
    FakeWindow window;
    FakeSockets sockets;
    std::deque<LocalDateTime> times;  // each clock reading takes the next; the last one stays
    ProbeLog log {folder.path(), window, sockets.Calls(), [this] {
                      LocalDateTime now = times.front();
                      if (times.size() > 1)
                          times.pop_front();
                      return now;
                  }};

    Cycle() { times.push_back(kMorning); }
    std::string LogText() { return ReadBytes(folder / "PING_20150126.txt"); }
};

TEST(ProbeRecord, HasFixedWidthStampAndPlainNumbers)
{
    EXPECT_EQ(ComposeProbeRecord(kMorning, 23, 0), "2015/01/26 14:05:09,23,0");
    EXPECT_EQ(ComposeProbeRecord({2016, 2, 3, 4, 5, 6}, 0, kNoRequestSent), "2016/02/03 04:05:06,0,-1");
    EXPECT_EQ(ComposeProbeRecord({2015, 12, 31, 23, 59, 59}, 7, 0), "2015/12/31 23:59:59,7,0");
}

TEST(ProbeRecord, RoundTripOverOneSecondIsWrittenAsZero)
{
    EXPECT_EQ(ComposeProbeRecord(kMorning, 1000, 0), "2015/01/26 14:05:09,1000,0");
    EXPECT_EQ(ComposeProbeRecord(kMorning, 1001, 0), "2015/01/26 14:05:09,0,0");
    EXPECT_EQ(ComposeProbeRecord(kMorning, 5000, kIpRequestTimedOut), "2015/01/26 14:05:09,0,-10");
}

TEST(ProbeRecord, OnlyTheTimeOutStatusIsRenumbered)
{
    EXPECT_EQ(ComposeProbeRecord(kMorning, 0, kIpRequestTimedOut), "2015/01/26 14:05:09,0,-10");
    for (int32_t status : {kIpDestHostUnreachable, kIpTtlExpiredTransit, kIpGeneralFailure, 11011, -10})
        EXPECT_EQ(ComposeProbeRecord(kMorning, 0, status), "2015/01/26 14:05:09,0," + std::to_string(status));
}

TEST(DailyLog, IsNamedAfterTheDayWithPaddedDigits)
{
    EXPECT_EQ(DailyLogName(kMorning), "PING_20150126.txt");
    EXPECT_EQ(DailyLogName({2024, 2, 9, 0, 0, 0}), "PING_20240209.txt");
}

TEST(PingOnce, AppendsTheRecordWithCrLfToFileAndList)
{
    Cycle cycle;
    cycle.sockets.roundTripTime = 23;
    cycle.log.PingOnce();
    cycle.sockets.status = kIpRequestTimedOut;
    cycle.sockets.roundTripTime = 0;
    cycle.log.PingOnce();

    EXPECT_EQ(cycle.LogText(), "2015/01/26 14:05:09,23,0\r\n2015/01/26 14:05:09,0,-10\r\n");
    EXPECT_EQ(cycle.window.list, (std::vector<std::string> {"2015/01/26 14:05:09,23,0", "2015/01/26 14:05:09,0,-10"}));
    EXPECT_EQ(cycle.sockets.lastAddress, "127.0.0.1");
    EXPECT_EQ(cycle.sockets.lastTimeout, 5000);
    EXPECT_EQ(cycle.sockets.cleanedUp, 2);
    EXPECT_EQ(cycle.window.events.front(), "events") << "pending window events run before the probe";
}

TEST(PingOnce, UnusableAddressIsLoggedWithZeroRoundTrip)
{
    Cycle cycle;
    cycle.window.address = "IP";
    cycle.sockets.status = kNoRequestSent;
    cycle.sockets.roundTripTime = 77;  // not written: the reply record is left as it was given
    cycle.log.PingOnce();
    EXPECT_EQ(cycle.LogText(), "2015/01/26 14:05:09,0,-1\r\n");
    EXPECT_EQ(cycle.sockets.lastAddress, "IP");
}

TEST(PingOnce, SocketFailureLineReplacesTheRecord)
{
    Cycle cycle;
    cycle.sockets.starts = false;
    cycle.log.PingOnce();
    EXPECT_EQ(cycle.LogText(), "Windows Sockets not responding correctly.\r\n");
    EXPECT_EQ(cycle.window.list, std::vector<std::string> {"Windows Sockets not responding correctly."});
    EXPECT_EQ(cycle.sockets.sent, 0);
    EXPECT_EQ(cycle.sockets.cleanedUp, 0);
}

TEST(PingOnce, StampIsReadAfterTheProbeAndDayAgainForTheFileName)
{
    Cycle cycle;
    cycle.times = {{2015, 1, 26, 23, 59, 59}, {2015, 1, 27, 0, 0, 0}};
    cycle.log.PingOnce();
    EXPECT_EQ(ReadBytes(cycle.folder / "PING_20150127.txt"), "2015/01/26 23:59:59,0,0\r\n");
    EXPECT_FALSE(std::filesystem::exists(cycle.folder / "PING_20150126.txt"));
}

TEST(WriteLog, ListIsEmptiedOnlyWhenItHoldsMoreThanTen)
{
    Cycle cycle;
    for (int i = 1; i <= 11; ++i)
        cycle.log.WriteLog("line " + std::to_string(i));
    EXPECT_EQ(cycle.window.list.size(), 11u);
    cycle.log.WriteLog("line 12");
    EXPECT_EQ(cycle.window.list, std::vector<std::string> {"line 12"});
}

TEST(WriteLog, RecordGoesBelowTenReportNamesAndClearsMoreThanTen)
{
    Cycle cycle;
    cycle.window.list.assign(10, "PING_2015.txt");
    cycle.log.WriteLog("record");
    EXPECT_EQ(cycle.window.list.size(), 11u);
    EXPECT_EQ(cycle.window.list.back(), "record");

    cycle.window.list.assign(12, "PING_2015.txt");
    cycle.log.WriteLog("record");
    EXPECT_EQ(cycle.window.list, std::vector<std::string> {"record"});
}

TEST(WriteLog, NamesAndLabelFollowTheProgramFolderEvenWithDots)
{
    TempFolder root;
    std::filesystem::path folder = root / "my.monitor.v2";
    std::filesystem::create_directory(folder);
    FakeWindow window;
    ProbeLog log(folder, window, {}, [] { return kMorning; });
    log.WriteLog("line");
    EXPECT_EQ(log.LogFileName(), folder.string() + "/PING_20150126.txt");
    EXPECT_EQ(log.LogBaseName(), folder.string() + "/PING_2015.01.26");
    EXPECT_EQ(window.outFile, log.LogFileName());
    EXPECT_EQ(ReadBytes(folder / "PING_20150126.txt"), "line\r\n");
}

TEST(WriteLog, FolderThatCannotBeWrittenShowsPathOnlyAndRecovers)
{
    TempFolder root;
    std::filesystem::path folder = root / "not-yet";
    FakeWindow window;
    window.list = {"earlier"};
    ProbeLog log(folder, window, {}, [] { return kMorning; });

    log.WriteLog("lost");
    EXPECT_EQ(window.outFile, folder.string() + "/PING_20150126.txt");
    EXPECT_EQ(window.list, std::vector<std::string> {"earlier"});
    EXPECT_EQ(window.events, std::vector<std::string> {"label"});

    std::filesystem::create_directory(folder);
    log.WriteLog("kept");
    EXPECT_EQ(ReadBytes(folder / "PING_20150126.txt"), "kept\r\n");
    EXPECT_EQ(window.list, (std::vector<std::string> {"earlier", "kept"}));
}

TEST(WriteLog, DeletedLogIsCreatedAgainAndAFolderInItsPlaceIsSurvived)
{
    Cycle cycle;
    cycle.log.WriteLog("first");
    std::filesystem::remove(cycle.folder / "PING_20150126.txt");
    cycle.log.WriteLog("second");
    EXPECT_EQ(cycle.LogText(), "second\r\n");

    std::filesystem::remove(cycle.folder / "PING_20150126.txt");
    std::filesystem::create_directory(cycle.folder / "PING_20150126.txt");
    cycle.log.WriteLog("third");
    EXPECT_EQ(cycle.window.list.back(), "second");

    std::filesystem::remove(cycle.folder / "PING_20150126.txt");
    cycle.log.WriteLog("fourth");
    EXPECT_EQ(cycle.LogText(), "fourth\r\n");
}

TEST(WriteLog, ThousandsOfCyclesLeaveNoDescriptorOpen)
{
    Cycle cycle;
    cycle.log.PingOnce();
    int before = OpenDescriptorCount();
    for (int i = 0; i < 3000; ++i)
        cycle.log.PingOnce();
    EXPECT_EQ(OpenDescriptorCount(), before);
    std::string text = cycle.LogText();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3001);
}

}  // namespace
}  // namespace vellomar
