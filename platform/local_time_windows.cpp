#include "local_time.h"

#include <windows.h>

namespace vellomar::platform {
namespace {

std::int64_t SecondsOf(const SYSTEMTIME& time)
{
    FILETIME file {};
    ::SystemTimeToFileTime(&time, &file);
    const std::int64_t ticks = (static_cast<std::int64_t>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
    return ticks / 10'000'000;  // of 100 ns
}

}  // namespace

std::tm LocalTime(std::time_t time)
{
    std::tm local {};
    ::localtime_s(&local, &time);
    return local;
}

// The system's time zone turns the wall time to UTC; summer time applies when
// the difference is the zone's daylight bias added to its standard one.
UtcOffset UtcOffsetAt(const LocalDateTime& wall)
{
    SYSTEMTIME local {};
    local.wYear = static_cast<WORD>(wall.year);
    local.wMonth = static_cast<WORD>(wall.month);
    local.wDay = static_cast<WORD>(wall.day);
    local.wHour = static_cast<WORD>(wall.hour);
    local.wMinute = static_cast<WORD>(wall.minute);
    local.wSecond = static_cast<WORD>(wall.second);
    SYSTEMTIME utc {};
    TIME_ZONE_INFORMATION zone {};
    if (!::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) ||
        !::GetTimeZoneInformationForYear(local.wYear, nullptr, &zone)) {
        return {};
    }
    const int seconds = static_cast<int>(SecondsOf(local) - SecondsOf(utc));
    const bool hasSummer = zone.DaylightDate.wMonth != 0 && zone.DaylightBias != zone.StandardBias;
    return {seconds, hasSummer && seconds == -(zone.Bias + zone.DaylightBias) * 60};
}

}  // namespace vellomar::platform
