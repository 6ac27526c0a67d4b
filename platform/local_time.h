// The calendar time in the user's own time zone.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>

namespace vellomar::platform {

std::tm LocalTime(std::time_t time);

// A local date and time as the logs and the report write it.
struct LocalDateTime {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// How far the local time is ahead of UTC at a local date and time, and
// whether summer time applies then.
struct UtcOffset {
    int seconds = 0;
    bool summerTime = false;
    bool operator==(const UtcOffset&) const = default;
};

// The offset at a local date and time of the user's time zone. Within the hour
// the clock skips or passes twice, one of the offsets on either side of it.
UtcOffset UtcOffsetAt(const LocalDateTime& wall);

// The local date and time now.
inline LocalDateTime LocalNow()
{
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    const std::tm local = LocalTime(now);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

}  // namespace vellomar::platform
