// "ERR_list.html": the outages at a glance, beside the report. One page that
// needs nothing but itself: inline CSS and SVG, no script, UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "outage_tracker.h"
#include "stamp.h"

namespace vellomar::report {

struct PageOutage {
    KeptStamp start;  // stamps as written in the logs
    KeptStamp end;
    std::int64_t Seconds() const { return end.seconds - start.seconds; }
};

// One day of the calendar: its day number (days since 1970/01/01) and the
// outage time its daily log added up to.
struct PageDay {
    std::int64_t day = 0;
    std::int64_t outageSeconds = 0;
};

// Ten minutes of round-trip times.
struct RttSlot {
    StampSeconds start = 0;
    int replies = 0;  // records with status 0
    int timeouts = 0;
    int medianMs = 0;  // of the replies; meaningful when there were any
    int maxMs = 0;
};

struct OutagePage {
    std::string hostName;  // UTF-8, shown as text
    std::string address;
    std::string firstStamp;  // the period the logs cover; empty without records
    std::string lastStamp;
    std::string madeAt;
    std::int64_t outageCount = 0;
    std::int64_t outageSeconds = 0;
    std::int64_t monitoredSeconds = 0;
    std::vector<PageDay> days;        // days with a daily log, ascending
    std::vector<PageOutage> longest;  // longest first, at most kLongestOutages
    std::vector<RttSlot> recentRtt;   // ascending, the last kRttDays days only
};

inline constexpr std::size_t kLongestOutages = 20;
inline constexpr int kCalendarDays = 366;
inline constexpr int kRttDays = 7;
inline constexpr StampSeconds kRttSlotSeconds = 600;

// Gathers the page's numbers as the daily logs are folded in name order.
class PageTally {
public:
    // Outages keep a row in the report exactly when they span some time.
    void AddOutage(const KeptStamp& first, const KeptStamp& last);
    // A log's own outages: how many, and the longest of them.
    void AddOutages(std::int64_t count, const std::vector<PageOutage>& longest);
    // A daily log: its day ("yyyy/mm/dd"), what its outages added up to, its
    // lines (each stands for one ten-second tick of the monitor), the
    // earliest and latest stamps read in it, and its round-trip times.
    void AddLog(std::string_view day, std::int64_t outageSeconds, std::int64_t lines, const KeptStamp* first,
                const KeptStamp* last, const std::vector<RttSlot>& rtt);
    // The page, with its heading.
    OutagePage Page(std::string hostName, std::string address, std::string madeAt) const;

private:
    OutagePage page_;
    StampSeconds firstSeconds_ = 0, lastSeconds_ = 0;
};

// Keeps the longest outages, longest first, the earlier first among equals.
void KeepLongest(std::vector<PageOutage>& longest, PageOutage outage);

// Ten-minute slots of round-trip times, from records in the order read.
class RttSlots {
public:
    void Add(StampSeconds at, bool replied, bool timedOut, std::int32_t roundTripMs);
    std::vector<RttSlot> Take();

private:
    void Close();
    std::vector<RttSlot> slots_;
    std::vector<std::int32_t> times_;  // of the slot still open
    bool open_ = false;
};

inline constexpr std::int64_t kSecondsPerTick = 10;

std::string RenderOutagePage(const OutagePage& page);

// Text made safe to stand in HTML, in an element or a quoted attribute.
std::string EscapeHtml(std::string_view text);

}  // namespace vellomar::report
