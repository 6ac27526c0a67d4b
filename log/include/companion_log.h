// Beside each probe of the host, one echo to the next hop toward it, and its
// line in the companion log of the probe record's day. Nothing of it reaches
// the daily log, List1 or the report's outages.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "diagnostics.h"
#include "outage_place.h"
#include "probe_log.h"

namespace vellomar {

// What the echo to the next hop gave, before it is logged.
struct CompanionEcho {
    std::string hop;      // dotted; empty when there was none
    ProbeResult result;   // nothing sent without a hop
    std::string problem;  // why no echo could be sent, when that went wrong
};

// One line of the companion log "yyyy/mm/dd hh:mm:ss,rtt,status,hop" as values.
struct CompanionRecord {
    std::string hop;
    int32_t roundTripMs = 0;
    int32_t status = companion_log::kNoNextHopStatus;
    LogEntry logged;

    companion_log::HopAnswer Answer() const { return companion_log::HopAnswerOf(status, !hop.empty()); }
};

// The line for echo, under the stamp of the probe record it was sent beside.
CompanionRecord ComposeCompanionRecord(const CycleRecord& probe, const CompanionEcho& echo);

class CompanionLog {
public:
    CompanionLog(std::filesystem::path programFolder, SocketCalls sockets);

    // Looks the next hop toward address up and, when there is one, echoes it
    // as the probe does. Keeps no state, so it may run on another thread, and
    // never throws: a failure comes back as the echo's problem, with no hop.
    CompanionEcho Send(const std::string& address) const;
    // Appends echo's line to the companion log of probe's day; never throws.
    CompanionRecord Write(const CycleRecord& probe, const CompanionEcho& echo);

private:
    ProbeResult SendStarted(const std::string& hop) const;

    std::filesystem::path programFolder_;
    SocketCalls sockets_;
    platform::RecurringProblem appendProblem_;
    platform::RecurringProblem echoProblem_;
};

}  // namespace vellomar
