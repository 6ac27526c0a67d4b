// One probe cycle: probe an address, compose the probe record, and append it
// to today's daily log. What was written goes back to the caller as values.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "daily_log_format.h"
#include "diagnostics.h"
#include "local_time.h"
#include "next_hop.h"
#include "outcome.h"
#include "socket_stuff.h"

namespace vellomar {

inline constexpr int32_t kProbeTimeoutMs = 5000;

// What one append did with its line.
struct LogEntry {
    std::string line;
    std::string logFileName;  // the daily log's full path, UTF-8
    bool opened = false;      // the log was opened: the line belongs on the list too
    bool written = false;     // the line is in the log
};

// One cycle's line of the daily log as values: a probe record, or the socket
// failure line in its place.
struct CycleRecord {
    bool socketFailure = false;  // no probe was made: the record's fields are unset
    std::string stamp;           // "yyyy/mm/dd hh:mm:ss"
    daily_log::StampSeconds seconds = 0;
    int32_t roundTripMs = 0;  // as written
    int32_t status = 0;       // as written
    EchoEnd end = EchoEnd::NotSent;
    LogEntry logged;  // the line, and what the append did with it
};

// The record "yyyy/mm/dd hh:mm:ss,rtt,status" of a probe, not yet appended.
CycleRecord ComposeProbeRecord(const platform::LocalDateTime& stamp, const ProbeResult& probe);

// The calls of the socket code that a cycle makes, replaceable so that a
// cycle can run without a network.
struct SocketCalls {
    std::function<bool()> initialize = SocketsInitialize;
    std::function<ProbeResult(const std::string&, int32_t)> sendPing = SendPing;
    std::function<void()> cleanup = SocketsCleanup;
    // The next hop toward an address, dotted; empty when there is none.
    std::function<platform::Outcome<std::string>(const std::string&)> nextHop = probe::NextHopToward;
};

// The cycle in steps, so that the wait for the reply can run off the window's
// thread.
class ProbeLog {
public:
    using Clock = std::function<platform::LocalDateTime()>;

    explicit ProbeLog(std::filesystem::path programFolder, SocketCalls sockets = {}, Clock clock = platform::LocalNow);

    // Starts the socket library. When it will not start, the socket failure
    // line is logged in place of a record and returned: the cycle is over.
    std::optional<CycleRecord> BeginCycle();
    // The send itself; it keeps no state, so it may run on another thread.
    ProbeResult Send(const std::string& address) const;
    // After the reply: reads the clock, logs the record, releases the library.
    CycleRecord FinishCycle(const ProbeResult& probe);
    // A cycle whose send failed before it gave a result: releases the library.
    void AbandonCycle();

    // Appends one line to today's daily log, named by the clock as it reads
    // now. Never throws: a line that cannot be logged is lost, and why goes to
    // the diagnostics.
    LogEntry WriteLog(const std::string& line);

private:
    std::filesystem::path programFolder_;
    SocketCalls sockets_;
    Clock clock_;
    platform::RecurringProblem appendProblem_;
};

}  // namespace vellomar
