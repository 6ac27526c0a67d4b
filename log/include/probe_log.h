// One probe cycle: probe an address, compose the probe record, and append it
// to today's daily log. What was written goes back to the caller, which shows it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "diagnostics.h"
#include "local_time.h"
#include "socket_stuff.h"

namespace vellomar {

inline constexpr int32_t kProbeTimeoutMs = 5000;

// "yyyy/mm/dd hh:mm:ss,rtt,status", with an rtt over 1000 ms written as 0 and
// the platform's time-out status written as -10.
std::string ComposeProbeRecord(const platform::LocalDateTime& stamp, int32_t roundTripTime, int32_t status);

// What one append did with its line.
struct LogEntry {
    std::string line;
    std::string logFileName;  // the daily log's full path, UTF-8
    bool opened = false;      // the log was opened: the line belongs on the list too
    bool written = false;     // the line is in the log
};

// The three calls of the socket code that a cycle makes, replaceable so that a
// cycle can run without a network.
struct SocketCalls {
    std::function<bool()> initialize = SocketsInitialize;
    std::function<int32_t(std::string, int32_t, EchoReply&)> sendPing = SendPing;
    std::function<void()> cleanup = SocketsCleanup;
};

class ProbeLog {
public:
    using Clock = std::function<platform::LocalDateTime()>;

    explicit ProbeLog(std::filesystem::path programFolder, SocketCalls sockets = {}, Clock clock = platform::LocalNow);

    // The whole cycle, waiting for the reply on the calling thread.
    LogEntry PingOnce(const std::string& address);

    // The cycle in steps, so that the wait can run elsewhere.
    // Starts the socket library. When it will not start, the socket failure
    // line is logged in place of a record and returned: the cycle is over.
    std::optional<LogEntry> BeginCycle();
    // The send itself, into a fresh zero-filled reply record; it keeps no
    // state, so it may run on another thread.
    int32_t Send(const std::string& address, EchoReply& reply) const;
    // After the reply: reads the clock, logs the record, releases the library.
    LogEntry FinishCycle(int32_t status, const EchoReply& reply);
    // A cycle whose send failed before it gave a status: releases the library.
    void AbandonCycle();

    // Appends one line to today's daily log. Never throws: a line that
    // cannot be logged is lost, and why goes to the diagnostics.
    LogEntry WriteLog(const std::string& line);

    const std::string& LogBaseName() const { return logBaseName_; }
    const std::string& LogFileName() const { return logFileName_; }

private:
    void Append(LogEntry& entry, const std::filesystem::path& logFile);

    std::filesystem::path programFolder_;
    SocketCalls sockets_;
    Clock clock_;
    std::string logBaseName_;
    std::string logFileName_;
    platform::RecurringProblem appendProblem_;
};

}  // namespace vellomar
