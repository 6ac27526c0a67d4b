// Arbitrary bytes as a packet read from an ICMP socket, decoded as a raw and as a datagram socket would deliver it,
// and as the quote of an error-queue entry. The answer must be "not ours", our reply or a known error status,
// consistent with the bytes it rests on; each decoder gets an exactly sized heap copy, so no read outside passes.
// A 20-byte head sets the scene; the packet follows.
//   [0]       bits 0 to 3: repair the ICMP checksum first (so the fuzzer gets past it); the packet came from the
//             destination (else from [9..12]); the queued error came from an ICMP message (else it is local); it
//             concerns the destination (else [16..19])
//   [1..8]    our request: identifier and sequence, big-endian; destination
//   [9..19]   sender of the packet; queued error's ICMP type, code, errno value, offender
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "byte_order.h"
#include "echo_reply.h"
#include "icmp_decode.h"

namespace {

using namespace vellomar;
using namespace vellomar::icmp;
using Bytes = std::vector<uint8_t>;

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
    bool repairChecksum;
    EchoRequestId request;
    uint32_t sender;
    QueuedError queued;
};

// Destination unreachable (net, host, protocol, port), time exceeded, parameter problem, source quench.
bool IsIcmpErrorStatus(int32_t status)
{
    return (status >= kIpDestNetUnreachable && status <= kIpDestPortUnreachable) ||
           (status >= kIpTtlExpiredTransit && status <= kIpSourceQuench);
}

bool CarriesOurs(const uint8_t* message, uint8_t type, const EchoRequestId& request)
{
    return message[0] == type && LoadBe16(message + 4) == request.identifier &&
           LoadBe16(message + 6) == request.sequence;
}

// Any answer about the ICMP message at [offset, end) of the packet; "not ours" claims no status and no data.
void CheckAnswer(const Decoded& d, const Bytes& packet, size_t offset, size_t end, const Scene& scene)
{
    const uint8_t* message = packet.data() + offset;
    switch (d.verdict) {
    case Verdict::NotOurs:
        return Require(d.status == 0 && d.dataOffset == 0 && d.dataSize == 0);
    case Verdict::Reply:
        return Require(d.status == kIpSuccess && d.from == scene.sender && scene.sender == scene.request.destination &&
                       d.dataOffset == offset + kIcmpHeaderSize && d.dataOffset + d.dataSize == end &&
                       CarriesOurs(message, kTypeEchoReply, scene.request));
    case Verdict::Error:
        return Require(IsIcmpErrorStatus(d.status) && d.from == scene.sender && d.dataSize == 0 &&
                       (message[0] == 3 || message[0] == 4 || message[0] == 11 || message[0] == 12));
    }
    std::abort();  // a verdict outside the three
}

// Decodes from an exactly sized copy, first writing the right checksum into the message at [offset, end) if asked.
Decoded Decode(Bytes& packet, size_t offset, size_t end, SocketKind kind, const Scene& scene)
{
    if (scene.repairChecksum && end <= packet.size() && offset + kIcmpHeaderSize <= end) {
        packet[offset + 2] = packet[offset + 3] = 0;
        StoreBe16(&packet[offset + 2], InternetChecksum(packet.data() + offset, end - offset));
    }
    const Bytes copy(packet);
    return DecodeIcmpPacket(copy.data(), copy.size(), kind, scene.sender, scene.request);
}

// A raw packet that concerns us says the same as its ICMP message alone.
void CheckRaw(Bytes packet, const Scene& scene)
{
    if (packet.size() < kMinIpHeaderSize)
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
    const Decoded d = DecodeQueuedError(quote.data(), quote.size(), scene.queued, scene.request);
    if (d.verdict == Verdict::NotOurs)
        return Require(d.status == 0 && d.dataOffset == 0 && d.dataSize == 0);
    Require(d.verdict == Verdict::Error && scene.queued.originalDestination == scene.request.destination &&
            (IsIcmpErrorStatus(d.status) || d.status == kIpGeneralFailure));
    Require(!scene.queued.fromIcmp || (d.from == scene.queued.offender && quote.size() >= kIcmpHeaderSize &&
                                       CarriesOurs(quote.data(), kTypeEchoRequest, scene.request)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 20)  // the head
        return 0;
    const EchoRequestId request {LoadBe16(data + 1), LoadBe16(data + 3), Word(data + 5)};
    const uint32_t sender = (data[0] & 2) ? request.destination : Word(data + 9), offender = Word(data + 16);
    const QueuedError queued {(data[0] & 4) != 0, data[13], data[14],
                              data[15],           offender, (data[0] & 8) ? request.destination : offender};
    const Scene scene {(data[0] & 1) != 0, request, sender, queued};
    Bytes packet(data + 20, data + size);
    CheckRaw(packet, scene);
    CheckQueued(packet, scene);
    // A ping socket delivers the ICMP message alone, without TTL or TOS.
    const Decoded datagram = Decode(packet, 0, packet.size(), SocketKind::Datagram, scene);
    CheckAnswer(datagram, packet, 0, packet.size(), scene);
    Require(datagram.ttl == 0 && datagram.tos == 0);
    return 0;
}
