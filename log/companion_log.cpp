#include "companion_log.h"

#include <exception>
#include <utility>

#include "daily_log_file.h"
#include "daily_log_format.h"

namespace vellomar {

namespace {

// "GATEWAY_yyyymmdd.txt" of the day the stamp "yyyy/mm/dd hh:mm:ss" names.
std::string CompanionLogNameOf(const std::string& stamp)
{
    return std::string(companion_log::kNamePrefix) + stamp.substr(0, 4) + stamp.substr(5, 2) + stamp.substr(8, 2) +
           std::string(companion_log::kNameSuffix);
}

}  // namespace

CompanionRecord ComposeCompanionRecord(const CycleRecord& probe, const CompanionEcho& echo)
{
    CompanionRecord record;
    record.hop = echo.hop;
    if (!echo.hop.empty()) {
        record.roundTripMs = echo.result.roundTripMs;
        record.status = echo.result.end == EchoEnd::TimedOut ? daily_log::kTimedOutStatus : echo.result.status;
    }
    record.logged.line =
        probe.stamp + "," + std::to_string(record.roundTripMs) + "," + std::to_string(record.status) + "," + record.hop;
    return record;
}

CompanionLog::CompanionLog(std::filesystem::path programFolder, SocketCalls sockets)
    : programFolder_(std::move(programFolder)), sockets_(std::move(sockets))
{}

// The socket library is started for the echo as for the probe: the two run
// at once, and either may end first.
CompanionEcho CompanionLog::Send(const std::string& address) const
{
    CompanionEcho echo;
    try {
        platform::Outcome<std::string> hop = sockets_.nextHop(address);
        if (!hop) {
            echo.problem = "cannot find the next hop toward the host: " + hop.Reason();
            return echo;
        }
        if (hop->empty() || !sockets_.initialize())
            return echo;
        echo.hop = std::move(*hop);
        echo.result = SendStarted(echo.hop);
    } catch (const std::exception& error) {
        echo = {{}, {}, std::string("the echo to the next hop failed: ") + error.what()};
    }
    return echo;
}

ProbeResult CompanionLog::SendStarted(const std::string& hop) const
{
    try {
        ProbeResult result = sockets_.sendPing(hop, kProbeTimeoutMs);
        sockets_.cleanup();
        return result;
    } catch (...) {
        sockets_.cleanup();
        throw;
    }
}

CompanionRecord CompanionLog::Write(const CycleRecord& probe, const CompanionEcho& echo)
{
    if (echo.problem.empty())
        echoProblem_.Clear();
    else
        echoProblem_.Report(echo.problem);
    CompanionRecord record = ComposeCompanionRecord(probe, echo);
    record.logged = AppendLogLine([&] { return programFolder_ / CompanionLogNameOf(probe.stamp); }, record.logged.line,
                                  appendProblem_);
    return record;
}

}  // namespace vellomar
