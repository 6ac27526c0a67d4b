// Stamps of probe records ("yyyy/mm/dd hh:mm:ss", local wall-clock time) and
// the "hh:mm:ss" form of durations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace vellomar::report {

inline constexpr std::size_t kStampLength = 19;  // yyyy/mm/dd hh:mm:ss
inline constexpr std::size_t kDateLength = 10;   // yyyy/mm/dd

// A stamp as seconds on one continuous scale: the civil day number (days since
// 1970/01/01) times 86400 plus the time of day. End minus start is therefore a
// duration across any midnight, month or year. No time zone is applied: the
// stamps are wall-clock time and are compared as such.
using StampSeconds = std::int64_t;

// Day number of the date "yyyy/mm/dd" at text (kDateLength characters), or
// nothing when it is not a calendar date written in that form.
std::optional<std::int64_t> ParseDate(const char* text);

// Reads stamps strictly: digits and separators exactly in place, a calendar
// date, hour 00-23, minute and second 00-59.
class StampParser {
public:
    // The stamp at text (kStampLength characters), or nothing.
    std::optional<StampSeconds> Parse(const char* text);

private:
    // The records of a daily log share their date, so the day number of the
    // last date read is kept and only a different date is parsed again.
    char cachedDate_[kDateLength] = {};
    std::int64_t cachedDay_ = 0;
    bool haveCachedDate_ = false;
};

// "hh:mm:ss", the hours going on past 24 ("26:00:10"); a negative span (the
// clock was set back) keeps its sign: "-00:00:20".
std::string FormatDuration(std::int64_t seconds);

}  // namespace vellomar::report
