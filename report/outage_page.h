// "ERR_list.html": the outages at a glance, beside the report. One page that
// needs nothing but itself: inline CSS and SVG, no script, UTF-8.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "local_time.h"
#include "outage_place.h"
#include "outage_tracker.h"
#include "stamp.h"

namespace vellomar::report {

using companion_log::OutagePlace;
using companion_log::PlaceCount;
using companion_log::PlaceText;

// Outage time for each place, in the order of OutagePlace.
inline constexpr std::size_t kOutagePlaces = 3;
using PlaceSeconds = std::array<std::int64_t, kOutagePlaces>;

inline void AddSeconds(PlaceSeconds& seconds, OutagePlace place, std::int64_t more)
{
    seconds[static_cast<std::size_t>(place)] += more;
}

inline void AddSeconds(PlaceSeconds& seconds, const PlaceSeconds& more)
{
    for (std::size_t i = 0; i < kOutagePlaces; ++i) {
        seconds[i] += more[i];
    }
}

// The counts of an outage from those of two stretches of it.
inline PlaceCount Sum(const PlaceCount& a, const PlaceCount& b)
{
    return PlaceCount {a.ticks + b.ticks, a.answered + b.answered, a.silent + b.silent};
}

struct PageOutage {
    KeptStamp start;  // stamps as written in the logs
    KeptStamp end;
    OutagePlace place = OutagePlace::Unknown;
    std::int64_t Seconds() const { return end.seconds - start.seconds; }
};

// A stretch of time between two stamps, from < to, and how long it lasted:
// less than to - from when the clock was set forward within it.
struct Stretch {
    StampSeconds from = 0;
    StampSeconds to = 0;
    std::int64_t seconds = 0;
};

// One day of the calendar: its day number (days since 1970/01/01) and the
// outage time its daily log added up to.
struct PageDay {
    std::int64_t day = 0;
    std::int64_t outageSeconds = 0;
    PlaceSeconds byPlace {};  // outageSeconds split by where its outages were
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
    PlaceSeconds outageByPlace {};  // outageSeconds split by where its outages were
    std::int64_t monitoredSeconds = 0;
    std::vector<PageDay> days;        // days with a daily log, ascending
    std::vector<PageOutage> longest;  // longest first, at most kLongestOutages
    std::vector<RttSlot> recentRtt;   // ascending, the last kRttDays days only
    // Time nobody watched (the computer off or asleep, the program closed):
    // every stretch between two consecutive records more than
    // kMaxGapWithinOutage apart, within a log or from one log to the next,
    // across midnight and days without a log, in the order folded. The period
    // runs from the first record to the last: the time before the first and
    // after the last lies outside it and counts neither as watched nor as
    // unwatched.
    std::vector<Stretch> unwatched;
    std::int64_t unwatchedSeconds = 0;
    // The offsets from UTC of the local times the period spans, in the order met.
    std::vector<platform::UtcOffset> utcOffsets;
};

inline constexpr std::size_t kLongestOutages = 20;
inline constexpr int kCalendarDays = 366;
inline constexpr int kRttDays = 7;
inline constexpr StampSeconds kRttSlotSeconds = 600;

inline constexpr std::int64_t kSecondsPerTick = 10;

// The page, as one text.
std::string RenderOutagePage(const OutagePage& page);

// Text made safe to stand in HTML, in an element or a quoted attribute.
std::string EscapeHtml(std::string_view text);

}  // namespace vellomar::report
