// The offset from UTC of a local wall time, in a zone with summer time and in
// zones without, at both clock changes and either side of them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <ostream>
#include <string>

#include "local_time.h"

namespace vellomar::platform {

void PrintTo(const UtcOffset& offset, std::ostream* out)
{
    *out << offset.seconds << " s" << (offset.summerTime ? ", summer time" : "");
}

namespace {

struct OffsetCase {
    const char* zone;
    LocalDateTime wall;
    int seconds;
    bool summerTime;
};

constexpr OffsetCase kOffsetCases[] = {
    {"Europe/Ljubljana", {2026, 1, 15, 12, 0, 0}, 3600, false},
    {"Europe/Ljubljana", {2026, 3, 29, 1, 59, 59}, 3600, false},  // the clock goes from 02:00 to 03:00
    {"Europe/Ljubljana", {2026, 3, 29, 3, 0, 0}, 7200, true},
    {"Europe/Ljubljana", {2026, 10, 25, 1, 59, 59}, 7200, true},  // and back from 03:00 to 02:00
    {"Europe/Ljubljana", {2026, 10, 25, 3, 0, 0}, 3600, false},
    {"Europe/Ljubljana", {2015, 12, 31, 23, 59, 59}, 3600, false},
    {"Asia/Tokyo", {2026, 1, 15, 12, 0, 0}, 9 * 3600, false},
    {"Asia/Tokyo", {2026, 7, 1, 12, 0, 0}, 9 * 3600, false},
    {"Asia/Kolkata", {2026, 7, 1, 12, 0, 0}, 5 * 3600 + 1800, false},
    {"America/Sao_Paulo", {2026, 1, 15, 12, 0, 0}, -3 * 3600, false},
};

// Linux sets each case's zone; Windows keeps the zone it was started in, named
// by TZ (under wine, the zone of the host), and checks that zone's cases.
TEST(LocalTime, UtcOffsetAndSummerTimeOfLocalWallTimes)
{
    const char* const started = std::getenv("TZ");
    const std::string zone = started ? started : "";
    int checked = 0;
    for (const OffsetCase& c : kOffsetCases) {
#ifdef _WIN32
        if (zone != c.zone) {
            continue;
        }
#else
        ::setenv("TZ", c.zone, 1);
        ::tzset();
#endif
        const auto& w = c.wall;
        EXPECT_EQ(UtcOffsetAt(w), (UtcOffset {c.seconds, c.summerTime}))
            << c.zone << " " << w.year << "/" << w.month << "/" << w.day << " " << w.hour << ":" << w.minute;
        ++checked;
    }
#ifndef _WIN32
    started ? ::setenv("TZ", started, 1) : ::unsetenv("TZ");
    ::tzset();
#endif
    if (checked == 0) {
        GTEST_SKIP() << "no cases for the zone this test was started in: '" << zone << "'";
    }
}

}  // namespace
}  // namespace vellomar::platform
