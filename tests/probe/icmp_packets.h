// Builders for the ICMP packets the probe tests feed to the decoder or put on
// the loopback wire.
#pragma once

#include <arpa/inet.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "icmp_decode.h"

namespace vellomar::testing {

using Bytes = std::vector<uint8_t>;

inline uint32_t Ip(const char* dotted)
{
    return ::inet_addr(dotted);
}

inline void PutBe16(Bytes& bytes, size_t at, size_t value)
{
    bytes[at] = static_cast<uint8_t>(value >> 8);
    bytes[at + 1] = static_cast<uint8_t>(value);
}

inline const Bytes kHello{'h', 'e', 'l', 'l', 'o'};

// An ICMP message with a valid checksum. For error messages identifier and
// sequence are the unused word and should be 0.
inline Bytes IcmpMessage(uint8_t type, uint8_t code, uint16_t identifier, uint16_t sequence, const Bytes& body)
{
    Bytes message{type, code, 0, 0, 0, 0, 0, 0};
    PutBe16(message, 4, identifier);
    PutBe16(message, 6, sequence);
    message.insert(message.end(), body.begin(), body.end());
    PutBe16(message, 2, icmp::InternetChecksum(message.data(), message.size()));
    return message;
}

inline Bytes EchoReplyMessage(uint16_t identifier, uint16_t sequence, uint8_t code = 0)
{
    return IcmpMessage(icmp::kTypeEchoReply, code, identifier, sequence, kHello);
}

// An IPv4 header without options in front of payload.
inline Bytes IpPacket(uint32_t source, uint32_t destination, uint8_t protocol, const Bytes& payload, uint8_t ttl = 64)
{
    Bytes packet(icmp::kMinIpHeaderSize, 0);
    packet[0] = 0x45;
    PutBe16(packet, 2, packet.size() + payload.size());
    packet[8] = ttl;
    packet[9] = protocol;
    std::memcpy(&packet[12], &source, 4);
    std::memcpy(&packet[16], &destination, 4);
    PutBe16(packet, 10, icmp::InternetChecksum(packet.data(), packet.size()));
    packet.insert(packet.end(), payload.begin(), payload.end());
    return packet;
}

// What an error message quotes of an echo request: its IPv4 header and the
// first 8 bytes of its ICMP message.
inline Bytes QuotedRequest(uint32_t destination, uint16_t identifier, uint16_t sequence, uint8_t protocol = 1,
                           uint8_t type = icmp::kTypeEchoRequest)
{
    return IpPacket(Ip("127.0.0.1"), destination, protocol, IcmpMessage(type, 0, identifier, sequence, {}));
}

// An ICMP error message quoting (the first quotedSize bytes of) quoted.
inline Bytes ErrorQuoting(uint8_t type, uint8_t code, const Bytes& quoted, size_t quotedSize = SIZE_MAX)
{
    const Bytes quote(quoted.begin(), quoted.begin() + static_cast<long>(std::min(quotedSize, quoted.size())));
    return IcmpMessage(type, code, 0, 0, quote);
}

}  // namespace vellomar::testing
