// What one echo exchange learnt, whichever way it went (the system's own
// socket, the ping helper, the ICMP library), and the one way it enters the
// caller's reply record.
#pragma once

#include <cstddef>
#include <cstdint>

#include "socket_stuff.h"

namespace vellomar {

struct EchoOutcome {
    uint32_t address = 0;  // who answered, network byte order; 0 when nobody did
    int32_t status = kIpRequestTimedOut;
    int32_t roundTripTime = 0;
    uint8_t ttl = 0;
    uint8_t tos = 0;
    uint8_t flags = 0;
    uint8_t optionsSize = 0;
    const void* data = nullptr;  // the echoed data, dataSize bytes
    size_t dataSize = 0;
};

// Writes every field the exchange knows into reply, and as much of the echoed
// data as ReplyData holds; DataSize counts what was kept. The rest of
// ReplyData, Reserved, Data and OptionsData stay as the caller gave them.
void RecordEchoOutcome(const EchoOutcome& outcome, EchoReply& reply);

}  // namespace vellomar
