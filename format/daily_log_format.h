// The daily logs and the report as files: what a probe cycle writes and the
// report reads back, stated once for both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vellomar::daily_log {

// A daily log is named "PING_", its day as yyyymmdd, and ".txt".
inline constexpr std::string_view kNamePrefix = "PING_";
inline constexpr std::string_view kNameSuffix = ".txt";

// Each line, ended by CR LF, is a probe record "yyyy/mm/dd hh:mm:ss,rtt,status"
// or the socket failure line.
inline constexpr std::string_view kLineEnd = "\r\n";
inline constexpr std::size_t kStampLength = 19;  // yyyy/mm/dd hh:mm:ss
inline constexpr std::size_t kDateLength = 10;   // yyyy/mm/dd, the stamp's start

// A stamp as seconds on one continuous scale: the civil day number (days since
// 1970/01/01) times 86400 plus the time of day. End minus start is therefore a
// duration across any midnight, month or year. No time zone is applied: the
// stamps are wall-clock time and are compared as such, every day as long.
using StampSeconds = std::int64_t;
inline constexpr StampSeconds kSecondsPerDay = 24 * 60 * 60;
inline constexpr char kSocketFailureLine[] = "Windows Sockets not responding correctly.";

// The status of a probe that got no reply in time; an outage is a run of them.
inline constexpr std::int32_t kTimedOutStatus = -10;
inline constexpr std::string_view kTimedOutStatusText = "-10";

// What the report makes of the logs, in the same folder.
inline constexpr std::string_view kReportName = "ERR_list.csv";
inline constexpr std::string_view kPageName = "ERR_list.html";

}  // namespace vellomar::daily_log

// The companion log: beside each probe of the host, one echo to the next hop
// toward it (the first router on the way, as the routing table gives it then).
// One file a day, "GATEWAY_yyyymmdd.txt", a name the daily logs' pattern never
// matches; each line, ended by CR LF, is "yyyy/mm/dd hh:mm:ss,rtt,status,hop":
// the probe record's own stamp, so that the two logs join on it, the round trip
// in milliseconds as measured, the status as the probe record states it, and
// the next hop's dotted address. Without a next hop (the host on the local
// link, or no route at all) no echo is sent: the hop is empty and the status
// kNoNextHopStatus.
namespace vellomar::companion_log {

inline constexpr std::string_view kNamePrefix = "GATEWAY_";
inline constexpr std::string_view kNameSuffix = daily_log::kNameSuffix;
inline constexpr std::string_view kLineEnd = daily_log::kLineEnd;
inline constexpr std::int32_t kNoNextHopStatus = -1;

}  // namespace vellomar::companion_log
