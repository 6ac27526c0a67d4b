// The numbers of the page beside the report, gathered log by log.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "log_part.h"
#include "outage_page.h"

namespace vellomar::report {

// Gathers the page's numbers as the daily logs are folded in name order.
class PageTally {
public:
    // A daily log, folded after the logs before it: its outages, its day's
    // total, its lines (each stands for one ten-second tick of the monitor),
    // the earliest and latest stamps read in it, and its round-trip times.
    void AddLog(const LogPart& part, const FoldedLog& folded);
    // The page, with its heading.
    OutagePage Page(std::string hostName, std::string address, std::string madeAt) const;

private:
    void AddOutage(const OutageSpan& outage);
    void AddStamps(const KeptStamp& first, const KeptStamp& last);
    // The log's unwatched time, that since the log before, and the offsets
    // from UTC of its local times.
    void AddWatch(const LogPart& part);
    void AddOffsetAt(StampSeconds at);

    OutagePage page_;
    StampSeconds firstSeconds_ = 0, lastSeconds_ = 0;
    std::optional<StampSeconds> lastFolded_;  // the last record of the logs folded
};

// The page's tally of the logs before the newest, as the last page left it:
// the next page goes on from there while those logs stay as they are and the
// newest day, which decides whose round-trip times count, is the same. A
// rebuild marks what changed while a page may be made on another thread: a
// lock keeps the two apart.
class PageTallyCache {
public:
    // The logs from the index'th on are no longer what the tally saw.
    void ChangedFrom(std::size_t index);
    // The page of every log's part, in name order; newestDay is the day of
    // the newest log's name.
    OutagePage Page(const std::vector<std::shared_ptr<const LogPart>>& parts, std::int64_t newestDay,
                    std::string hostName, std::string address, std::string madeAt);

private:
    struct Start {
        PageTally tally;
        OutageFold fold;
        std::size_t logs = 0;
        std::int64_t newestDay = INT64_MIN;
    };
    std::mutex mutex_;
    std::optional<Start> start_;
    std::size_t unchanged_ = 0;  // leading logs unchanged since start_ was taken
};

// The time between two consecutive records when nobody watched: when they
// lie more than kMaxGapWithinOutage apart, on the wall clock and in the time
// that passed (the hour the clock is set forward in spring is no gap). A
// record stamped before the one before it (the clock set back) leaves none.
std::optional<Stretch> UnwatchedBetween(StampSeconds from, StampSeconds to);

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

}  // namespace vellomar::report
