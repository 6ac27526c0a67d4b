// What one daily log gives the report, read on its own.
//
// The outage search runs on from one log into the next, but a log depends on
// the logs before it in one way only: an outage may be open as it begins.
// That outage either ends at the log's first record, or, when the first
// record timed out soon enough after it, takes in the log's first outage.
// So a log is read once, as if nothing were open, into a LogPart that keeps
// that first outage apart; folding the parts in name order then gives the
// same report as reading all logs in one stream, and a part stays good for as
// long as its log is unchanged, whatever happens to the logs around it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "daily_logs.h"
#include "line_reader.h"
#include "outage_page.h"
#include "outage_tracker.h"

namespace vellomar::report {

struct LogPart {
    std::string day;  // the day of its summary row
    bool hasRecords = false;
    // Its first record timed out: the outage that it begins may be the
    // continuation of one open at the log's start.
    bool opensWithTimeout = false;
    KeptStamp firstRecord;
    bool firstOutageEnded = false;  // within this log
    KeptStamp firstOutageLast;
    // Rows of the outages after the first that end within this log, and
    // their total.
    std::string rows;
    std::int64_t rowsTotal = 0;
    // An outage still open at the end of the log.
    bool endsInOutage = false;
    KeptStamp openFirst;
    KeptStamp openLast;

    // For the page beside the report: how many rows, the longest of them,
    // and how many lines the log holds.
    std::int64_t rowsCount = 0;
    std::vector<PageOutage> longest;
    std::int64_t lines = 0;
    KeptStamp lastRecord;
    // Its round-trip times, when it was asked for them.
    std::vector<RttSlot> rtt;
    // Time nobody watched within the log, as the stretches between two
    // consecutive records more than kMaxGapWithinOutage apart.
    std::vector<Stretch> unwatched;

    // Where its outages were, from its companion log, read when it has
    // timed-out records: its stamp then, what it said of the timed-out
    // records of the first outage and of the one open at the end, and the
    // time of the log's own rows by place.
    bool hasTimedOut = false;
    std::optional<platform::FileStamp> companion;
    PlaceCount firstOutageTicks;
    PlaceCount openTicks;
    PlaceSeconds rowsByPlace {};
};

// The part of the daily log named name in folder, or why it cannot be opened
// or read. Its round-trip times only when withRoundTrips is set.
platform::Outcome<LogPart> ReadLogPart(LineReader& reader, const std::filesystem::path& folder, std::string_view name,
                                       bool withRoundTrips = false);

std::string OutageRow(const KeptStamp& first, const KeptStamp& last);

// An outage from its first timed-out record to its last.
struct OutageSpan {
    KeptStamp first;
    KeptStamp last;
    PlaceCount count;  // of its timed-out records, for where it was
};

// What one log adds to the outages once the logs before it are folded: the
// outages its part could not close alone (the one the logs before it left
// open, and its first outage, which may continue that one), in the order
// they end and only when they span some time; and the log's outage time,
// its own rows included.
struct FoldedLog {
    std::array<OutageSpan, 2> joined;
    std::size_t joinedCount = 0;
    std::int64_t total = 0;
    PlaceSeconds byPlace {};  // the total split by where its outages were
};

// Folds the parts of the logs, in name order, carrying an outage open at
// the end of one log into the next.
class OutageFold {
public:
    FoldedLog AddLog(const LogPart& part);

private:
    bool open_ = false;  // an outage is open where the next log begins
    KeptStamp openFirst_;
    KeptStamp openLast_;
    PlaceCount openTicks_;
};

}  // namespace vellomar::report
