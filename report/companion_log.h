// The companion logs beside the daily logs ("GATEWAY_yyyymmdd.txt"), read for
// the outages of one daily log: what the echo to the next hop said at each of
// their timed-out records.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "line_reader.h"
#include "outage_page.h"
#include "stamp.h"

namespace vellomar::report {

// "GATEWAY_*.txt", whatever the case of its letters.
bool IsCompanionLogName(std::string_view name);

// "GATEWAY_yyyymmdd.txt", the companion of the daily log "PING_yyyymmdd.txt";
// empty when the daily log's name holds no date.
std::string CompanionNameOf(std::string_view logName);

// The day number of "GATEWAY_yyyymmdd.txt", when it names a calendar date.
std::optional<std::int64_t> DayOfCompanionName(std::string_view name);

struct CompanionLine {
    StampSeconds seconds;
    companion_log::HopAnswer answer;
};

// "stamp,rtt,status,hop" (without its line ending), or nothing when the line
// is not one: the stamp as in the daily logs, the round trip digits, the
// status a whole number, the hop a dotted IPv4 address or empty.
std::optional<CompanionLine> ParseCompanionLine(std::string_view line, StampParser& stamps);

// A timed-out record of a daily log, and which of the log's outages it
// belongs to, counted from 0 in the order they began.
struct TimedOutTick {
    StampSeconds seconds;
    std::uint32_t outage;
};

// For each of outages outages, its timed-out records, none of them known yet.
std::vector<PlaceCount> CountTicks(const std::vector<TimedOutTick>& ticks, std::size_t outages);

// Joins the companion log file with the ticks, stamp on stamp, each companion
// record with one tick at most, and counts into places what the next hop did.
// A file that cannot be read whole says nothing: the ticks stay not known.
void JoinCompanionLog(LineReader& reader, const std::filesystem::path& file, std::vector<TimedOutTick> ticks,
                      std::vector<PlaceCount>& places);

}  // namespace vellomar::report
