// What each platform provides for finding the next hop: one look into its
// routing table. One source file per platform implements this header.
#pragma once

#include <cstdint>

#include "outcome.h"

namespace vellomar::probe {

// The gateway (network byte order) that the best route to destination (network
// byte order) sends through; 0.0.0.0 when that route has none (the destination
// is on the local link or local) or when no usable route leads there.
platform::Outcome<uint32_t> GatewayToward(uint32_t destination);

}  // namespace vellomar::probe
