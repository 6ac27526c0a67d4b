#include "window_logic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <stdexcept>
#include <system_error>

#include "fake_face.h"
#include "temp_folder.h"

namespace vellomar {
namespace {

using testing::FakeFace;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;
using Lines = std::vector<std::string>;

const std::string kStartupFailure = "Težave z branjem .INI datoteke";

// A probe that answers as told, on whatever thread it is called from, and can
// be held until the test lets it answer.
class Probe {
public:
    std::atomic<int32_t> status {0};
    std::atomic<bool> throws {false};
    std::atomic<int> sent {0};
    std::atomic<int> maxRunning {0};
    std::atomic<int> socketsStarted {0};
    std::atomic<int> socketsReleased {0};
    std::string lastAddress;
    std::thread::id thread;

    void Hold() { SetHeld(true); }
    void Release() { SetHeld(false); }

    int32_t operator()(const std::string& address, EchoReply& reply)
    {
        int inside = ++running_;
        maxRunning = std::max(maxRunning.load(), inside);
        {
            std::unique_lock lock(mutex_);
            released_.wait(lock, [this] { return !held_; });
            lastAddress = address;
            thread = std::this_thread::get_id();
        }
        --running_;
        ++sent;
        if (throws)
            throw std::runtime_error("no ICMP library");
        reply.RoundTripTime = 3;
        return status;
    }

private:
    void SetHeld(bool held)
    {
        {
            std::lock_guard lock(mutex_);
            held_ = held;
        }
        released_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable released_;
    bool held_ = false;
    std::atomic<int> running_ {0};
};

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
            return LocalDateTime {2015, 1, 26, seconds / 3600, seconds / 60 % 60, seconds % 60};
        };
        seams.sockets = {[this] { return ++probe.socketsStarted, socketsStart; },
                         [this](std::string address, int32_t, EchoReply& reply) { return probe(address, reply); },
                         [this] { ++probe.socketsReleased; }};
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
    void Tick() { window->Timer1_Timer(), Settle(); }
    void Start() { window->cmdStart_Click(), Settle(); }
    std::string DailyLog() { return ReadBytes(folder / "PING_20150126.txt"); }
    int Records() { return static_cast<int>(std::ranges::count(DailyLog(), '\n')); }

    TempFolder folder;
    FakeFace face;
    Probe probe;
    int readings = 0;
    bool socketsStart = true;
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
    EXPECT_EQ(monitor.face.captions[Label::IPAddress], "127.0.0.1");
    EXPECT_EQ(monitor.face.captions[Label::OutFile], (monitor.folder / "PING_20150126.txt").string());
    EXPECT_EQ(monitor.probe.lastAddress, "127.0.0.1");
    EXPECT_NE(monitor.probe.thread, std::this_thread::get_id());
    EXPECT_EQ(monitor.DailyLog(), "2015/01/26 10:00:00,3,0\r\n");
    EXPECT_EQ(monitor.face.trace, (Lines {"2015/01/26 10:00:00,3,0", "interval 10000", "enabled"}));
    EXPECT_EQ(monitor.window->TickCount(), 0) << "the start-up probe is not a tick";
    EXPECT_EQ(monitor.probe.socketsReleased, 1);
}

TEST(StartUp, EveryFailureShowsOneMessageLeavesTheScheduleStoppedAndStartStillProbes)
{
    struct Case {
        const char* what;
        const char* ini;
        bool folderInstead = false;
        bool probeThrows = false;
        int records = 0;
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
        EXPECT_FALSE(std::filesystem::exists(monitor.folder / "PING_20150126.txt"));
        EXPECT_EQ(monitor.probe.socketsStarted, monitor.probe.socketsReleased);

        monitor.probe.throws = false;
        monitor.probe.status = kNoRequestSent;
        monitor.Start();
        EXPECT_EQ(monitor.probe.lastAddress, c.probeThrows ? "127.0.0.1" : "IP");
        EXPECT_EQ(monitor.Records(), 1);
        EXPECT_NE(monitor.DailyLog().find(",3,-1\r\n"), std::string::npos);
        EXPECT_TRUE(monitor.face.Running());
    }
}

TEST(StartUp, FileWithoutHostLineKeepsTheDesignCaptionsAndRuns)
{
    Monitor monitor("; nothing here yet\r\n");
    monitor.Load();
    EXPECT_TRUE(monitor.face.messages.empty());
    EXPECT_EQ(monitor.face.captions[Label::HostName], "Host");
    EXPECT_EQ(monitor.probe.lastAddress, "IP");
    EXPECT_TRUE(monitor.face.Running());
}

TEST(StartUp, SocketLibraryThatWillNotStartLogsItsLineAndTheScheduleRuns)
{
    Monitor monitor;
    monitor.socketsStart = false;
    monitor.Load();
    EXPECT_EQ(monitor.DailyLog(), "Windows Sockets not responding correctly.\r\n");
    EXPECT_EQ(monitor.probe.sent, 0);
    EXPECT_EQ(monitor.probe.socketsReleased, 0);
    EXPECT_TRUE(monitor.face.Running());
}

TEST(Buttons, StopStartAndHelpKeepTheTickCount)
{
    Monitor monitor;
    monitor.Load();
    for (int i = 0; i < 5; ++i)
        monitor.Tick();
    monitor.face.trace.clear();

    monitor.window->cmdStop_Click();
    EXPECT_EQ(monitor.face.trace, (Lines {"interval 0", "disabled"}));
    monitor.Start();
    monitor.Start();
    monitor.window->cmdHelp_Click();

    EXPECT_TRUE(monitor.face.Running());
    EXPECT_EQ(monitor.window->TickCount(), 5);
    EXPECT_EQ(monitor.probe.sent, 1 + 5 + 2) << "one immediate probe per press of Start";
    EXPECT_EQ(monitor.Records(), 8);
    ASSERT_EQ(monitor.face.messages.size(), 1u);
    EXPECT_EQ(monitor.face.messages[0].first.rfind("Za pomoč pošlji mail na ", 0), 0u);
    EXPECT_NE(monitor.face.messages[0].first.find('@'), std::string::npos);
    EXPECT_EQ(monitor.face.messages[0].second, "Pomoč");
}

TEST(Schedule, TheSixtyFirstTickRebuildsTheReportIncludingItsOwnRecord)
{
    Monitor monitor;
    monitor.Load();
    for (int tick = 1; tick <= 60; ++tick) {
        monitor.probe.status = tick >= 59 ? kIpRequestTimedOut : kIpSuccess;
        monitor.Tick();
    }
    EXPECT_EQ(monitor.window->TickCount(), 60);
    EXPECT_FALSE(std::filesystem::exists(monitor.folder / "ERR_list.csv"));

    // Ticks 59 and 60 timed out; the outage is closed only by the 61st tick's record.
    monitor.probe.status = kIpSuccess;
    monitor.Tick();
    EXPECT_EQ(monitor.window->TickCount(), 0);
    std::string report = ReadBytes(monitor.folder / "ERR_list.csv");
    EXPECT_NE(report.find("2015/01/26 10:09:50;2015/01/26 10:10:00;00:00:10\r\n"), std::string::npos) << report;
    EXPECT_EQ(monitor.face.list, Lines {"PING_20150126.txt"});
    // The page beside it names the host as the window shows it, and when it
    // was made (one more reading of the clock).
    const std::string page = ReadBytes(monitor.folder / "ERR_list.html");
    EXPECT_NE(page.find("Home (127.0.0.1)"), std::string::npos) << page;
    EXPECT_NE(page.find("Izdelano: 2015/01/26 10:10:20"), std::string::npos) << page;

    monitor.Tick();
    EXPECT_EQ(monitor.face.list, (Lines {"PING_20150126.txt", "2015/01/26 10:10:25,3,0"}));
}

// The whole contract while a probe is out: nothing nests, a second probe
// never begins, clicks keep their order, due ticks merge into one.
TEST(HeldHandlers, RunAfterTheCycleInOrderWithDueTicksMerged)
{
    Monitor monitor;
    monitor.Load();
    monitor.probe.Hold();
    monitor.face.pendingEvents = [&] { monitor.window->cmdHelp_Click(); };  // waiting as the cycle begins
    monitor.face.trace.clear();
    monitor.window->Timer1_Timer();
    monitor.window->Timer1_Timer();
    monitor.window->cmdStop_Click();
    monitor.window->Timer1_Timer();
    monitor.window->cmdStart_Click();
    EXPECT_TRUE(monitor.face.trace.empty()) << "nothing ran while the reply was awaited";
    EXPECT_EQ(monitor.window->TickCount(), 0);

    monitor.probe.Release();
    monitor.Settle();
    EXPECT_EQ(monitor.face.trace, (Lines {"2015/01/26 10:00:10,3,0", "box Pomoč",  // the tick, then Help
                                          "2015/01/26 10:00:20,3,0",               // the merged due tick
                                          "interval 0", "disabled",                // Stop
                                          "2015/01/26 10:00:30,3,0", "interval 10000", "enabled"}));  // Start
    EXPECT_EQ(monitor.window->TickCount(), 2);
    EXPECT_EQ(monitor.probe.maxRunning, 1);
    EXPECT_TRUE(monitor.face.Running());
}

// Start restarts the timer and Stop stops it, so a tick that fell due behind
// either of them is stale by the time it could run.
TEST(HeldHandlers, TickHeldBehindStartOrStopIsDropped)
{
    struct Case {
        void (WindowLogic::*click)();
        int records;
        bool running;
    };
    for (const Case& c : {Case {&WindowLogic::cmdStart_Click, 2, true}, Case {&WindowLogic::cmdStop_Click, 2, false}}) {
        Monitor monitor;
        monitor.Load();
        monitor.probe.Hold();
        if (c.click == &WindowLogic::cmdStop_Click)
            monitor.window->Timer1_Timer();  // Stop is pressed during a tick's probe
        (monitor.window.get()->*c.click)();
        monitor.window->Timer1_Timer();
        monitor.probe.Release();
        monitor.Settle();
        EXPECT_EQ(monitor.Records(), c.records) << "start-up and the first cycle; the held tick never probed";
        EXPECT_EQ(monitor.window->TickCount(), c.running ? 0 : 1);
        EXPECT_EQ(monitor.face.Running(), c.running);
    }
}

TEST(HeldHandlers, WaitForTheReportRebuildAndRunAfterItsProgress)
{
    Monitor monitor;
    monitor.Load();
    for (int tick = 1; tick <= 60; ++tick)
        monitor.Tick();
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
    EXPECT_TRUE(std::filesystem::exists(monitor.folder / "ERR_list.csv"));
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
        for (int tick = 0; tick < c.ticksBefore; ++tick)
            monitor.Tick();
        monitor.threadStartsBeforeFailure = c.threadStartsBeforeFailure;
        (monitor.window.get()->*c.handler)();
        monitor.Settle();
        EXPECT_EQ(monitor.face.list.back(), c.lastListed);
        EXPECT_EQ(monitor.probe.socketsStarted, monitor.probe.socketsReleased);

        const int sent = monitor.probe.sent;
        monitor.window->cmdStop_Click();
        EXPECT_FALSE(monitor.face.enabled);
        monitor.window->cmdHelp_Click();
        EXPECT_EQ(monitor.face.messages.size(), 1u) << "Help's box only: the start-up ended well";
        monitor.Start();
        monitor.Tick();
        EXPECT_EQ(monitor.probe.sent, sent + 2);
        EXPECT_TRUE(monitor.face.Running());
        EXPECT_EQ(monitor.window->TickCount(), c.ticksAfterStartAndTick);
    }
}

TEST(FailedProbe, ATickLosesItsRecordButCountsAndTheScheduleGoesOn)
{
    Monitor monitor;
    monitor.Load();
    monitor.probe.throws = true;
    monitor.Tick();
    EXPECT_EQ(monitor.Records(), 1);
    EXPECT_EQ(monitor.window->TickCount(), 1);
    EXPECT_EQ(monitor.probe.socketsStarted, monitor.probe.socketsReleased);
    EXPECT_TRUE(monitor.face.messages.empty());
    monitor.probe.throws = false;
    monitor.Tick();
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
