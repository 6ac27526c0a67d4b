// One line of a daily log read as a probe record: "stamp,round-trip,status".
#pragma once

#include <optional>
#include <string_view>

#include "stamp.h"

namespace vellomar::report {

struct ProbeRecord {
    std::string_view stamp;  // as written in the log; points into the line
    StampSeconds seconds;
    bool timedOut;           // the status is exactly "-10"
};

class ProbeRecordParser {
public:
    // The record on line (given without its line ending), or nothing when the
    // line is not a whole probe record: the socket failure line, an empty line,
    // a stamp that is not a valid date and time, a round-trip time that is not
    // a number or a status that is not a whole number. A line cut short by a
    // crash and run together with the next record fails one of these checks.
    // Pieces after the status are ignored.
    std::optional<ProbeRecord> Parse(std::string_view line);

private:
    StampParser stamps_;
};

}  // namespace vellomar::report
