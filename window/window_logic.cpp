#include "window_logic.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "err_list.h"
#include "form.h"
#include "host_config.h"
#include "stamp_text.h"

namespace vellomar {

namespace {

const char kStartupFailureText[] = "Težave z branjem .INI datoteke";
const char kApplicationTitle[] = "Vellomar";
const char kHelpText[] = "Za pomoč pošlji mail na podpora@vellomar.example";
const char kHelpCaption[] = "Pomoč";
// Kept on purpose: List1 is emptied once it holds more than ten lines, as the
// first monitor's was; the daily log, not the list, keeps the records.
constexpr int kListClearedPast = 10;

// The text of a failure caught as it went by.
std::string Reason(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return "an unknown failure";
    }
}

// Hands each step of a rebuild that runs off the window's thread to List1 on
// the window's thread, in order.
class PostedProgress : public ReportProgress {
public:
    explicit PostedProgress(WindowFace& face) : face_(face) {}
    void Clear() override
    {
        face_.Post([&face = face_] { face.ListClear(); });
    }
    void AddItem(const std::string& logName) override
    {
        face_.Post([&face = face_, logName] { face.ListAddItem(logName); });
    }

private:
    WindowFace& face_;
};

std::string DesignCaption(form::Id label)
{
    return std::string(form::kControls[form::IndexOf(label)].caption);
}

}  // namespace

std::thread StartThread(std::function<void()> work)
{
    return std::thread(std::move(work));
}

WindowLogic::WindowLogic(WindowFace& face, WindowSeams seams)
    : face_(face), seams_(std::move(seams)), probeLog_(seams_.programFolder, seams_.sockets, seams_.clock),
      companionLog_(seams_.programFolder, seams_.sockets),
      errList_(seams_.programFolder), host_ {DesignCaption(form::Id::lblHostName),
                                             DesignCaption(form::Id::lblIPAddress)}
{
    tray_.SetHost(host_);
}

// A reply or a rebuild still under way is waited for, so that its thread
// never outlives the window logic it reports to.
WindowLogic::~WindowLogic()
{
    JoinWorker();
}

void WindowLogic::Form_Load()
{
    tray_.Show();
    bool configured = false;
    try {
        configured = ReadHostConfiguration();
    } catch (...) {
        Explain("Vellomar.ini could not be read", std::current_exception());
    }
    if (configured)
        BeginProbe(Cycle::Load);
    else
        ShowStartupFailure();
}

bool WindowLogic::ReadHostConfiguration()
{
    HostConfig config = ReadHostConfig(seams_.programFolder / "Vellomar.ini");
    if (config.outcome == HostConfig::Outcome::Failed)
        return false;
    if (config.outcome == HostConfig::Outcome::HostLine) {
        host_ = {config.hostName, config.address};
        face_.SetCaption(Label::HostName, host_.name);
        face_.SetCaption(Label::IPAddress, host_.address);
        tray_.SetHost(host_);
    }
    return true;
}

void WindowLogic::ShowStartupFailure()
{
    tray_.ScheduleRunning(false);
    face_.ShowMessageBox(kStartupFailureText, kApplicationTitle);
}

void WindowLogic::RestartSchedule()
{
    face_.SetTimerInterval(kTickPeriodMs);
    face_.SetTimerEnabled(true);
    tray_.ScheduleRunning(true);
}

void WindowLogic::cmdStart_Click()
{
    if (!HoldBack(Handler::Start))
        BeginProbe(Cycle::Start);
}

void WindowLogic::cmdStop_Click()
{
    if (HoldBack(Handler::Stop))
        return;
    face_.SetTimerInterval(0);
    face_.SetTimerEnabled(false);
    DropHeldTicks();
    tray_.ScheduleRunning(false);
}

// The message box is modal but the schedule goes on behind it: a tick that
// falls due while it is open probes as usual, so no record is lost to a box
// left open.
void WindowLogic::cmdHelp_Click()
{
    if (!HoldBack(Handler::Help))
        face_.ShowMessageBox(kHelpText, kHelpCaption);
}

void WindowLogic::Timer1_Timer()
{
    if (!HoldBack(Handler::Tick))
        BeginProbe(Cycle::Tick);
}

void WindowLogic::BeginProbe(Cycle cycle)
{
    inFlight_ = true;
    std::optional<CycleRecord> socketFailure;
    try {
        socketFailure = probeLog_.BeginCycle();
    } catch (...) {
        Explain("a probe could not begin", std::current_exception());
        AfterProbe(cycle, true);
        return;
    }
    if (socketFailure) {  // the socket library did not start: its line is logged instead
        ShowLogged(*socketFailure);
        tray_.RecordWritten(*socketFailure, companion_log::HopAnswer::Unknown);
        AfterProbe(cycle, false);
        return;
    }
    // The echo to the next hop goes out at the same moment on a thread of its
    // own; the probe's record is passed back as soon as it is in, and the
    // echo's once both are.
    auto wait = [this, cycle, address = host_.address] {
        std::optional<CompanionEcho> echo;
        std::optional<std::jthread> companion;
        try {
            companion.emplace([this, &echo, &address] { echo = companionLog_.Send(address); });
        } catch (const std::system_error&) {
            // no thread for it: this cycle has no companion record
        }
        ProbeOutcome outcome;
        try {
            outcome.result = probeLog_.Send(address);
            outcome.answered = true;
        } catch (...) {
            outcome.failure = std::current_exception();
        }
        face_.Post([this, outcome] { ProbeReturned(outcome); });
        companion.reset();
        face_.Post([this, cycle, echo = std::move(echo)] { CompanionReturned(cycle, echo); });
    };
    // Without a thread to wait on, no request is sent, and the record says so.
    if (!StartWorker(std::move(wait))) {
        ProbeReturned(ProbeOutcome {});
        CompanionReturned(cycle, std::nullopt);
    }
}

void WindowLogic::ProbeReturned(const ProbeOutcome& outcome)
{
    probeFailed_ = outcome.failure != nullptr;
    try {
        if (probeFailed_) {
            Explain("a probe failed", outcome.failure);
            probeLog_.AbandonCycle();
        } else {
            probed_ = probeLog_.FinishCycle(outcome.result);
            ShowLogged(*probed_);
        }
    } catch (...) {
        Explain("a probe could not end", std::current_exception());
        probeFailed_ = true;
    }
    if (outcome.answered && !probeFailed_)
        cycleProblem_.Clear();
}

// The tray shows the record with what the next hop said beside it, so that a
// time-out tells the provider's outage from the home network's.
void WindowLogic::CompanionReturned(Cycle cycle, const std::optional<CompanionEcho>& echo)
{
    JoinWorker();
    companion_log::HopAnswer answer = companion_log::HopAnswer::Unknown;
    if (probed_ && echo) {
        try {
            answer = companionLog_.Write(*probed_, *echo).Answer();
        } catch (...) {
            Explain("the echo to the next hop could not be logged", std::current_exception());
        }
    }
    if (probed_)
        tray_.RecordWritten(*probed_, answer);  // the icon follows the probe even when the log is out of reach
    probed_.reset();
    AfterProbe(cycle, probeFailed_);
}

// The label shows the log's path even when the log could not be opened; the
// list gets the line only when it was, after emptying itself past ten lines.
void WindowLogic::ShowLogged(const CycleRecord& record)
{
    const LogEntry& logged = record.logged;
    if (!logged.logFileName.empty())
        face_.SetCaption(Label::OutFile, logged.logFileName);
    if (!logged.opened)
        return;
    if (face_.ListCount() > kListClearedPast)
        face_.ListClear();
    face_.ListAddItem(logged.line);
}

// A failure that escapes the probe cycle spoils start-up; for Start and the
// ticks it costs that one record, and the schedule goes on.
void WindowLogic::AfterProbe(Cycle cycle, bool failed)
{
    switch (cycle) {
    case Cycle::Load:
        if (failed)
            ShowStartupFailure();
        else
            RestartSchedule();
        break;
    case Cycle::Start:
        RestartSchedule();
        DropHeldTicks();  // the schedule starts afresh from this press
        break;
    case Cycle::Tick:
        // Kept on purpose: the report comes on the 61st tick, not the 60th, as
        // it always has, so that its rhythm in the logs stays the same.
        if (++tickCount_ > kTicksBeforeReport) {
            BeginRebuild();
            return;
        }
        break;
    }
    EndCycle();
}

void WindowLogic::BeginRebuild()
{
    // The page beside the report names the host as the window shows it.
    PageHeading heading {host_.name, host_.address, FormatStamp(seams_.clock())};
    auto rebuild = [this, heading = std::move(heading)] {
        PostedProgress progress(face_);
        RebuildResult result = errList_.Rebuild(progress, heading);
        face_.Post([this, result = std::move(result)] { RebuildDone(result); });
    };
    // Without a thread the rebuild runs here, and the window waits for it.
    if (!StartWorker(rebuild))
        rebuild();
}

void WindowLogic::RebuildDone(const RebuildResult& result)
{
    JoinWorker();
    tickCount_ = 0;
    NoteRebuild(result);
    EndCycle();
}

// A report that could not be rebuilt stays as it was, and List1 keeps what it
// shows; the reason is said once for as long as it stays the same. One that
// replaced the old report but may not survive a power cut says just that.
void WindowLogic::NoteRebuild(const RebuildResult& result)
{
    if (result.written) {
        reportProblem_.clear();
        reportProblemSaid_.Clear();
    } else {
        reportProblem_ = result.problem.empty() ? "the report could not be rebuilt" : result.problem;
        reportProblemSaid_.Report(result.replaced ? reportProblem_
                                                  : "ERR_list.csv is left as it was: " + reportProblem_);
    }
    tray_.ReportProblem(reportProblem_, result.replaced);
}

void WindowLogic::Explain(const char* what, const std::exception_ptr& failure)
{
    cycleProblem_.Report(std::string(what) + ": " + Reason(failure));
}

void WindowLogic::EndCycle()
{
    inFlight_ = false;
    RunHeldHandlers();
}

bool WindowLogic::StartWorker(std::function<void()> work)
{
    try {
        worker_ = seams_.startThread(std::move(work));
        return worker_.joinable();
    } catch (...) {
        Explain("no thread could be started", std::current_exception());
        return false;
    }
}

void WindowLogic::JoinWorker()
{
    if (worker_.joinable())
        worker_.join();
}

bool WindowLogic::HoldBack(Handler handler)
{
    if (!inFlight_)
        return false;
    bool tickAlreadyHeld = handler == Handler::Tick && std::ranges::find(held_, Handler::Tick) != held_.end();
    if (!tickAlreadyHeld)
        held_.push_back(handler);
    return true;
}

void WindowLogic::DropHeldTicks()
{
    std::erase(held_, Handler::Tick);
}

// A held handler that begins a cycle of its own leaves the rest waiting for
// that cycle's end.
void WindowLogic::RunHeldHandlers()
{
    while (!inFlight_ && !held_.empty()) {
        Handler next = held_.front();
        held_.pop_front();
        Run(next);
    }
}

void WindowLogic::Run(Handler handler)
{
    switch (handler) {
    case Handler::Start:
        cmdStart_Click();
        break;
    case Handler::Stop:
        cmdStop_Click();
        break;
    case Handler::Help:
        cmdHelp_Click();
        break;
    case Handler::Tick:
        Timer1_Timer();
        break;
    }
}

}  // namespace vellomar
