// The outage rule the tray follows too, fed with the records of the daily logs.
#pragma once

#include "outage_rule.h"
#include "probe_record.h"

namespace vellomar::report {

using daily_log::ContinuesOutage;
using daily_log::KeptStamp;
using daily_log::OutageTracker;

inline KeptStamp KeptStampOf(const ProbeRecord& record)
{
    return KeptStamp::Of(record.stamp, record.seconds);
}

inline void AddRecord(OutageTracker& tracker, const ProbeRecord& record)
{
    tracker.Add(record.timedOut, record.stamp, record.seconds);
}

}  // namespace vellomar::report
