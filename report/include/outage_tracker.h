// Finds outages, runs of timed-out probe records, in a stream of records.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>

#include "probe_record.h"

namespace vellomar::report {

// Timed-out records further apart than this lie on either side of time when
// the monitor was not running, and so belong to two outages.
inline constexpr StampSeconds kMaxGapWithinOutage = 60;

// A stamp kept after the line it came from is gone.
struct KeptStamp {
    std::array<char, kStampLength> text {};
    StampSeconds seconds = 0;

    static KeptStamp Of(const ProbeRecord& record);
    std::string_view Text() const { return {text.data(), text.size()}; }
};

// Whether a timed-out record stamped at seconds still belongs to the outage
// whose last record was stamped at last.
inline bool ContinuesOutage(StampSeconds last, StampSeconds seconds)
{
    const StampSeconds gap = seconds - last;
    return gap <= kMaxGapWithinOutage && gap >= -kMaxGapWithinOutage;
}

class OutageTracker {
public:
    // onEnd is given the first and the last timed-out record of every outage
    // as it ends.
    using OnEnd = std::function<void(const KeptStamp& first, const KeptStamp& last)>;
    explicit OutageTracker(OnEnd onEnd) : onEnd_(std::move(onEnd)) {}

    void Add(const ProbeRecord& record)
    {
        if (record.timedOut || inOutage_) {
            AddToOutage(record);  // most records are neither, and cost only this test
        }
    }
    bool InOutage() const { return inOutage_; }
    const KeptStamp& First() const { return first_; }
    const KeptStamp& Last() const { return last_; }

private:
    void AddToOutage(const ProbeRecord& record);

    OnEnd onEnd_;
    bool inOutage_ = false;
    KeptStamp first_;
    KeptStamp last_;
};

}  // namespace vellomar::report
