#include "stamp.h"

#include <chrono>
#include <cstring>

namespace vellomar::report {
namespace {

// Two decimal digits at text, or -1.
int TwoDigits(const char* text)
{
    const unsigned tens = static_cast<unsigned char>(text[0]) - unsigned {'0'};
    const unsigned units = static_cast<unsigned char>(text[1]) - unsigned {'0'};
    if (tens > 9 || units > 9) {
        return -1;
    }
    return static_cast<int>(tens * 10 + units);
}

}  // namespace

std::optional<std::int64_t> ParseDate(const char* text)
{
    if (text[4] != '/' || text[7] != '/') {
        return std::nullopt;
    }
    const int century = TwoDigits(text);
    const int yearInCentury = TwoDigits(text + 2);
    const int month = TwoDigits(text + 5);
    const int day = TwoDigits(text + 8);
    if (century < 0 || yearInCentury < 0 || month < 0 || day < 0) {
        return std::nullopt;
    }
    const std::chrono::year_month_day date {std::chrono::year {century * 100 + yearInCentury},
                                            std::chrono::month {static_cast<unsigned>(month)},
                                            std::chrono::day {static_cast<unsigned>(day)}};
    if (!date.ok()) {
        return std::nullopt;
    }
    return std::chrono::sys_days {date}.time_since_epoch().count();
}

bool StampParser::CacheDate(const char* date)
{
    const auto day = ParseDate(date);
    if (!day) {
        return false;
    }
    std::memcpy(cachedDate_, date, kDateLength);
    cachedDay_ = *day;
    haveCachedDate_ = true;
    return true;
}

}  // namespace vellomar::report
