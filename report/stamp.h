// Stamps of probe records ("yyyy/mm/dd hh:mm:ss", local wall-clock time) read
// from the daily logs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "daily_log_format.h"
#include "outage_rule.h"

namespace vellomar::report {

using daily_log::kDateLength;
using daily_log::kStampLength;
using daily_log::StampSeconds;

// Day number of the date "yyyy/mm/dd" at text (kDateLength characters), or
// nothing when it is not a calendar date written in that form.
std::optional<std::int64_t> ParseDate(const char* text);

// Reads stamps strictly: digits and separators exactly in place, a calendar
// date, hour 00-23, minute and second 00-59.
class StampParser {
public:
    // The stamp at text (kStampLength characters), or nothing. Inline: it
    // runs for every line of every daily log.
    std::optional<StampSeconds> Parse(const char* text)
    {
        if (!haveCachedDate_ || std::memcmp(text, cachedDate_, kDateLength) != 0) {
            if (!CacheDate(text)) {
                return std::nullopt;
            }
        }
        const int timeOfDay = TimeOfDay(text + kDateLength);
        if (timeOfDay < 0) {
            return std::nullopt;
        }
        return cachedDay_ * daily_log::kSecondsPerDay + timeOfDay;
    }

private:
    bool CacheDate(const char* date);

    // Seconds since midnight of " hh:mm:ss" at text, or -1.
    static int TimeOfDay(const char* text)
    {
        const auto digit = [text](int at) { return static_cast<unsigned>(static_cast<unsigned char>(text[at]) - '0'); };
        const unsigned h1 = digit(1), h2 = digit(2), m1 = digit(4), m2 = digit(5), s1 = digit(7), s2 = digit(8);
        const bool separators = text[0] == ' ' && text[3] == ':' && text[6] == ':';
        if (!separators || h1 > 2 || h2 > 9 || m1 > 5 || m2 > 9 || s1 > 5 || s2 > 9 || h1 * 10 + h2 > 23) {
            return -1;
        }
        return static_cast<int>((h1 * 10 + h2) * 3600 + (m1 * 10 + m2) * 60 + s1 * 10 + s2);
    }

    // The records of a daily log share their date, so the day number of the
    // last date read is kept and only a different date is parsed again.
    char cachedDate_[kDateLength] = {};
    std::int64_t cachedDay_ = 0;
    bool haveCachedDate_ = false;
};

using daily_log::FormatDuration;

}  // namespace vellomar::report
