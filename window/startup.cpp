#include "startup.h"

#include "diagnostics.h"
#include "files.h"
#include "host_config.h"
#include "single_instance.h"
#include "window_logic.h"

namespace vellomar {

namespace {

constexpr int kRefused = 2;  // a host line refused, or no display
constexpr int kFailed = 1;

// For the installers: 0 and the line as it will be written, or 2 and why not.
int CheckHost(const std::string& line, StartFace& face)
{
    const platform::Outcome<std::string> checked = CheckHostLine(line);
    face.WriteLine(checked ? *checked : checked.Reason(), !checked);
    return checked ? 0 : kRefused;
}

// One monitor per folder: a later start hands over to the running one and
// ends before it reads, probes or writes anything. One started at login
// leaves the running window as it is.
int HandOver(platform::FolderClaim& claim, bool minimized)
{
    if (minimized)
        return 0;
    if (platform::Done asked = claim.AskHolderToShow(); !asked) {
        platform::ExplainProblem("another monitor runs from this folder and could not be asked to show its window: " +
                                 asked.Reason());
        return kFailed;
    }
    return 0;
}

}  // namespace

StartArguments ReadStartArguments(const std::vector<std::string>& arguments)
{
    StartArguments read;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--minimized")
            read.minimized = true;
        else if (arguments[i] == "--check-host")
            read.hostToCheck = i + 1 < arguments.size() ? arguments[++i] : std::string();
    }
    return read;
}

int RunMonitor(const std::vector<std::string>& arguments, StartFace& face)
{
    const StartArguments start = ReadStartArguments(arguments);
    if (start.hostToCheck)
        return CheckHost(*start.hostToCheck, face);
    platform::FolderClaim claim(platform::ProgramFolder());
    using Claim = platform::FolderClaim::Outcome;
    if (claim.outcome() == Claim::HeldByAnother)
        return HandOver(claim, start.minimized);
    if (claim.outcome() == Claim::NotAvailable)
        platform::ExplainProblem(claim.Problem());
    if (platform::Done display = face.CheckDisplay(); !display) {
        platform::ExplainProblem(display.Reason());
        return kRefused;
    }
    WindowSeams seams;
    seams.programFolder = platform::ProgramFolder();
    if (platform::Done made = face.MakeWindow(std::move(seams)); !made) {
        platform::ExplainProblem("the window could not be made: " + made.Reason());
        return kFailed;
    }
    face.ShowAtStart(ShowAtStart(start.minimized, face.TrayShown()));
    std::optional<platform::ShowRequestListener> listener;
    if (claim.outcome() == Claim::Holder) {
        auto listening = claim.ListenForShowRequests([&face] { face.ShowAndRaise(); });
        if (listening)
            listener.emplace(std::move(*listening));
        else
            platform::ExplainProblem(listening.Reason());
    }
    face.Logic().Form_Load();
    return face.RunUntilClosed();
}

}  // namespace vellomar
