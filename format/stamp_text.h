// The stamp of a probe record and the dates in the daily logs' names, as text.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

#include "daily_log_format.h"
#include "local_time.h"

namespace vellomar {

// Appends "yyyy" + separator + "mm" + separator + "dd" to text: every date the
// logs, their names, the report and the page hold is written here.
inline void AppendDate(std::string& text, int year, int month, int day, std::string_view separator = "/")
{
    const auto twoDigits = [&text](int value) {
        text += static_cast<char>('0' + value / 10 % 10);
        text += static_cast<char>('0' + value % 10);
    };
    twoDigits(year / 100);
    twoDigits(year % 100);
    text += separator;
    twoDigits(month);
    text += separator;
    twoDigits(day);
}

inline std::string DateText(int year, int month, int day, std::string_view separator = "/")
{
    std::string text;
    AppendDate(text, year, month, day, separator);
    return text;
}

inline std::string DateDigits(const platform::LocalDateTime& date, std::string_view separator)
{
    return DateText(date.year, date.month, date.day, separator);
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

// The local date and time of a stamp on that scale.
inline platform::LocalDateTime LocalDateTimeOf(daily_log::StampSeconds stamp)
{
    const daily_log::StampSeconds day =
        (stamp >= 0 ? stamp : stamp - daily_log::kSecondsPerDay + 1) / daily_log::kSecondsPerDay;
    const int time = static_cast<int>(stamp - day * daily_log::kSecondsPerDay);
    const std::chrono::year_month_day date {std::chrono::sys_days {std::chrono::days {day}}};
    return {static_cast<int>(date.year()),
            static_cast<int>(static_cast<unsigned>(date.month())),
            static_cast<int>(static_cast<unsigned>(date.day())),
            time / 3600,
            time / 60 % 60,
            time % 60};
}

// "PING_yyyymmdd.txt"
inline std::string DailyLogName(const platform::LocalDateTime& date)
{
    return std::string(daily_log::kNamePrefix) + DateDigits(date, "") + std::string(daily_log::kNameSuffix);
}

// "GATEWAY_yyyymmdd.txt"
inline std::string CompanionLogName(const platform::LocalDateTime& date)
{
    return std::string(companion_log::kNamePrefix) + DateDigits(date, "") + std::string(companion_log::kNameSuffix);
}

}  // namespace vellomar
