#include "icmp_decode.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "icmp_packets.h"
#include "socket_stuff.h"

namespace vellomar::icmp {
namespace {

using testing::Bytes;
using testing::EchoReplyMessage;
using testing::ErrorQuoting;
using testing::Ip;
using testing::IpPacket;
using testing::QuotedRequest;

const EchoRequestId kOurs{0x1234, 0xbeef, Ip("192.0.2.7")};
const uint32_t kRouter = Ip("198.51.100.1");

// Decodes from an exact-size heap copy, so that AddressSanitizer notices any
// read past the end.
Decoded Decode(const Bytes& bytes, SocketKind kind, uint32_t sender = kOurs.destination)
{
    const Bytes copy(bytes);
    return DecodeIcmpPacket(copy.data(), copy.size(), kind, sender, kOurs);
}

Decoded DecodeRaw(const Bytes& icmpMessage, uint32_t sender = kOurs.destination)
{
    return Decode(IpPacket(sender, Ip("10.0.0.5"), 1, icmpMessage, 57), SocketKind::Raw, sender);
}

TEST(IcmpDecode, ChecksumMatchesTheRfc1071Example)
{
    const uint8_t even[] = {0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7};
    EXPECT_EQ(InternetChecksum(even, sizeof even), 0x220d);
    const uint8_t odd[] = {0x00, 0x01, 0xf2};  // the odd byte counts as a high byte
    EXPECT_EQ(InternetChecksum(odd, sizeof odd), static_cast<uint16_t>(~0xf201));
}

TEST(IcmpDecode, AcceptsTheReplyToOurRequestFromEitherSocketKind)
{
    const Bytes reply = EchoReplyMessage(kOurs.identifier, kOurs.sequence);
    const Bytes rawPacket = IpPacket(kOurs.destination, Ip("10.0.0.5"), 1, reply, 57);

    const Decoded raw = Decode(rawPacket, SocketKind::Raw);
    EXPECT_EQ(raw.verdict, Verdict::Reply);
    EXPECT_EQ(raw.status, kIpSuccess);
    EXPECT_EQ(raw.from, kOurs.destination);
    EXPECT_EQ(raw.ttl, 57);
    ASSERT_EQ(raw.dataSize, 5u);
    EXPECT_EQ(std::memcmp(rawPacket.data() + raw.dataOffset, "hello", 5), 0);

    const Decoded datagram = Decode(reply, SocketKind::Datagram);
    EXPECT_EQ(datagram.verdict, Verdict::Reply);
    EXPECT_EQ(datagram.dataOffset, kIcmpHeaderSize);
    EXPECT_EQ(datagram.dataSize, 5u);
    EXPECT_EQ(datagram.ttl, 0);  // a ping socket delivers no IPv4 header
}

TEST(IcmpDecode, IgnoresRepliesThatAreNotOurs)
{
    Bytes badChecksum = EchoReplyMessage(kOurs.identifier, kOurs.sequence);
    badChecksum[2] ^= 0x01;
    const struct {
        const char* what;
        Bytes message;
        uint32_t sender;
    } cases[] = {
        {"other identifier", EchoReplyMessage(kOurs.identifier + 1, kOurs.sequence), kOurs.destination},
        {"other sequence", EchoReplyMessage(kOurs.identifier, kOurs.sequence - 1), kOurs.destination},
        {"other sender", EchoReplyMessage(kOurs.identifier, kOurs.sequence), Ip("192.0.2.8")},
        {"non-zero code", EchoReplyMessage(kOurs.identifier, kOurs.sequence, 1), kOurs.destination},
        {"bad checksum", badChecksum, kOurs.destination},
        {"our own request", testing::IcmpMessage(kTypeEchoRequest, 0, kOurs.identifier, kOurs.sequence,
                                                 testing::kHello),
         kOurs.destination},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DecodeRaw(c.message, c.sender).verdict, Verdict::NotOurs);
        EXPECT_EQ(Decode(c.message, SocketKind::Datagram, c.sender).verdict, Verdict::NotOurs);
    }
}

TEST(IcmpDecode, RejectsEveryTruncationOfAReply)
{
    const Bytes raw = IpPacket(kOurs.destination, Ip("10.0.0.5"), 1, EchoReplyMessage(kOurs.identifier, kOurs.sequence));
    for (size_t size = 0; size < raw.size(); ++size)
        EXPECT_EQ(Decode(Bytes(raw.begin(), raw.begin() + size), SocketKind::Raw).verdict, Verdict::NotOurs) << size;

    const Bytes message = EchoReplyMessage(kOurs.identifier, kOurs.sequence);
    for (size_t size = 0; size < message.size(); ++size)
        EXPECT_EQ(Decode(Bytes(message.begin(), message.begin() + size), SocketKind::Datagram).verdict,
                  Verdict::NotOurs)
            << size;
    EXPECT_EQ(DecodeIcmpPacket(nullptr, 0, SocketKind::Raw, 0, kOurs).verdict, Verdict::NotOurs);
}

TEST(IcmpDecode, RejectsMalformedIpHeaders)
{
    const Bytes good = IpPacket(kOurs.destination, Ip("10.0.0.5"), 1, EchoReplyMessage(kOurs.identifier, kOurs.sequence));
    ASSERT_EQ(Decode(good, SocketKind::Raw).verdict, Verdict::Reply);
    const struct {
        const char* what;
        size_t at;
        uint8_t value;
    } damages[] = {
        {"header length below 20", 0, 0x44},
        {"header length past the end", 0, 0x4f},
        {"IPv6 version", 0, 0x65},
        {"UDP protocol", 9, 17},
        {"total length below the header", 3, 19},
        {"total length cutting the message", 3, 30},
    };
    for (const auto& d : damages) {
        Bytes bad = good;
        bad[d.at] = d.value;
        EXPECT_EQ(Decode(bad, SocketKind::Raw).verdict, Verdict::NotOurs) << d.what;
    }
    // Bytes beyond the total length are link padding, not part of the message.
    Bytes padded = good;
    padded.insert(padded.end(), 6, 0);
    EXPECT_EQ(Decode(padded, SocketKind::Raw).verdict, Verdict::Reply);
}

TEST(IcmpDecode, MapsEachErrorAboutOurRequestToItsStatus)
{
    const struct {
        uint8_t type, code;
        int32_t status;
    } cases[] = {
        {3, 0, kIpDestNetUnreachable},  {3, 1, kIpDestHostUnreachable},  {3, 2, kIpDestProtocolUnreachable},
        {3, 3, kIpDestPortUnreachable}, {3, 4, kIpDestHostUnreachable},  {3, 13, kIpDestHostUnreachable},
        {11, 0, kIpTtlExpiredTransit},  {11, 1, kIpTtlExpiredReassembly}, {12, 0, kIpParameterProblem},
        {4, 0, kIpSourceQuench},
    };
    const Bytes quote = QuotedRequest(kOurs.destination, kOurs.identifier, kOurs.sequence);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + "/" + std::to_string(c.code));
        const Bytes error = ErrorQuoting(c.type, c.code, quote);
        const Decoded raw = DecodeRaw(error, kRouter);
        EXPECT_EQ(raw.verdict, Verdict::Error);
        EXPECT_EQ(raw.status, c.status);
        EXPECT_EQ(raw.from, kRouter);
        EXPECT_EQ(Decode(error, SocketKind::Datagram, kRouter).status, c.status);
        EXPECT_EQ(StatusForIcmpError(c.type, c.code), c.status);
    }
}

TEST(IcmpDecode, IgnoresErrorsAboutOtherPackets)
{
    const uint32_t dest = kOurs.destination;
    const Bytes ours = QuotedRequest(dest, kOurs.identifier, kOurs.sequence);
    Bytes badQuotedLength = ours;
    badQuotedLength[0] = 0x4f;
    const struct {
        const char* what;
        Bytes error;
    } cases[] = {
        {"other identifier", ErrorQuoting(3, 1, QuotedRequest(dest, kOurs.identifier ^ 1, kOurs.sequence))},
        {"other sequence", ErrorQuoting(3, 1, QuotedRequest(dest, kOurs.identifier, kOurs.sequence ^ 1))},
        {"other destination", ErrorQuoting(3, 1, QuotedRequest(Ip("192.0.2.9"), kOurs.identifier, kOurs.sequence))},
        {"UDP datagram", ErrorQuoting(3, 3, QuotedRequest(dest, kOurs.identifier, kOurs.sequence, 17))},
        {"an echo reply", ErrorQuoting(3, 1, QuotedRequest(dest, kOurs.identifier, kOurs.sequence, 1, 0))},
        {"quote cut before the sequence", ErrorQuoting(11, 0, ours, ours.size() - 2)},
        {"quote with bad header length", ErrorQuoting(3, 1, badQuotedLength)},
        {"redirect is no error", ErrorQuoting(5, 1, ours)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeRaw(c.error, kRouter).verdict, Verdict::NotOurs) << c.what;
        EXPECT_EQ(Decode(c.error, SocketKind::Datagram, kRouter).verdict, Verdict::NotOurs) << c.what;
    }
}

TEST(IcmpDecode, QueuedErrorsMustConcernOurRequest)
{
    const Bytes request = testing::IcmpMessage(kTypeEchoRequest, 0, kOurs.identifier, kOurs.sequence, testing::kHello);
    QueuedError icmpError{true, 11, 0, EHOSTUNREACH, kRouter, kOurs.destination};
    const Decoded decoded = DecodeQueuedError(request.data(), request.size(), icmpError, kOurs);
    EXPECT_EQ(decoded.verdict, Verdict::Error);
    EXPECT_EQ(decoded.status, kIpTtlExpiredTransit);
    EXPECT_EQ(decoded.from, kRouter);

    const Bytes otherSequence = testing::IcmpMessage(kTypeEchoRequest, 0, kOurs.identifier, kOurs.sequence + 1, {});
    EXPECT_EQ(DecodeQueuedError(otherSequence.data(), otherSequence.size(), icmpError, kOurs).verdict,
              Verdict::NotOurs);
    EXPECT_EQ(DecodeQueuedError(request.data(), kIcmpHeaderSize - 1, icmpError, kOurs).verdict, Verdict::NotOurs);
    EXPECT_EQ(DecodeQueuedError(nullptr, 0, icmpError, kOurs).verdict, Verdict::NotOurs);
    QueuedError elsewhere = icmpError;
    elsewhere.originalDestination = Ip("192.0.2.9");
    EXPECT_EQ(DecodeQueuedError(request.data(), request.size(), elsewhere, kOurs).verdict, Verdict::NotOurs);

    const QueuedError local{false, 0, 0, ENETUNREACH, 0, kOurs.destination};
    EXPECT_EQ(DecodeQueuedError(nullptr, 0, local, kOurs).status, kIpDestNetUnreachable);
}

TEST(IcmpDecode, MapsLocalSendErrors)
{
    EXPECT_EQ(StatusForLocalError(ENETUNREACH), kIpDestNetUnreachable);
    EXPECT_EQ(StatusForLocalError(ENETDOWN), kIpDestNetUnreachable);
    EXPECT_EQ(StatusForLocalError(EHOSTUNREACH), kIpDestHostUnreachable);
    EXPECT_EQ(StatusForLocalError(EHOSTDOWN), kIpDestHostUnreachable);
    EXPECT_EQ(StatusForLocalError(EACCES), kIpGeneralFailure);
    EXPECT_EQ(StatusForLocalError(EINVAL), kIpGeneralFailure);
}

}  // namespace
}  // namespace vellomar::icmp
