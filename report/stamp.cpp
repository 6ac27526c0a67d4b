#include "stamp.h"

#include <chrono>
#include <cstdio>
#include <cstring>

namespace vellomar::report {
namespace {

constexpr std::int64_t kSecondsPerDay = 24 * 60 * 60;

// Two decimal digits at text, or -1.
int TwoDigits(const char* text)
{
    const unsigned tens = static_cast<unsigned char>(text[0]) - unsigned{'0'};
    const unsigned units = static_cast<unsigned char>(text[1]) - unsigned{'0'};
    if (tens > 9 || units > 9) {
        return -1;
    }
    return static_cast<int>(tens * 10 + units);
}

// Seconds since midnight of "hh:mm:ss" at text, or -1.
int TimeOfDay(const char* text)
{
    if (text[2] != ':' || text[5] != ':') {
        return -1;
    }
    const int hours = TwoDigits(text);
    const int minutes = TwoDigits(text + 3);
    const int seconds = TwoDigits(text + 6);
    if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59) {
        return -1;
    }
    return hours * 3600 + minutes * 60 + seconds;
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
    const std::chrono::year_month_day date{std::chrono::year{century * 100 + yearInCentury},
                                           std::chrono::month{static_cast<unsigned>(month)},
                                           std::chrono::day{static_cast<unsigned>(day)}};
    if (!date.ok()) {
        return std::nullopt;
    }
    return std::chrono::sys_days{date}.time_since_epoch().count();
}

std::optional<StampSeconds> StampParser::Parse(const char* text)
{
    if (!haveCachedDate_ || std::memcmp(text, cachedDate_, kDateLength) != 0) {
        const auto day = ParseDate(text);
        if (!day) {
            return std::nullopt;
        }
        std::memcpy(cachedDate_, text, kDateLength);
        cachedDay_ = *day;
        haveCachedDate_ = true;
    }
    if (text[kDateLength] != ' ') {
        return std::nullopt;
    }
    const int timeOfDay = TimeOfDay(text + kDateLength + 1);
    if (timeOfDay < 0) {
        return std::nullopt;
    }
    return cachedDay_ * kSecondsPerDay + timeOfDay;
}

std::string FormatDuration(std::int64_t seconds)
{
    const bool negative = seconds < 0;
    // Unsigned negation, so that even the most negative value has a magnitude.
    const auto span = negative ? 0 - static_cast<std::uint64_t>(seconds) : static_cast<std::uint64_t>(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%s%02llu:%02llu:%02llu", negative ? "-" : "",
                  static_cast<unsigned long long>(span / 3600), static_cast<unsigned long long>(span / 60 % 60),
                  static_cast<unsigned long long>(span % 60));
    return text;
}

}  // namespace vellomar::report
