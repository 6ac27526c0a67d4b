// Follows the records as the probe cycle writes them and the schedule's
// state, and tells the face what its tray icon shows and when an outage
// begins or ends.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "outage_place.h"
#include "outage_rule.h"
#include "probe_log.h"
#include "tray_state.h"
#include "window_face.h"

namespace vellomar {

// Notifications come at most this often; one that falls due sooner waits,
// and a later one takes its place.
inline constexpr std::chrono::seconds kNotificationSpacing {60};

// The host the monitor watches, as Vellomar.ini names it.
struct WatchedHost {
    std::string name;
    std::string address;
};

class TrayStatus {
public:
    using SteadyClock = std::function<std::chrono::steady_clock::time_point()>;

    explicit TrayStatus(WindowFace& face, SteadyClock now = std::chrono::steady_clock::now);
    TrayStatus(const TrayStatus&) = delete;  // its outage tracker reports to this one
    TrayStatus& operator=(const TrayStatus&) = delete;

    // What the probe cycle has just written to the daily log, whether or not
    // the log took it, and what the next hop said beside it.
    void RecordWritten(const CycleRecord& record, companion_log::HopAnswer hop);
    // The host the texts name, from the next time the tray is shown.
    void SetHost(WatchedHost host);
    void ScheduleRunning(bool running);
    // Why the last rebuild left the report as it was, or why the report it
    // put in place is not yet safe on the disk; empty when it was written.
    void ReportProblem(const std::string& problem, bool reportReplaced);
    // Shows the state as it stands, for a face that has just appeared.
    void Show();

private:
    struct Notice {
        std::string title;
        std::string text;
    };

    void OutageBegan(const CycleRecord& record, companion_log::HopAnswer hop);
    void OutageEnded(const daily_log::KeptStamp& first, const daily_log::KeptStamp& last);
    void Offer(Notice notice);
    void NotifyIfDue();
    std::string Host() const;
    TrayColour LastRecordColour() const;

    WindowFace& face_;
    SteadyClock now_;
    daily_log::OutageTracker outages_;
    WatchedHost host_;
    bool running_ = false;
    std::optional<CycleRecord> lastRecord_;
    companion_log::HopAnswer lastHop_ = companion_log::HopAnswer::Unknown;
    companion_log::PlaceCount place_;  // of the outage under way, or the last one
    std::string reportProblem_;
    bool reportReplaced_ = false;
    std::optional<Notice> pending_;
    std::optional<std::chrono::steady_clock::time_point> lastNotified_;
};

}  // namespace vellomar
