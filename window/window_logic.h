// The monitor window's behaviour, whatever draws it: start-up, Start, Stop,
// Help, the ten-second schedule and the tick count that brings the report.
#pragma once

#include <cstdint>
#include <deque>
#include <exception>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "companion_log.h"
#include "diagnostics.h"
#include "err_list.h"
#include "probe_log.h"
#include "tray_status.h"
#include "window_face.h"

namespace vellomar {

inline constexpr int kTickPeriodMs = 10000;
inline constexpr int kTicksBeforeReport = 60;

// Starts work on a thread of its own; throws (as std::thread does) when none
// can be started.
using ThreadStarter = std::function<std::thread(std::function<void()> work)>;

std::thread StartThread(std::function<void()> work);

// Everything the window takes from outside, replaceable for tests.
struct WindowSeams {
    std::filesystem::path programFolder;
    ProbeLog::Clock clock = platform::LocalNow;
    // sendPing runs off the window's thread; the other two on it.
    SocketCalls sockets;
    ThreadStarter startThread = StartThread;
};

// Handlers run on the window's thread and never overlap. A probe or a report
// rebuild waits off the window's thread while the window keeps painting; a
// handler called meanwhile is held back: clicks run afterwards in order, due
// ticks merge into one.
class WindowLogic {
public:
    WindowLogic(WindowFace& face, WindowSeams seams);
    ~WindowLogic();
    WindowLogic(const WindowLogic&) = delete;
    WindowLogic& operator=(const WindowLogic&) = delete;

    void Form_Load();
    void cmdStart_Click();
    void cmdStop_Click();
    void cmdHelp_Click();
    void Timer1_Timer();

    int16_t TickCount() const { return tickCount_; }
    bool CycleInFlight() const { return inFlight_; }
    // Why the last rebuild left the report as it was; empty when it was written.
    const std::string& ReportProblem() const { return reportProblem_; }

private:
    enum class Handler { Start, Stop, Help, Tick };
    enum class Cycle { Load, Start, Tick };
    struct ProbeOutcome {
        ProbeResult result;     // nothing sent, until the send returns
        bool answered = false;  // the send returned
        std::exception_ptr failure;
    };

    bool ReadHostConfiguration();
    void ShowStartupFailure();
    void RestartSchedule();

    void BeginProbe(Cycle cycle);
    void ProbeReturned(const ProbeOutcome& outcome);
    void CompanionReturned(Cycle cycle, const std::optional<CompanionEcho>& echo);
    void AfterProbe(Cycle cycle, bool failed);
    void ShowLogged(const CycleRecord& record);
    void BeginRebuild();
    void RebuildDone(const RebuildResult& result);
    void NoteRebuild(const RebuildResult& result);
    // Says why a cycle went wrong, once while the same reason lasts.
    void Explain(const char* what, const std::exception_ptr& failure);
    void EndCycle();

    bool StartWorker(std::function<void()> work);
    void JoinWorker();

    bool HoldBack(Handler handler);
    void DropHeldTicks();
    void RunHeldHandlers();
    void Run(Handler handler);

    WindowFace& face_;
    WindowSeams seams_;
    ProbeLog probeLog_;
    CompanionLog companionLog_;
    // The cycle under way: its record, once logged, waits for the echo to the
    // next hop, which is logged under the record's stamp.
    std::optional<CycleRecord> probed_;
    bool probeFailed_ = false;
    ErrList errList_;  // kept across rebuilds, so that each reads only what changed
    std::thread worker_;
    int16_t tickCount_ = 0;
    bool inFlight_ = false;
    std::deque<Handler> held_;
    std::string reportProblem_;
    platform::RecurringProblem reportProblemSaid_;
    platform::RecurringProblem cycleProblem_;
    // The host Vellomar.ini names; the design captions until it is read, so
    // that a file without a host line leaves "IP" to be probed.
    WatchedHost host_;
    TrayStatus tray_ {face_};
};

}  // namespace vellomar
