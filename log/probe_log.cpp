#include "probe_log.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "daily_log_file.h"
#include "diagnostics.h"
#include "local_time.h"

namespace vellomar {

namespace {

std::string TwoDigits(int value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

std::string FourDigits(int value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04d", value);
    return text;
}

std::string DateDigits(const LocalDateTime& date, const char* separator)
{
    return FourDigits(date.year) + separator + TwoDigits(date.month) + separator + TwoDigits(date.day);
}

// Text for labels and messages: UTF-8 on every system, whatever the code page.
std::string Utf8(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

LocalDateTime LocalNow()
{
    std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    const std::tm local = platform::LocalTime(now);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

std::string FormatStamp(const LocalDateTime& stamp)
{
    return DateDigits(stamp, "/") + " " + TwoDigits(stamp.hour) + ":" + TwoDigits(stamp.minute) + ":" +
           TwoDigits(stamp.second);
}

std::string ComposeProbeRecord(const LocalDateTime& stamp, int32_t roundTripTime, int32_t status)
{
    if (roundTripTime > 1000)
        roundTripTime = 0;
    if (status == kIpRequestTimedOut)
        status = daily_log::kTimedOutStatus;
    return FormatStamp(stamp) + "," + std::to_string(roundTripTime) + "," + std::to_string(status);
}

std::string DailyLogName(const LocalDateTime& date)
{
    return std::string(daily_log::kNamePrefix) + DateDigits(date, "") + std::string(daily_log::kNameSuffix);
}

ProbeLog::ProbeLog(std::filesystem::path programFolder, ProbeWindow& window, SocketCalls sockets, Clock clock)
    : programFolder_(std::move(programFolder)), window_(window), sockets_(std::move(sockets)), clock_(std::move(clock))
{}

void ProbeLog::PingOnce()
{
    std::optional<std::string> address = BeginCycle();
    if (!address)
        return;
    EchoReply reply {};
    int32_t status = Send(*address, reply);
    FinishCycle(status, reply);
}

std::optional<std::string> ProbeLog::BeginCycle()
{
    window_.RunPendingEvents();
    if (!sockets_.initialize()) {
        WriteLog(daily_log::kSocketFailureLine);
        return std::nullopt;
    }
    return window_.ProbeAddress();
}

int32_t ProbeLog::Send(const std::string& address, EchoReply& reply) const
{
    return sockets_.sendPing(address, kProbeTimeoutMs, reply);
}

void ProbeLog::FinishCycle(int32_t status, const EchoReply& reply)
{
    LocalDateTime stamp = clock_();
    WriteLog(ComposeProbeRecord(stamp, reply.RoundTripTime, status));
    sockets_.cleanup();
}

void ProbeLog::AbandonCycle()
{
    sockets_.cleanup();
}

void ProbeLog::WriteLog(const std::string& line)
{
    try {
        LocalDateTime today = clock_();
        const std::filesystem::path logFile = programFolder_ / DailyLogName(today);
        logBaseName_ = Utf8(programFolder_ / (std::string(daily_log::kNamePrefix) + DateDigits(today, ".")));
        logFileName_ = Utf8(logFile);
        window_.ShowOutFile(logFileName_);

        DailyLogFile file(logFile);
        if (!file.IsOpen()) {
            appendProblem_.Report("cannot open " + logFileName_ + " (" + platform::LastErrorText() +
                                  "): the records are not logged");
            return;
        }
        if (window_.ListCount() > 10)
            window_.ListClear();
        window_.ListAddItem(line);
        if (file.Append(line + std::string(daily_log::kLineEnd)))
            appendProblem_.Clear();
        else
            appendProblem_.Report("cannot append to " + logFileName_ + " (" + file.Problem() +
                                  "): the records are not logged");
    } catch (...) {
        // A record that cannot be logged is dropped; the next cycle tries afresh.
    }
}

}  // namespace vellomar
