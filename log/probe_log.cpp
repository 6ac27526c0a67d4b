#include "probe_log.h"

#include <exception>

#include "daily_log_file.h"
#include "daily_log_format.h"
#include "stamp_text.h"

namespace vellomar {

namespace {

// Text for labels and messages: UTF-8 on every system, whatever the code page.
std::string Utf8(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

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
    LogEntry entry;
    entry.line = line;
    try {
        const std::filesystem::path logFile = programFolder_ / DailyLogName(clock_());
        entry.logFileName = Utf8(logFile);
        Append(entry, logFile);
    } catch (const std::exception& error) {
        appendProblem_.Report(std::string("cannot log a record: ") + error.what());
    } catch (...) {
        appendProblem_.Report("cannot log a record: an unknown failure");
    }
    return entry;
}

void ProbeLog::Append(LogEntry& entry, const std::filesystem::path& logFile)
{
    platform::Outcome<DailyLogFile> file = DailyLogFile::Open(logFile);
    entry.opened = static_cast<bool>(file);
    if (!entry.opened) {
        appendProblem_.Report("cannot open " + entry.logFileName + " (" + file.Reason() +
                              "): the records are not logged");
        return;
    }
    const platform::Done appended = file->Append(entry.line + std::string(daily_log::kLineEnd));
    entry.written = static_cast<bool>(appended);
    if (entry.written)
        appendProblem_.Clear();
    else
        appendProblem_.Report("cannot append to " + entry.logFileName + " (" + appended.Reason() +
                              "): the records are not logged");
}

}  // namespace vellomar
