// The whole probe cycle on the calling thread, as the window runs it in steps.
#pragma once

#include <string>

#include "probe_log.h"

namespace vellomar::testing {

inline CycleRecord PingOnce(ProbeLog& log, const std::string& address)
{
    if (std::optional<CycleRecord> socketFailure = log.BeginCycle())
        return *socketFailure;
    return log.FinishCycle(log.Send(address));
}

}  // namespace vellomar::testing
