// What the tray icon shows: a colour for the connection's state and a tooltip.
#pragma once

#include <string>

namespace vellomar {

enum class TrayColour {
    Grey,   // the schedule is stopped
    Green,  // the last probe was answered
    Amber,  // the last probe failed in another way (nothing sent, unreachable, ...), or it
            // timed out and the next hop did not answer either: a home-network problem
    Red,    // the last probe timed out, and the next hop answered or was not asked:
            // an outage is under way at the provider
};

struct TrayState {
    TrayColour colour = TrayColour::Grey;
    std::string tooltip;  // UTF-8, lines separated by '\n'

    bool operator==(const TrayState&) const = default;
};

}  // namespace vellomar
