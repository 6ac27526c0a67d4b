// Finds outages, runs of timed-out probe records, in the stream of records of
// all daily logs read in order, and keeps each log's total outage time.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>

#include "probe_record.h"

namespace vellomar::report {

// Timed-out records further apart than this lie on either side of time when
// the monitor was not running, and so belong to two outages.
inline constexpr StampSeconds kMaxGapWithinOutage = 60;

struct Outage {
    std::string_view start;  // stamp of its first timed-out record
    std::string_view end;    // stamp of its last timed-out record
    std::int64_t seconds;    // end minus start
};

class OutageTracker {
public:
    // writeRow is given every outage whose first and last stamps differ, as
    // the outage ends.
    explicit OutageTracker(std::function<void(const Outage&)> writeRow);

    // Starts the daily total of the next log. An open outage goes on.
    void BeginLog() { dailyTotal_ = 0; }
    void Add(const ProbeRecord& record)
    {
        if (record.timedOut || inOutage_) {
            AddToOutage(record);  // most records are neither, and cost only this test
        }
    }
    // Sum of the outages that ended since BeginLog.
    std::int64_t DailyTotal() const { return dailyTotal_; }

private:
    using StampText = std::array<char, kStampLength>;

    void AddToOutage(const ProbeRecord& record);
    void StartOutage(const ProbeRecord& record);
    void EndOutage();
    static void Keep(StampText& text, std::string_view stamp);

    std::function<void(const Outage&)> writeRow_;
    bool inOutage_ = false;
    StampText startText_{};
    StampText lastText_{};
    StampSeconds startSeconds_ = 0;
    StampSeconds lastSeconds_ = 0;
    std::int64_t dailyTotal_ = 0;
};

}  // namespace vellomar::report
