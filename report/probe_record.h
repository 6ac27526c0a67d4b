// One line of a daily log read as a probe record: "stamp,round-trip,status".
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "stamp.h"

namespace vellomar::report {

struct ProbeRecord {
    std::string_view stamp;  // as written in the log; points into the line
    StampSeconds seconds;
    bool timedOut;           // the status is exactly "-10"
    bool replied;            // the status is exactly "0"
    std::int32_t roundTrip;  // milliseconds, as written (a very long number saturates)
};

class ProbeRecordParser {
public:
    // The record on line (given without its line ending), or nothing when the
    // line is not a whole probe record: the socket failure line, an empty line,
    // a stamp that is not a valid date and time, a round-trip time that is not
    // a number or a status that is not a whole number. A line cut short by a
    // crash and run together with the next record fails one of these checks.
    // Pieces after the status are ignored.
    // Inline: it runs for every line of every daily log.
    std::optional<ProbeRecord> Parse(std::string_view line)
    {
        if (line.size() <= kStampLength || line[kStampLength] != ',') {
            return std::nullopt;
        }
        const char* at = line.data() + kStampLength + 1;
        const char* const end = line.data() + line.size();
        const char* const roundTrip = at;
        if (!SkipDigits(at, end) || at == end || *at != ',') {
            return std::nullopt;  // the round-trip time
        }
        const char* const roundTripEnd = at;
        const char* const status = ++at;
        if (at != end && *at == '-') {
            ++at;
        }
        if (!SkipDigits(at, end) || (at != end && *at != ',')) {
            return std::nullopt;  // the status, then the end or further pieces
        }
        const auto seconds = stamps_.Parse(line.data());
        if (!seconds) {
            return std::nullopt;
        }
        const bool timedOut =
            std::string_view(status, static_cast<std::size_t>(at - status)) == daily_log::kTimedOutStatusText;
        const bool replied = at - status == 1 && *status == '0';
        return ProbeRecord {line.substr(0, kStampLength), *seconds, timedOut, replied, Number(roundTrip, roundTripEnd)};
    }

private:
    static std::int32_t Number(const char* digits, const char* end)
    {
        std::int32_t value = 0;
        for (; digits != end; ++digits) {
            value = value > 99'999'999 ? 999'999'999 : value * 10 + (*digits - '0');
        }
        return value;
    }

    // Moves at past one or more decimal digits; false when there are none.
    static bool SkipDigits(const char*& at, const char* end)
    {
        const char* const first = at;
        while (at != end && static_cast<unsigned>(static_cast<unsigned char>(*at) - '0') <= 9) {
            ++at;
        }
        return at != first;
    }

    StampParser stamps_;
};

}  // namespace vellomar::report
