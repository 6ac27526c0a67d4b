#include "local_time.h"

namespace vellomar::platform {

std::tm LocalTime(std::time_t time)
{
    std::tm local {};
    ::localtime_r(&time, &local);
    return local;
}

// mktime finds the moment of the wall time, whether summer time applies or
// not (tm_isdst -1); the local time of that moment says how far from UTC.
UtcOffset UtcOffsetAt(const LocalDateTime& wall)
{
    std::tm local {};
    local.tm_year = wall.year - 1900;
    local.tm_mon = wall.month - 1;
    local.tm_mday = wall.day;
    local.tm_hour = wall.hour;
    local.tm_min = wall.minute;
    local.tm_sec = wall.second;
    local.tm_isdst = -1;
    const std::tm back = LocalTime(std::mktime(&local));
    return {static_cast<int>(back.tm_gmtoff), back.tm_isdst > 0};
}

}  // namespace vellomar::platform
