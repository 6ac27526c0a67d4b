#include "probe_log.h"

#include <exception>

#include "daily_log_file.h"
#include "daily_log_format.h"
#include "stamp_text.h"

namespace vellomar {

CycleRecord ComposeProbeRecord(const platform::LocalDateTime& stamp, const ProbeResult& probe)
{
    CycleRecord record;
    record.stamp = FormatStamp(stamp);
    record.seconds = StampSecondsOf(stamp);
    record.end = probe.end;
    // Kept on purpose: the first monitor wrote a round trip over a second as 0,
    // and the logs of all the years since read that way.
    record.roundTripMs = probe.roundTripMs > 1000 ? 0 : probe.roundTripMs;
    record.status = probe.end == EchoEnd::TimedOut ? daily_log::kTimedOutStatus : probe.status;
    record.logged.line = record.stamp + "," + std::to_string(record.roundTripMs) + "," + std::to_string(record.status);
    return record;
}

ProbeLog::ProbeLog(std::filesystem::path programFolder, SocketCalls sockets, Clock clock)
    : programFolder_(std::move(programFolder)), sockets_(std::move(sockets)), clock_(std::move(clock))
{}

// Kept on purpose: the socket library is started and released around every
// probe, as the first monitor did, so that no cycle depends on the last one.
std::optional<CycleRecord> ProbeLog::BeginCycle()
{
    if (sockets_.initialize())
        return std::nullopt;
    CycleRecord failure;
    failure.socketFailure = true;
    failure.logged = WriteLog(daily_log::kSocketFailureLine);
    return failure;
}

ProbeResult ProbeLog::Send(const std::string& address) const
{
    return sockets_.sendPing(address, kProbeTimeoutMs);
}

CycleRecord ProbeLog::FinishCycle(const ProbeResult& probe)
{
    CycleRecord record = ComposeProbeRecord(clock_(), probe);
    record.logged = WriteLog(record.logged.line);
    sockets_.cleanup();
    return record;
}

void ProbeLog::AbandonCycle()
{
    sockets_.cleanup();
}

LogEntry ProbeLog::WriteLog(const std::string& line)
{
    return AppendLogLine([this] { return programFolder_ / DailyLogName(clock_()); }, line, appendProblem_);
}

}  // namespace vellomar
