#include "icmp_decode.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "byte_order.h"
#include "echo_reply.h"

namespace vellomar::icmp {

namespace {

constexpr uint8_t kProtocolIcmp = 1;

// Addresses stay in network byte order, exactly as they sit in the header.
uint32_t ReadAddress(const uint8_t* p)
{
    uint32_t address;
    std::memcpy(&address, p, sizeof address);
    return address;
}

bool IsErrorType(uint8_t type)
{
    return type == kTypeDestUnreachable || type == kTypeSourceQuench || type == kTypeTimeExceeded ||
           type == kTypeParameterProblem;
}

// The length of the IPv4 header at the start of [p, p + size), or 0 when there
// is no plausible one.
size_t IpHeaderSize(const uint8_t* p, size_t size)
{
    if (size < kMinIpHeaderSize || (p[0] >> 4) != 4)
        return 0;
    const size_t headerSize = static_cast<size_t>(p[0] & 0x0f) * 4;
    if (headerSize < kMinIpHeaderSize || headerSize > size)
        return 0;
    return headerSize;
}

bool IsOurEchoRequest(const uint8_t* icmp, size_t size, const EchoRequestId& expected)
{
    return size >= kIcmpHeaderSize && icmp[0] == kTypeEchoRequest && LoadBe16(icmp + 4) == expected.identifier &&
           LoadBe16(icmp + 6) == expected.sequence;
}

// An error message carries the IPv4 header and the first 8 bytes of the packet
// that failed; it concerns us only if that packet was our echo request.
bool QuotesOurRequest(const uint8_t* quote, size_t size, const EchoRequestId& expected)
{
    const size_t headerSize = IpHeaderSize(quote, size);
    if (headerSize == 0 || quote[9] != kProtocolIcmp || ReadAddress(quote + 16) != expected.destination)
        return false;
    return IsOurEchoRequest(quote + headerSize, size - headerSize, expected);
}

// Decodes an ICMP message that starts at offset within the buffer.
Decoded DecodeIcmpMessage(const uint8_t* bytes, size_t offset, size_t end, uint32_t sender,
                          const EchoRequestId& expected)
{
    const uint8_t* icmp = bytes + offset;
    const size_t size = end - offset;
    if (size < kIcmpHeaderSize || InternetChecksum(icmp, size) != 0)
        return {};

    Decoded result;
    result.from = sender;
    const uint8_t type = icmp[0];
    if (type == kTypeEchoReply && icmp[1] == 0 && sender == expected.destination &&
        LoadBe16(icmp + 4) == expected.identifier && LoadBe16(icmp + 6) == expected.sequence) {
        result.verdict = Verdict::Reply;
        result.status = kIpSuccess;
        result.dataOffset = offset + kIcmpHeaderSize;
        result.dataSize = size - kIcmpHeaderSize;
    } else if (IsErrorType(type) && QuotesOurRequest(icmp + kIcmpHeaderSize, size - kIcmpHeaderSize, expected)) {
        result.verdict = Verdict::Error;
        result.status = StatusForIcmpError(type, icmp[1]);
    }
    return result;
}

Decoded DecodeRawPacket(const uint8_t* bytes, size_t size, uint32_t sender, const EchoRequestId& expected)
{
    const size_t headerSize = IpHeaderSize(bytes, size);
    if (headerSize == 0 || bytes[9] != kProtocolIcmp)
        return {};
    // The header's total length, not the read size, ends the packet; a read
    // cut short ends it earlier.
    const size_t totalLength = LoadBe16(bytes + 2);
    if (totalLength < headerSize)
        return {};

    Decoded result = DecodeIcmpMessage(bytes, headerSize, std::min(size, totalLength), sender, expected);
    if (result.verdict != Verdict::NotOurs) {
        result.tos = bytes[1];
        result.ttl = bytes[8];
    }
    return result;
}

}  // namespace

Decoded DecodeIcmpPacket(const uint8_t* bytes, size_t size, SocketKind kind, uint32_t sender,
                         const EchoRequestId& expected)
{
    if (bytes == nullptr)
        return {};
    if (kind == SocketKind::Raw)
        return DecodeRawPacket(bytes, size, sender, expected);
    return DecodeIcmpMessage(bytes, 0, size, sender, expected);
}

Decoded DecodeQueuedError(const uint8_t* quoted, size_t size, const QueuedError& error, const EchoRequestId& expected)
{
    if (error.originalDestination != expected.destination)
        return {};

    Decoded result;
    if (error.fromIcmp) {
        // A redirect is advice about the route, not the fate of the request.
        if (!IsErrorType(error.type) || quoted == nullptr || !IsOurEchoRequest(quoted, size, expected))
            return {};
        result.status = StatusForIcmpError(error.type, error.code);
        result.from = error.offender;
    } else {
        // A local error quotes nothing; the socket serves this one request, so
        // the destination is all there is to match.
        result.status = StatusForLocalError(error.errnoValue);
    }
    result.verdict = Verdict::Error;
    return result;
}

int32_t StatusForIcmpError(uint8_t type, uint8_t code)
{
    switch (type) {
    case kTypeDestUnreachable:
        switch (code) {
        case 0:
            return kIpDestNetUnreachable;
        case 2:
            return kIpDestProtocolUnreachable;
        case 3:
            return kIpDestPortUnreachable;
        default:
            return kIpDestHostUnreachable;
        }
    case kTypeTimeExceeded:
        return code == 1 ? kIpTtlExpiredReassembly : kIpTtlExpiredTransit;
    case kTypeParameterProblem:
        return kIpParameterProblem;
    case kTypeSourceQuench:
        return kIpSourceQuench;
    default:
        return kIpGeneralFailure;
    }
}

int32_t StatusForLocalError(int errnoValue)
{
    switch (errnoValue) {
    case ENETUNREACH:
    case ENETDOWN:
        return kIpDestNetUnreachable;
    case EHOSTUNREACH:
    case EHOSTDOWN:
        return kIpDestHostUnreachable;
    case ECONNREFUSED:
        return kIpDestPortUnreachable;
    default:
        return kIpGeneralFailure;
    }
}

uint16_t InternetChecksum(const uint8_t* bytes, size_t size)
{
    uint64_t sum = 0;
    for (size_t i = 0; i + 1 < size; i += 2)
        sum += LoadBe16(bytes + i);
    if (size % 2 != 0)
        sum += static_cast<uint64_t>(bytes[size - 1]) << 8;
    while (sum > 0xffff)
        sum = (sum & 0xffff) + (sum >> 16);
    return static_cast<uint16_t>(~sum);
}

}  // namespace vellomar::icmp
