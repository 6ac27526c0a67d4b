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

std::string ComposeProbeRecord(const platform::LocalDateTime& stamp, int32_t roundTripTime, int32_t status)
{
    if (roundTripTime > 1000)
        roundTripTime = 0;
    if (status == kIpRequestTimedOut)
        status = daily_log::kTimedOutStatus;
    return FormatStamp(stamp) + "," + std::to_string(roundTripTime) + "," + std::to_string(status);
}

ProbeLog::ProbeLog(std::filesystem::path programFolder, SocketCalls sockets, Clock clock)
    : programFolder_(std::move(programFolder)), sockets_(std::move(sockets)), clock_(std::move(clock))
{}

LogEntry ProbeLog::PingOnce(const std::string& address)
{
    if (std::optional<LogEntry> socketFailure = BeginCycle())
        return *socketFailure;
    EchoReply reply {};
    int32_t status = Send(address, reply);
    return FinishCycle(status, reply);
}

std::optional<LogEntry> ProbeLog::BeginCycle()
{
    if (!sockets_.initialize())
        return WriteLog(daily_log::kSocketFailureLine);
    return std::nullopt;
}

int32_t ProbeLog::Send(const std::string& address, EchoReply& reply) const
{
    return sockets_.sendPing(address, kProbeTimeoutMs, reply);
}

LogEntry ProbeLog::FinishCycle(int32_t status, const EchoReply& reply)
{
    platform::LocalDateTime stamp = clock_();
    LogEntry entry = WriteLog(ComposeProbeRecord(stamp, reply.RoundTripTime, status));
    sockets_.cleanup();
    return entry;
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
        platform::LocalDateTime today = clock_();
        const std::filesystem::path logFile = programFolder_ / DailyLogName(today);
        logBaseName_ = Utf8(programFolder_ / (std::string(daily_log::kNamePrefix) + DateDigits(today, ".")));
        logFileName_ = Utf8(logFile);
        entry.logFileName = logFileName_;
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
        appendProblem_.Report("cannot open " + logFileName_ + " (" + file.Reason() + "): the records are not logged");
        return;
    }
    const platform::Done appended = file->Append(entry.line + std::string(daily_log::kLineEnd));
    entry.written = static_cast<bool>(appended);
    if (entry.written)
        appendProblem_.Clear();
    else
        appendProblem_.Report("cannot append to " + logFileName_ + " (" + appended.Reason() +
                              "): the records are not logged");
}

}  // namespace vellomar
