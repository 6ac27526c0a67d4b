// Arbitrary bytes as a packet read from an ICMP socket, decoded as a raw and as
// a datagram socket would deliver it, and as the quote of an error-queue entry.
// The answer must be "not ours", our reply or an error status of the known set,
// consistent with the bytes it rests on, and nothing may be read outside the
// packet: each decoder gets its own exactly-sized heap copy.
//
// The input begins with a head that sets the scene; the packet follows.
//   [0]       bit 0: repair the ICMP checksum first (so the fuzzer gets past it)
//             bit 1: the packet came from the destination (else from [9..12])
//             bit 2: the queued error came from an ICMP message (else it is local)
//             bit 3: the queued error concerns the destination (else [16..19])
//   [1..4]    identifier and sequence of our request, big-endian
//   [5..8]    destination of our request
//   [9..12]   sender of the packet, unless bit 1
//   [13..15]  queued error: ICMP type, code, errno value
//   [16..19]  queued error: offender; original destination unless bit 3
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

// Writes the right checksum into the ICMP message at [offset, end), if it has a header.
void RepairChecksum(Bytes& packet, size_t offset, size_t end)
{
    if (end > packet.size() || offset + icmp::kIcmpHeaderSize > end)
        return;
    packet[offset + 2] = packet[offset + 3] = 0;
    StoreBe16(&packet[offset + 2], icmp::InternetChecksum(packet.data() + offset, end - offset));
}

bool IsIcmpErrorStatus(int32_t status)
{
    constexpr int32_t kKnown[] = {kIpDestNetUnreachable,  kIpDestHostUnreachable, kIpDestProtocolUnreachable,
                                  kIpDestPortUnreachable, kIpTtlExpiredTransit,   kIpTtlExpiredReassembly,
                                  kIpParameterProblem,    kIpSourceQuench};
    return std::find(std::begin(kKnown), std::end(kKnown), status) != std::end(kKnown);
}

bool IsErrorType(uint8_t type)
{
    return type == 3 || type == 4 || type == 11 || type == 12;
}

// "Not ours" claims nothing: no status and no echoed data.
bool ClaimsNothing(const Decoded& d)
{
    return d.status == 0 && d.dataOffset == 0 && d.dataSize == 0;
}

// What any answer about the ICMP message at [offset, end) of packet must satisfy.
void CheckAnswer(const Decoded& d, const Bytes& packet, size_t offset, size_t end, const Scene& scene)
{
    const uint8_t* message = packet.data() + offset;
    switch (d.verdict) {
    case Verdict::NotOurs:
        return Require(ClaimsNothing(d));
    case Verdict::Reply:
        return Require(d.status == kIpSuccess && d.from == scene.sender && scene.sender == scene.request.destination &&
                       d.dataOffset == offset + icmp::kIcmpHeaderSize && d.dataOffset + d.dataSize == end &&
                       message[0] == icmp::kTypeEchoReply && LoadBe16(message + 4) == scene.request.identifier &&
                       LoadBe16(message + 6) == scene.request.sequence);
    case Verdict::Error:
        return Require(IsIcmpErrorStatus(d.status) && d.from == scene.sender && IsErrorType(message[0]) &&
                       d.dataSize == 0);
    }
    std::abort();  // a verdict outside the three
}

Decoded DecodeCopy(const Bytes& packet, SocketKind kind, const Scene& scene)
{
    const Bytes copy(packet);  // exactly sized, so AddressSanitizer sees any over-read
    return icmp::DecodeIcmpPacket(copy.data(), copy.size(), kind, scene.sender, scene.request);
}

// A raw packet that concerns us says the same as its ICMP message alone.
void CheckRaw(Bytes packet, const Scene& scene)
{
    if (packet.size() < icmp::kMinIpHeaderSize)
        return Require(DecodeCopy(packet, SocketKind::Raw, scene).verdict == Verdict::NotOurs);
    const size_t offset = static_cast<size_t>(packet[0] & 0x0f) * 4;
    const size_t end = std::min<size_t>(packet.size(), LoadBe16(&packet[2]));
    if (scene.repairChecksum)
        RepairChecksum(packet, offset, end);
    const Decoded raw = DecodeCopy(packet, SocketKind::Raw, scene);
    CheckAnswer(raw, packet, offset, end, scene);
    if (raw.verdict == Verdict::NotOurs)
        return;
    Require(raw.ttl == packet[8] && raw.tos == packet[1]);
    const Decoded alone =
        DecodeCopy(Bytes(packet.begin() + static_cast<long>(offset), packet.begin() + static_cast<long>(end)),
                   SocketKind::Datagram, scene);
    Require(alone.verdict == raw.verdict && alone.status == raw.status && alone.dataSize == raw.dataSize);
}

// A ping socket delivers the ICMP message alone, without TTL or TOS.
void CheckDatagram(Bytes packet, const Scene& scene)
{
    if (scene.repairChecksum)
        RepairChecksum(packet, 0, packet.size());
    const Decoded datagram = DecodeCopy(packet, SocketKind::Datagram, scene);
    CheckAnswer(datagram, packet, 0, packet.size(), scene);
    Require(datagram.ttl == 0 && datagram.tos == 0);
}

// The bytes as the quote of an error-queue entry: the start of our failed request.
void CheckQueued(const Bytes& quote, const Scene& scene)
{
    const Decoded d = icmp::DecodeQueuedError(quote.data(), quote.size(), scene.queued, scene.request);
    if (d.verdict == Verdict::NotOurs)
        return Require(ClaimsNothing(d));
    Require(d.verdict == Verdict::Error && scene.queued.originalDestination == scene.request.destination &&
            (IsIcmpErrorStatus(d.status) || d.status == kIpGeneralFailure));
    Require(!scene.queued.fromIcmp ||
            (d.from == scene.queued.offender && quote.size() >= icmp::kIcmpHeaderSize &&
             quote[0] == icmp::kTypeEchoRequest && LoadBe16(&quote[4]) == scene.request.identifier &&
             LoadBe16(&quote[6]) == scene.request.sequence));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < kHeadSize)
        return 0;
    const Scene scene(data);
    const Bytes packet(data + kHeadSize, data + size);
    CheckRaw(packet, scene);
    CheckDatagram(packet, scene);
    CheckQueued(packet, scene);
    return 0;
}
