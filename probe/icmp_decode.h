// Decoding of what an ICMP socket hands back after one echo request: is it the
// answer to that request, an error message about it, or somebody else's packet?
// Pure functions over byte buffers; nothing here touches a socket.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vellomar::icmp {

// How the bytes arrive: a raw socket delivers the IPv4 header first, a
// datagram ("ping") socket delivers the ICMP message alone.
enum class SocketKind { Raw, Datagram };

inline constexpr uint8_t kTypeEchoReply = 0;
inline constexpr uint8_t kTypeDestUnreachable = 3;
inline constexpr uint8_t kTypeSourceQuench = 4;
inline constexpr uint8_t kTypeEchoRequest = 8;
inline constexpr uint8_t kTypeTimeExceeded = 11;
inline constexpr uint8_t kTypeParameterProblem = 12;
inline constexpr size_t kIcmpHeaderSize = 8;
inline constexpr size_t kMinIpHeaderSize = 20;

// The request we sent. Identifier and sequence in host byte order; the
// destination in network byte order, as inet_addr gives it.
struct EchoRequestId {
    uint16_t identifier = 0;
    uint16_t sequence = 0;
    uint32_t destination = 0;
};

enum class Verdict { NotOurs, Reply, Error };

struct Decoded {
    Verdict verdict = Verdict::NotOurs;
    int32_t status = 0;  // 0 for a reply, the status number of an error message
    uint32_t from = 0;   // who sent the packet, network byte order
    uint8_t ttl = 0;     // from the IPv4 header, 0 when the socket did not deliver it
    uint8_t tos = 0;
    size_t dataOffset = 0;  // echoed data of a reply: where in the buffer, and how much
    size_t dataSize = 0;
};

// Decodes one packet read from a socket of the given kind. sender is the
// source address the socket reported for it (network byte order). Never reads
// outside [bytes, bytes + size).
Decoded DecodeIcmpPacket(const uint8_t* bytes, size_t size, SocketKind kind, uint32_t sender,
                         const EchoRequestId& expected);

// An entry of a datagram socket's error queue, as the kernel describes it.
struct QueuedError {
    bool fromIcmp = false;  // an ICMP error message arrived (else a local error)
    uint8_t type = 0;       // ICMP type and code, when fromIcmp
    uint8_t code = 0;
    int errnoValue = 0;                // the error number, when local
    uint32_t offender = 0;             // who sent the ICMP message, network byte order
    uint32_t originalDestination = 0;  // where the failed packet was going
};

// Decodes an error-queue entry; quoted/size hold the ICMP header (and data) of
// the packet that failed, as far as the kernel kept it.
Decoded DecodeQueuedError(const uint8_t* quoted, size_t size, const QueuedError& error, const EchoRequestId& expected);

// Status number for an ICMP error message of the given type and code.
int32_t StatusForIcmpError(uint8_t type, uint8_t code);

// Status number for a request that could not leave this machine (errno value).
int32_t StatusForLocalError(int errnoValue);

// The Internet checksum (RFC 1071) of a buffer, ready to store in a header.
uint16_t InternetChecksum(const uint8_t* bytes, size_t size);

}  // namespace vellomar::icmp
