// One probe cycle: probe the watched address, compose the probe record, and
// append it to today's daily log and to the on-screen list.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "daily_log_format.h"
#include "diagnostics.h"
#include "socket_stuff.h"

namespace vellomar {

struct LocalDateTime {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The local date and time now.
LocalDateTime LocalNow();

inline constexpr int32_t kProbeTimeoutMs = 5000;

// "yyyy/mm/dd hh:mm:ss"
std::string FormatStamp(const LocalDateTime& stamp);

// "yyyy/mm/dd hh:mm:ss,rtt,status", with an rtt over 1000 ms written as 0 and
// the platform's time-out status written as -10.
std::string ComposeProbeRecord(const LocalDateTime& stamp, int32_t roundTripTime, int32_t status);

// "PING_yyyymmdd.txt"
std::string DailyLogName(const LocalDateTime& date);

// What a probe cycle needs from the window that runs it.
class ProbeWindow {
public:
    virtual ~ProbeWindow() = default;
    virtual void RunPendingEvents() = 0;
    virtual std::string ProbeAddress() const = 0;
    virtual void ShowOutFile(const std::string& path) = 0;
    virtual int ListCount() const = 0;
    virtual void ListClear() = 0;
    virtual void ListAddItem(const std::string& line) = 0;
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
    using Clock = std::function<LocalDateTime()>;

    ProbeLog(std::filesystem::path programFolder, ProbeWindow& window, SocketCalls sockets = {},
             Clock clock = LocalNow);

    // The whole cycle, waiting for the reply on the calling thread.
    void PingOnce();

    // The cycle in three steps, so that the wait can run elsewhere.
    // Before the send: runs the pending window events, starts the socket
    // library and reads the address. Returns no address when the library did
    // not start; the socket failure line is then logged and the cycle is over.
    std::optional<std::string> BeginCycle();
    // The send itself, into a fresh zero-filled reply record; it touches
    // nothing of the window, so it may run off the window's thread.
    int32_t Send(const std::string& address, EchoReply& reply) const;
    // After the reply: reads the clock, logs the record, releases the library.
    void FinishCycle(int32_t status, const EchoReply& reply);
    // A cycle whose send failed before it gave a status: releases the library.
    void AbandonCycle();

    // Appends one line to today's daily log and to the list; fails silently.
    void WriteLog(const std::string& line);

    const std::string& LogBaseName() const { return logBaseName_; }
    const std::string& LogFileName() const { return logFileName_; }

private:
    std::filesystem::path programFolder_;
    ProbeWindow& window_;
    SocketCalls sockets_;
    Clock clock_;
    std::string logBaseName_;
    std::string logFileName_;
    platform::RecurringProblem appendProblem_;
};

}  // namespace vellomar
