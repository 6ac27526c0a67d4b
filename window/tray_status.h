// Follows the records as the probe cycle writes them and the schedule's
// state, and tells the face what its tray icon shows and when an outage
// begins or ends.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "outage_tracker.h"
#include "probe_record.h"
#include "tray_state.h"
#include "window_face.h"

namespace vellomar {

// Notifications come at most this often; one that falls due sooner waits,
// and a later one takes its place.
inline constexpr std::chrono::seconds kNotificationSpacing {60};

class TrayStatus {
public:
    using SteadyClock = std::function<std::chrono::steady_clock::time_point()>;

    explicit TrayStatus(WindowFace& face, SteadyClock now = std::chrono::steady_clock::now);
    TrayStatus(const TrayStatus&) = delete;  // its outage tracker reports to this one
    TrayStatus& operator=(const TrayStatus&) = delete;

    // A line the probe cycle has just written to the daily log.
    void RecordWritten(const std::string& line);
    void ScheduleRunning(bool running);
    // Why the last rebuild left the report as it was; empty when it was written.
    void ReportProblem(const std::string& problem);
    // Shows the state as it stands, for a face that has just appeared.
    void Show();

private:
    struct Notice {
        std::string title;
        std::string text;
    };

    void OutageEnded(const report::KeptStamp& first, const report::KeptStamp& last);
    void Offer(Notice notice);
    void NotifyIfDue();
    std::string Host() const;
    std::string LastRecordText() const;
    TrayColour LastRecordColour() const;

    WindowFace& face_;
    SteadyClock now_;
    report::ProbeRecordParser parser_;
    report::OutageTracker outages_;
    bool running_ = false;
    std::string lastLine_;  // empty until the first record
    std::string reportProblem_;
    std::optional<Notice> pending_;
    std::optional<std::chrono::steady_clock::time_point> lastNotified_;
};

}  // namespace vellomar
