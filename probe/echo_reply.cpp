#include "echo_reply.h"

#include <algorithm>
#include <cstring>

namespace vellomar {

void RecordEchoOutcome(const EchoOutcome& outcome, EchoReply& reply)
{
    reply.Address = outcome.address;
    reply.Status = outcome.status;
    reply.RoundTripTime = outcome.roundTripTime;
    reply.Options.Ttl = outcome.ttl;
    reply.Options.Tos = outcome.tos;
    reply.Options.Flags = outcome.flags;
    reply.Options.OptionsSize = outcome.optionsSize;
    const size_t kept = outcome.data == nullptr ? 0 : std::min(outcome.dataSize, sizeof reply.ReplyData);
    if (kept > 0)
        std::memcpy(reply.ReplyData, outcome.data, kept);
    reply.DataSize = static_cast<uint16_t>(kept);
}

}  // namespace vellomar
