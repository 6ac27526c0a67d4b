#include "window_logic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <system_error>

#include "fake_face.h"
#include "held_probe.h"
#include "temp_folder.h"

namespace vellomar {
namespace {

using testing::FakeFace;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;
using Lines = std::vector<std::string>;

const std::string kStartupFailure = "Težave z branjem .INI datoteke";

// The window logic in a folder of its own, with a clock that moves five
// seconds at every reading (two readings a cycle), a fake face and a probe
// that answers as told.
class Monitor {
public:
    explicit Monitor(const char* ini = "Home, 127.0.0.1\r\n")
    {
        if (ini)
            WriteBytes(folder / "Vellomar.ini", ini);
        WindowSeams seams;
        seams.programFolder = folder.path();
        seams.clock = [this] {
            int seconds = 10 * 3600 + 5 * readings++;
            return platform::LocalDateTime {2015, 1, 26, seconds / 3600, seconds / 60 % 60, seconds % 60};
        };
        seams.sockets = {[this] { return ++socketsStarted, socketsStart; },
                         [this](std::string address, int32_t, EchoReply& reply) { return probe(address, reply); },
                         [this] { ++socketsReleased; }};
        seams.startThread = [this](std::function<void()> work) {
            if (threadStartsBeforeFailure >= 0 && threadStartsBeforeFailure-- == 0)
                throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
            return std::thread(std::move(work));
        };
        window = std::make_unique<WindowLogic>(face, std::move(seams));
    }
    ~Monitor() { probe.Release(); }

    // Lets the posted events run until no cycle is in flight.
    void Settle()
    {
        ASSERT_TRUE(face.PumpUntil([this] { return !window->CycleInFlight(); }));
    }
    void Load() { window->Form_Load(), Settle(); }
    void Start() { window->cmdStart_Click(), Settle(); }
    void Ticks(int ticks)
    {
        for (int i = 0; i < ticks; ++i)
            window->Timer1_Timer(), Settle();
    }
    std::filesystem::path LogFile() { return folder / "PING_20150126.txt"; }
    std::string DailyLog() { return ReadBytes(LogFile()); }
    int Records() { return static_cast<int>(std::ranges::count(DailyLog(), '\n')); }

    TempFolder folder;
    FakeFace face;
    testing::HeldProbe probe;
    int readings = 0;
    bool socketsStart = true;
    int socketsStarted = 0;
    int socketsReleased = 0;
    int threadStartsBeforeFailure = -1;  // -1: every start works
    std::unique_ptr<WindowLogic> window;
};

TEST(StartUp, ReadsTheHostProbesOffTheWindowsThreadAndStartsTheSchedule)
{
    Monitor monitor;
    monitor.window->Form_Load();
    EXPECT_TRUE(monitor.window->CycleInFlight()) << "the reply is awaited as an event, not inside Form_Load";
    monitor.Settle();

    EXPECT_TRUE(monitor.face.messages.empty());
    EXPECT_EQ(monitor.face.captions[Label::HostName], "Home");
    EXPECT_EQ(monitor.face.captions[Label::OutFile], monitor.LogFile().string());
    EXPECT_EQ(monitor.probe.lastAddress, "127.0.0.1");
    EXPECT_NE(monitor.probe.thread, std::this_thread::get_id());
    EXPECT_EQ(monitor.DailyLog(), "2015/01/26 10:00:00,3,0\r\n");
    EXPECT_EQ(monitor.face.trace, (Lines {"2015/01/26 10:00:00,3,0", "started"}));
    EXPECT_TRUE(monitor.face.Running());
    EXPECT_EQ(monitor.window->TickCount(), 0) << "the start-up probe is not a tick";
    EXPECT_EQ(monitor.socketsReleased, 1);
}

TEST(StartUp, EveryFailureShowsOneMessageLeavesTheScheduleStoppedAndStartStillProbes)
{
    struct Case {
        const char* what;
        const char* ini;
        bool folderInstead = false;
        bool probeThrows = false;
    };
    for (const Case& c : {Case {"no file", nullptr}, Case {"no comma", "; comment\r\nHome 127.0.0.1\r\n"},
                          Case {"a folder", nullptr, true}, Case {"probe fails", "Home, 127.0.0.1\r\n", false, true}}) {
        SCOPED_TRACE(c.what);
        Monitor monitor(c.ini);
        if (c.folderInstead)
            std::filesystem::create_directory(monitor.folder / "Vellomar.ini");
        monitor.probe.throws = c.probeThrows;
        monitor.Load();
        EXPECT_EQ(monitor.face.messages, (std::vector {std::pair(kStartupFailure, std::string("Vellomar"))}));
        EXPECT_FALSE(monitor.face.enabled);
        EXPECT_FALSE(std::filesystem::exists(monitor.LogFile()));
        EXPECT_EQ(monitor.socketsStarted, monitor.socketsReleased);

        monitor.probe.throws = false;
        monitor.probe.status = kNoRequestSent;
        monitor.Start();
        EXPECT_EQ(monitor.probe.lastAddress, c.probeThrows ? "127.0.0.1" : "IP");
        EXPECT_EQ(monitor.DailyLog(), "2015/01/26 10:00:00,3,-1\r\n");
        EXPECT_TRUE(monitor.face.Running());
    }
}

TEST(StartUp, FileWithoutHostLineOrSocketLibraryStillStartsTheSchedule)
{
    Monitor noHost("; nothing here yet\r\n");
    noHost.Load();
    EXPECT_EQ(noHost.face.captions[Label::HostName], "Host");
    EXPECT_EQ(noHost.probe.lastAddress, "IP");

    Monitor noSockets;
    noSockets.socketsStart = false;
    noSockets.Load();
    EXPECT_EQ(noSockets.DailyLog(), "Windows Sockets not responding correctly.\r\n");
    EXPECT_EQ(noSockets.face.list, Lines {"Windows Sockets not responding correctly."});
    EXPECT_EQ(noSockets.probe.sent, 0);
    EXPECT_EQ(noSockets.socketsReleased, 0);
    for (Monitor* monitor : {&noHost, &noSockets}) {
        EXPECT_TRUE(monitor->face.messages.empty());
        EXPECT_TRUE(monitor->face.Running());
    }
}

TEST(Buttons, StopStartAndHelpKeepTheTickCount)
{
    Monitor monitor;
    monitor.Load();
    monitor.Ticks(5);
    monitor.window->cmdStop_Click();
    EXPECT_FALSE(monitor.face.enabled);
    EXPECT_EQ(monitor.face.interval, 0);
    monitor.Start();
    monitor.Start();
    monitor.window->cmdHelp_Click();

    EXPECT_TRUE(monitor.face.Running());
    EXPECT_EQ(monitor.window->TickCount(), 5);
    EXPECT_EQ(monitor.Records(), 1 + 5 + 2) << "one immediate probe per press of Start";
    ASSERT_EQ(monitor.face.messages.size(), 1u);
    EXPECT_EQ(monitor.face.messages[0].first.rfind("Za pomoč pošlji mail na ", 0), 0u);
    EXPECT_NE(monitor.face.messages[0].first.find('@'), std::string::npos);
    EXPECT_EQ(monitor.face.messages[0].second, "Pomoč");
}

// List1 is emptied before a line goes in once it holds more than ten, be they
// records or a report's log names; a log that cannot be opened leaves it as it
// is, while lblOutFile names the log all the same.
TEST(List1, EmptiedPastTenLinesAndTouchedOnlyWhenTheLogOpens)
{
    struct Case {
        size_t before;
        bool logBlocked;
        size_t after;
    };
    for (const Case& c : {Case {0, false, 1}, Case {10, false, 11}, Case {11, false, 1}, Case {11, true, 11}}) {
        SCOPED_TRACE(std::to_string(c.before) + (c.logBlocked ? " blocked" : ""));
        Monitor monitor;
        monitor.face.list.assign(c.before, "PING_20150125.txt");
        if (c.logBlocked)
            std::filesystem::create_directory(monitor.LogFile());
        monitor.Start();
        EXPECT_EQ(monitor.face.list.size(), c.after);
        EXPECT_EQ(monitor.face.list.back(), c.logBlocked ? "PING_20150125.txt" : "2015/01/26 10:00:00,3,0");
        EXPECT_EQ(monitor.face.captions[Label::OutFile], monitor.LogFile().string());
    }
}

TEST(Schedule, TheSixtyFirstTickRebuildsTheReportIncludingItsOwnRecord)
{
    Monitor monitor;
    monitor.Load();
    monitor.Ticks(58);
    monitor.probe.status = kIpRequestTimedOut;
    monitor.Ticks(2);
    EXPECT_EQ(monitor.window->TickCount(), 60);
    EXPECT_FALSE(std::filesystem::exists(monitor.folder / "ERR_list.csv"));

    // Ticks 59 and 60 timed out; the outage is closed only by the 61st tick's record.
    monitor.probe.status = kIpSuccess;
    monitor.Ticks(1);
    EXPECT_EQ(monitor.window->TickCount(), 0);
    std::string report = ReadBytes(monitor.folder / "ERR_list.csv");
    EXPECT_NE(report.find("2015/01/26 10:09:50;2015/01/26 10:10:00;00:00:10\r\n"), std::string::npos) << report;
    EXPECT_EQ(monitor.face.list, Lines {"PING_20150126.txt"});
    EXPECT_EQ(monitor.window->ReportProblem(), "");
    // The page names the host as the window shows it, and when it was made.
    const std::string page = ReadBytes(monitor.folder / "ERR_list.html");
    EXPECT_NE(page.find("Home (127.0.0.1)"), std::string::npos);
    EXPECT_NE(page.find("Izdelano: 2015/01/26 10:10:20"), std::string::npos);
}

TEST(Schedule, AReportThatCannotBeRebuiltStaysWithTheListAndItsReasonIsSaidOnce)
{
    Monitor monitor;
    monitor.Load();
    monitor.Ticks(61);
    const std::string report = ReadBytes(monitor.folder / "ERR_list.csv");
    const std::filesystem::path blocker = monitor.folder / "ERR_list.csv.tmp";
    std::filesystem::create_directory(blocker);
#ifndef _WIN32
    ::testing::internal::CaptureStderr();
#endif
    monitor.probe.status = kIpRequestTimedOut;  // an outage the report would have to show
    monitor.Ticks(2);
    monitor.probe.status = kIpSuccess;
    monitor.Ticks(2 * 61 - 2);
    EXPECT_EQ(monitor.window->TickCount(), 0);
    EXPECT_NE(monitor.window->ReportProblem(), "");
    EXPECT_EQ(ReadBytes(monitor.folder / "ERR_list.csv"), report);
    EXPECT_EQ(std::ranges::count(monitor.face.list, "PING_20150126.txt"), 0) << "List1 keeps its records";

    std::filesystem::remove(blocker);
    monitor.Ticks(61);
    EXPECT_EQ(monitor.window->ReportProblem(), "");
    EXPECT_NE(ReadBytes(monitor.folder / "ERR_list.csv"), report);
    std::filesystem::create_directory(blocker);
    monitor.Ticks(61);
#ifndef _WIN32
    const std::string said = ::testing::internal::GetCapturedStderr();
    const std::string line = "vellomar: ERR_list.csv is left as it was: " + monitor.window->ReportProblem() + "\n";
    EXPECT_EQ(said, line + line) << "once per failing spell";
#endif
}

// While a probe is out nothing nests and a second probe never begins; held
// clicks then run in order and due ticks merge into one.
TEST(HeldHandlers, RunAfterTheCycleInOrderWithDueTicksMerged)
{
    Monitor monitor;
    monitor.Load();
    monitor.probe.Hold();
    monitor.face.trace.clear();
    monitor.window->Timer1_Timer();
    monitor.window->cmdHelp_Click();
    monitor.window->Timer1_Timer();
    monitor.window->cmdStop_Click();
    monitor.window->Timer1_Timer();
    monitor.window->cmdStart_Click();
    EXPECT_TRUE(monitor.face.trace.empty()) << "nothing ran while the reply was awaited";

    monitor.probe.Release();
    monitor.Settle();
    EXPECT_EQ(monitor.face.trace, (Lines {"2015/01/26 10:00:10,3,0", "box Pomoč", "2015/01/26 10:00:20,3,0", "stopped",
                                          "2015/01/26 10:00:30,3,0", "started"}));
    EXPECT_EQ(monitor.window->TickCount(), 2);
    EXPECT_EQ(monitor.probe.maxRunning, 1);
}

// Start restarts the timer and Stop stops it, so a tick that fell due behind
// either of them is stale by the time it could run.
TEST(HeldHandlers, TickHeldBehindStartOrStopIsDropped)
{
    for (bool stop : {false, true}) {
        Monitor monitor;
        monitor.Load();
        monitor.probe.Hold();
        if (stop)
            monitor.window->Timer1_Timer();  // Stop is pressed during a tick's probe
        stop ? monitor.window->cmdStop_Click() : monitor.window->cmdStart_Click();
        monitor.window->Timer1_Timer();
        monitor.probe.Release();
        monitor.Settle();
        EXPECT_EQ(monitor.Records(), 2) << "start-up and the first cycle; the held tick never probed";
        EXPECT_EQ(monitor.window->TickCount(), stop ? 1 : 0);
        EXPECT_EQ(monitor.face.Running(), !stop);
    }
}

TEST(HeldHandlers, WaitForTheReportRebuildAndRunAfterItsProgress)
{
    Monitor monitor;
    monitor.Load();
    monitor.Ticks(60);
    monitor.window->Timer1_Timer();
    ASSERT_TRUE(monitor.face.PumpUntil([&] { return monitor.window->TickCount() > 60; }));
    ASSERT_TRUE(monitor.window->CycleInFlight()) << "the rebuild is under way off the window's thread";
    monitor.face.trace.clear();
    monitor.window->Timer1_Timer();
    monitor.window->Timer1_Timer();
    monitor.window->cmdHelp_Click();
    monitor.Settle();

    // The clock is read once more for the page beside the report.
    EXPECT_EQ(monitor.face.trace, (Lines {"clear", "PING_20150126.txt", "2015/01/26 10:10:25,3,0", "box Pomoč"}));
    EXPECT_EQ(monitor.window->TickCount(), 1);
}

// Whatever could not get a thread, the cycle ends, and every handler works after it.
TEST(NoThread, TheCycleEndsAndEverythingGoesOn)
{
    struct Case {
        const char* what;
        int ticksBefore;
        void (WindowLogic::*handler)();
        int threadStartsBeforeFailure;
        std::string lastListed;
        int ticksAfterStartAndTick;
    };
    const std::string noRequest = "2015/01/26 10:00:10,0,-1";
    for (const Case& c : {Case {"start-up", 0, &WindowLogic::Form_Load, 0, "2015/01/26 10:00:00,0,-1", 1},
                          Case {"Start", 0, &WindowLogic::cmdStart_Click, 0, noRequest, 1},
                          Case {"a tick", 0, &WindowLogic::Timer1_Timer, 0, noRequest, 2},
                          // The probe gets its thread; the rebuild then runs on the window's thread.
                          Case {"the rebuild", 60, &WindowLogic::Timer1_Timer, 1, "PING_20150126.txt", 1}}) {
        SCOPED_TRACE(c.what);
        Monitor monitor;
        if (c.handler != &WindowLogic::Form_Load)
            monitor.Load();
        monitor.Ticks(c.ticksBefore);
        monitor.threadStartsBeforeFailure = c.threadStartsBeforeFailure;
        (monitor.window.get()->*c.handler)();
        monitor.Settle();
        EXPECT_EQ(monitor.face.list.back(), c.lastListed);
        EXPECT_EQ(monitor.socketsStarted, monitor.socketsReleased);

        const int sent = monitor.probe.sent;
        monitor.window->cmdStop_Click();
        EXPECT_FALSE(monitor.face.enabled);
        monitor.Start();
        monitor.Ticks(1);
        EXPECT_EQ(monitor.probe.sent, sent + 2);
        EXPECT_TRUE(monitor.face.messages.empty());
        EXPECT_TRUE(monitor.face.Running());
        EXPECT_EQ(monitor.window->TickCount(), c.ticksAfterStartAndTick);
    }
}

TEST(FailedProbe, ATickLosesItsRecordButCountsSaysWhyOnceAndTheScheduleGoesOn)
{
    Monitor monitor;
    monitor.Load();
    monitor.probe.throws = true;
#ifndef _WIN32
    ::testing::internal::CaptureStderr();
    monitor.Ticks(2);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "vellomar: a probe failed: no ICMP library\n");
#else
    monitor.Ticks(2);
#endif
    EXPECT_EQ(monitor.Records(), 1);
    EXPECT_EQ(monitor.window->TickCount(), 2);
    EXPECT_EQ(monitor.socketsStarted, monitor.socketsReleased);
    EXPECT_TRUE(monitor.face.messages.empty());
    monitor.probe.throws = false;
    monitor.Ticks(1);
    EXPECT_EQ(monitor.Records(), 2);
}

TEST(Closing, WaitsForTheProbeStillOut)
{
    Monitor monitor;
    monitor.Load();
    monitor.probe.Hold();
    monitor.window->Timer1_Timer();
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        monitor.probe.Release();
    });
    monitor.window.reset();
    EXPECT_EQ(monitor.probe.sent, 2) << "the window logic outlived its probe's thread";
    release.join();
}

}  // namespace
}  // namespace vellomar
