// Where packets to a host leave this computer: the first hop of their way, as
// the system's routing table gives it at the moment of asking.
#pragma once

#include <string>

#include "outcome.h"

namespace vellomar::probe {

// The dotted IPv4 address of the gateway through which packets to address
// (dotted text, as in Vellomar.ini) would leave right now. Empty when there is
// none to send to: the host is on the local link or is this computer, no usable
// route leads there (none at all, or one that refuses or drops its packets), or
// the text is no usable address. A failure only when the lookup itself could
// not be made. Sends nothing, and waits at most a second for the system.
platform::Outcome<std::string> NextHopToward(const std::string& address);

}  // namespace vellomar::probe
