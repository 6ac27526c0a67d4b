// The stamp of a probe record and the dates in the daily logs' names, as text.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "daily_log_format.h"
#include "local_time.h"

namespace vellomar {

// "yyyy" + separator + "mm" + separator + "dd"
inline std::string DateDigits(const platform::LocalDateTime& date, const char* separator)
{
    char text[64];
    std::snprintf(text, sizeof text, "%04d%s%02d%s%02d", date.year, separator, date.month, separator, date.day);
    return text;
}

// "yyyy/mm/dd hh:mm:ss"
inline std::string FormatStamp(const platform::LocalDateTime& stamp)
{
    char time[64];
    std::snprintf(time, sizeof time, " %02d:%02d:%02d", stamp.hour, stamp.minute, stamp.second);
    return DateDigits(stamp, "/") + time;
}

// The stamp on the scale the report reads it on.
inline daily_log::StampSeconds StampSecondsOf(const platform::LocalDateTime& stamp)
{
    const std::chrono::year_month_day date {std::chrono::year {stamp.year},
                                            std::chrono::month {static_cast<unsigned>(stamp.month)},
                                            std::chrono::day {static_cast<unsigned>(stamp.day)}};
    const daily_log::StampSeconds day = std::chrono::sys_days {date}.time_since_epoch().count();
    return day * daily_log::kSecondsPerDay + stamp.hour * 3600 + stamp.minute * 60 + stamp.second;
}

// "PING_yyyymmdd.txt"
inline std::string DailyLogName(const platform::LocalDateTime& date)
{
    return std::string(daily_log::kNamePrefix) + DateDigits(date, "") + std::string(daily_log::kNameSuffix);
}

}  // namespace vellomar
