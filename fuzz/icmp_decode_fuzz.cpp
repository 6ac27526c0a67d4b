// Arbitrary bytes as a packet read from an ICMP socket, decoded as a raw and as
// a datagram socket would deliver it, and as the quote of an error-queue entry.
// The answer must be "not ours", our reply or an error status of the known set,
// consistent with the bytes it rests on, and nothing may be read outside the
// packet: each decoder gets its own exactly sized heap copy.
// A 20-byte head sets the scene; the packet follows.
//   [0]       bit 0: repair the ICMP checksum first (so the fuzzer gets past it);
//             bit 1: the packet came from the destination (else from [9..12]);
//             bit 2: the queued error came from an ICMP message (else it is local);
//             bit 3: the queued error concerns the destination (else [16..19])
//   [1..8]    our request: identifier and sequence, big-endian; destination
//   [9..19]   sender of the packet; queued error's ICMP type, code, errno value, offender
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "byte_order.h"
#include "icmp_decode.h"
#include "socket_stuff.h"

namespace {

using namespace vellomar;
using icmp::Decoded;
using icmp::SocketKind;
using icmp::Verdict;
using Bytes = std::vector<uint8_t>;

constexpr size_t kHeadSize = 20;

void Require(bool holds)
{
    if (!holds)
        std::abort();
}

uint32_t Word(const uint8_t* p)
{
    uint32_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

struct Scene {
    explicit Scene(const uint8_t* head)
        : repairChecksum(head[0] & 1), request {LoadBe16(head + 1), LoadBe16(head + 3), Word(head + 5)},
          sender((head[0] & 2) ? request.destination : Word(head + 9)),
          queued {(head[0] & 4) != 0, head[13],        head[14],
                  head[15],           Word(head + 16), (head[0] & 8) ? request.destination : Word(head + 16)}
    {}
    bool repairChecksum;
    icmp::EchoRequestId request;
    uint32_t sender;
    icmp::QueuedError queued;
};

// Destination unreachable (net, host, protocol, port), time exceeded (in transit, in reassembly),
// parameter problem, source quench.
bool IsIcmpErrorStatus(int32_t status)
{
    return (status >= kIpDestNetUnreachable && status <= kIpDestPortUnreachable) ||
           (status >= kIpTtlExpiredTransit && status <= kIpSourceQuench);
}

// An echo request or reply (by type) carrying the identifier and sequence of ours.
bool CarriesOurs(const uint8_t* message, uint8_t type, const icmp::EchoRequestId& request)
{
    return message[0] == type && LoadBe16(message + 4) == request.identifier &&
           LoadBe16(message + 6) == request.sequence;
}

// What any answer about the ICMP message at [offset, end) of the packet must
// satisfy; "not ours" claims nothing: no status and no echoed data.
void CheckAnswer(const Decoded& d, const Bytes& packet, size_t offset, size_t end, const Scene& scene)
{
    const uint8_t* message = packet.data() + offset;
    switch (d.verdict) {
    case Verdict::NotOurs:
        return Require(d.status == 0 && d.dataOffset == 0 && d.dataSize == 0);
    case Verdict::Reply:
        return Require(d.status == kIpSuccess && d.from == scene.sender && scene.sender == scene.request.destination &&
                       d.dataOffset == offset + icmp::kIcmpHeaderSize && d.dataOffset + d.dataSize == end &&
                       CarriesOurs(message, icmp::kTypeEchoReply, scene.request));
    case Verdict::Error:
        return Require(IsIcmpErrorStatus(d.status) && d.from == scene.sender && d.dataSize == 0 &&
                       (message[0] == 3 || message[0] == 4 || message[0] == 11 || message[0] == 12));
    }
    std::abort();  // a verdict outside the three
}

// Decodes from an exactly sized copy, so that AddressSanitizer sees any over-read;
// first writes the right checksum into the ICMP message at [offset, end) if asked to.
Decoded Decode(Bytes& packet, size_t offset, size_t end, SocketKind kind, const Scene& scene)
{
    if (scene.repairChecksum && end <= packet.size() && offset + icmp::kIcmpHeaderSize <= end) {
        packet[offset + 2] = packet[offset + 3] = 0;
        StoreBe16(&packet[offset + 2], icmp::InternetChecksum(packet.data() + offset, end - offset));
    }
    const Bytes copy(packet);
    return icmp::DecodeIcmpPacket(copy.data(), copy.size(), kind, scene.sender, scene.request);
}

// A raw packet that concerns us says the same as its ICMP message alone.
void CheckRaw(Bytes packet, const Scene& scene)
{
    if (packet.size() < icmp::kMinIpHeaderSize)
        return Require(Decode(packet, 0, 0, SocketKind::Raw, scene).verdict == Verdict::NotOurs);
    const size_t offset = static_cast<size_t>(packet[0] & 0x0f) * 4;
    const size_t end = std::min<size_t>(packet.size(), LoadBe16(&packet[2]));
    const Decoded raw = Decode(packet, offset, end, SocketKind::Raw, scene);
    CheckAnswer(raw, packet, offset, end, scene);
    if (raw.verdict == Verdict::NotOurs)
        return;
    Require(raw.ttl == packet[8] && raw.tos == packet[1]);
    Bytes message(packet.begin() + static_cast<long>(offset), packet.begin() + static_cast<long>(end));
    const Decoded alone = Decode(message, 0, 0, SocketKind::Datagram, scene);
    Require(alone.verdict == raw.verdict && alone.status == raw.status && alone.dataSize == raw.dataSize);
}

// The bytes as the quote of an error-queue entry: the start of our failed request.
void CheckQueued(const Bytes& quote, const Scene& scene)
{
    const Decoded d = icmp::DecodeQueuedError(quote.data(), quote.size(), scene.queued, scene.request);
    if (d.verdict == Verdict::NotOurs)
        return Require(d.status == 0 && d.dataOffset == 0 && d.dataSize == 0);
    Require(d.verdict == Verdict::Error && scene.queued.originalDestination == scene.request.destination &&
            (IsIcmpErrorStatus(d.status) || d.status == kIpGeneralFailure));
    Require(!scene.queued.fromIcmp || (d.from == scene.queued.offender && quote.size() >= icmp::kIcmpHeaderSize &&
                                       CarriesOurs(quote.data(), icmp::kTypeEchoRequest, scene.request)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < kHeadSize)
        return 0;
    const Scene scene(data);
    Bytes packet(data + kHeadSize, data + size);
    CheckRaw(packet, scene);
    CheckQueued(packet, scene);
    // A ping socket delivers the ICMP message alone, without TTL or TOS.
    const Decoded datagram = Decode(packet, 0, packet.size(), SocketKind::Datagram, scene);
    CheckAnswer(datagram, packet, 0, packet.size(), scene);
    Require(datagram.ttl == 0 && datagram.tos == 0);
    return 0;
}
