#include "outage_tracker.h"

#include <cstring>

namespace vellomar::report {

KeptStamp KeptStamp::Of(const ProbeRecord& record)
{
    KeptStamp kept;
    std::memcpy(kept.text.data(), record.stamp.data(), kept.text.size());
    kept.seconds = record.seconds;
    return kept;
}

void OutageTracker::AddToOutage(const ProbeRecord& record)
{
    if (inOutage_ && !(record.timedOut && ContinuesOutage(last_.seconds, record.seconds))) {
        inOutage_ = false;
        onEnd_(first_, last_);
    }
    if (!record.timedOut) {
        return;
    }
    last_ = KeptStamp::Of(record);
    if (!inOutage_) {
        first_ = last_;
        inOutage_ = true;
    }
}

}  // namespace vellomar::report
