// Builders for the ICMP packets the probe tests decode or put on the wire.
#pragma once

#include <arpa/inet.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "byte_order.h"
#include "icmp_decode.h"

namespace vellomar::testing {

using Bytes = std::vector<uint8_t>;

// An ICMP message with a valid checksum; identifier and sequence fill the
// second word, which error messages leave 0.
inline Bytes IcmpMessage(uint8_t type, uint8_t code, uint16_t identifier = 0, uint16_t sequence = 0,
                         const Bytes& body = {'h', 'e', 'l', 'l', 'o'})
{
    Bytes message {type, code, 0, 0, 0, 0, 0, 0};
    StoreBe16(&message[4], identifier);
    StoreBe16(&message[6], sequence);
    message.insert(message.end(), body.begin(), body.end());
    StoreBe16(&message[2], icmp::InternetChecksum(message.data(), message.size()));
    return message;
}

// An IPv4 header without options in front of payload.
inline Bytes IpPacket(uint32_t source, uint32_t destination, const Bytes& payload, uint8_t protocol = 1)
{
    Bytes packet {0x45, 0, 0, 0, 0, 0, 0, 0, 57, protocol, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    StoreBe16(&packet[2], static_cast<uint16_t>(packet.size() + payload.size()));
    std::memcpy(&packet[12], &source, 4);
    std::memcpy(&packet[16], &destination, 4);
    StoreBe16(&packet[10], icmp::InternetChecksum(packet.data(), packet.size()));
    packet.insert(packet.end(), payload.begin(), payload.end());
    return packet;
}

// What an error message quotes of an echo request: its IPv4 header and first 8 ICMP bytes.
inline Bytes QuotedRequest(uint32_t destination, uint16_t identifier, uint16_t sequence, uint8_t protocol = 1,
                           uint8_t type = icmp::kTypeEchoRequest)
{
    return IpPacket(::inet_addr("127.0.0.1"), destination, IcmpMessage(type, 0, identifier, sequence, {}), protocol);
}

}  // namespace vellomar::testing
