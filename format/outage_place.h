// Where an outage was: at the provider or in the home network, told by the
// echoes to the next hop sent beside its timed-out records. The page, its
// method section and the tray all decide it here.
#pragma once

#include <cstdint>
#include <string_view>

#include "daily_log_format.h"

namespace vellomar::companion_log {

// What one companion record says of the next hop.
enum class HopAnswer {
    Unknown,   // no echo was sent: no next hop, or nothing could be sent
    Answered,  // the next hop answered
    Silent,    // an echo went out and got no answer (a time-out or an ICMP error)
};

inline HopAnswer HopAnswerOf(std::int32_t status, bool hasHop)
{
    if (!hasHop || status == kNoNextHopStatus)
        return HopAnswer::Unknown;
    return status == 0 ? HopAnswer::Answered : HopAnswer::Silent;
}

enum class OutagePlace { Provider, HomeNetwork, Unknown };

// The rule, for an outage of ticks timed-out records: at the provider when
// the next hop answered beside more than half of them; in the home network
// when it stayed silent beside at least half (so a tie between the two goes
// to the home network); not known otherwise, which is when most of them have
// no companion record (older logs, no next hop).
struct PlaceCount {
    std::int64_t ticks = 0;
    std::int64_t answered = 0;
    std::int64_t silent = 0;

    void Add(HopAnswer answer)
    {
        ++ticks;
        answered += answer == HopAnswer::Answered;
        silent += answer == HopAnswer::Silent;
    }
    OutagePlace Place() const
    {
        if (2 * answered > ticks)
            return OutagePlace::Provider;
        if (ticks > 0 && 2 * silent >= ticks)
            return OutagePlace::HomeNetwork;
        return OutagePlace::Unknown;
    }
};

inline std::string_view PlaceText(OutagePlace place)
{
    switch (place) {
    case OutagePlace::Provider:
        return "pri ponudniku";
    case OutagePlace::HomeNetwork:
        return "v domačem omrežju";
    default:
        return "ni znano";
    }
}

}  // namespace vellomar::companion_log
