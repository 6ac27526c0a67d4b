// The decoder against packets built byte by byte: it takes the answer to our
// own request and nothing else, and never reads past what it is handed.
#include "icmp_decode.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <tuple>
#include <utility>

#include "icmp_packets.h"
#include "socket_stuff.h"

namespace vellomar::icmp {
namespace {

using testing::Bytes;
using testing::IcmpMessage;
using testing::QuotedRequest;
using enum Verdict;

const EchoRequestId kOurs {0x1234, 0xbeef, ::inet_addr("192.0.2.7")};
const uint32_t kRouter = ::inet_addr("198.51.100.1"), kElsewhere = ::inet_addr("192.0.2.9");
const Bytes kReply = IcmpMessage(kTypeEchoReply, 0, kOurs.identifier, kOurs.sequence);
const Bytes kRequest = IcmpMessage(kTypeEchoRequest, 0, kOurs.identifier, kOurs.sequence);
const Bytes kQuote = QuotedRequest(kOurs.destination, kOurs.identifier, kOurs.sequence);

Bytes AsRaw(const Bytes& message, uint32_t sender = kOurs.destination)
{
    return testing::IpPacket(sender, ::inet_addr("10.0.0.5"), message);
}

// Decodes from an exact-size heap copy, so that AddressSanitizer notices any
// read past the end.
Decoded Decode(const Bytes& bytes, SocketKind kind = SocketKind::Raw, uint32_t sender = kOurs.destination)
{
    const Bytes copy(bytes);
    return DecodeIcmpPacket(copy.data(), copy.size(), kind, sender, kOurs);
}

TEST(IcmpDecode, ChecksumMatchesTheRfc1071Example)
{
    const uint8_t bytes[] = {0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7};
    EXPECT_EQ(InternetChecksum(bytes, 8), 0x220d);
    EXPECT_EQ(InternetChecksum(bytes, 3), static_cast<uint16_t>(~0xf201));  // an odd byte is a high byte
}

// A datagram socket delivers the ICMP message alone, a raw socket behind an
// IPv4 header; either way only our reply and errors about our request count.
TEST(IcmpDecode, GivesEachMessageTheSameVerdictFromEitherSocketKind)
{
    const uint16_t id = kOurs.identifier, seq = kOurs.sequence;
    const uint32_t to = kOurs.destination;
    Bytes badChecksum = kReply, badHeaderLength = kQuote;
    badChecksum[2] ^= 0x01;
    badHeaderLength[0] = 0x4f;
    const auto error = [](uint8_t type, uint8_t code, const Bytes& quote = kQuote) {
        return IcmpMessage(type, code, 0, 0, quote);
    };
    const struct {
        const char* what;
        Bytes message;
        uint32_t sender;
        Verdict verdict;
        int32_t status;
    } cases[] = {
        {"our reply", kReply, to, Reply, kIpSuccess},
        {"other identifier", IcmpMessage(kTypeEchoReply, 0, id + 1, seq), to, NotOurs, 0},
        {"other sequence", IcmpMessage(kTypeEchoReply, 0, id, seq - 1), to, NotOurs, 0},
        {"other sender", kReply, ::inet_addr("192.0.2.8"), NotOurs, 0},
        {"non-zero code", IcmpMessage(kTypeEchoReply, 1, id, seq), to, NotOurs, 0},
        {"bad checksum", badChecksum, to, NotOurs, 0},
        {"our own request", kRequest, to, NotOurs, 0},
        {"3/0", error(3, 0), kRouter, Error, kIpDestNetUnreachable},
        {"3/1", error(3, 1), kRouter, Error, kIpDestHostUnreachable},
        {"3/2", error(3, 2), kRouter, Error, kIpDestProtocolUnreachable},
        {"3/3", error(3, 3), kRouter, Error, kIpDestPortUnreachable},
        {"3/13", error(3, 13), kRouter, Error, kIpDestHostUnreachable},
        {"11/0", error(11, 0), kRouter, Error, kIpTtlExpiredTransit},
        {"11/1", error(11, 1), kRouter, Error, kIpTtlExpiredReassembly},
        {"12/0", error(12, 0), kRouter, Error, kIpParameterProblem},
        {"4/0", error(4, 0), kRouter, Error, kIpSourceQuench},
        {"error about other identifier", error(3, 1, QuotedRequest(to, id ^ 1, seq)), kRouter, NotOurs, 0},
        {"error about other sequence", error(3, 1, QuotedRequest(to, id, seq ^ 1)), kRouter, NotOurs, 0},
        {"error about other destination", error(11, 0, QuotedRequest(kElsewhere, id, seq)), kRouter, NotOurs, 0},
        {"error about a UDP datagram", error(3, 3, QuotedRequest(to, id, seq, 17)), kRouter, NotOurs, 0},
        {"error about an echo reply", error(3, 1, QuotedRequest(to, id, seq, 1, 0)), kRouter, NotOurs, 0},
        {"quote cut before the sequence", error(11, 0, Bytes(kQuote.begin(), kQuote.end() - 2)), kRouter, NotOurs, 0},
        {"quote with bad header length", error(3, 1, badHeaderLength), kRouter, NotOurs, 0},
        {"redirect, which is no error", error(5, 1), kRouter, NotOurs, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto expect = [&c](const Decoded& decoded, const char* kind) {
            EXPECT_EQ(std::pair(decoded.verdict, decoded.status), std::pair(c.verdict, c.status)) << kind;
            EXPECT_TRUE(c.verdict == NotOurs || decoded.from == c.sender) << kind << " from the wrong sender";
        };
        expect(Decode(c.message, SocketKind::Datagram, c.sender), "datagram socket");
        expect(Decode(AsRaw(c.message, c.sender), SocketKind::Raw, c.sender), "raw socket");
    }
}

TEST(IcmpDecode, RejectsTruncatedPacketsAndMalformedIpHeaders)
{
    const Bytes raw = AsRaw(kReply);
    const Decoded whole = Decode(raw);
    EXPECT_EQ(whole.ttl, 57);
    EXPECT_EQ(std::string(&raw[whole.dataOffset], &raw[whole.dataOffset] + whole.dataSize), "hello");
    for (size_t size = 0; size < raw.size(); ++size)
        EXPECT_EQ(Decode(Bytes(raw.begin(), raw.begin() + size)).verdict, NotOurs) << size;
    for (size_t size = 0; size < kReply.size(); ++size)
        EXPECT_EQ(Decode(Bytes(kReply.begin(), kReply.begin() + size), SocketKind::Datagram).verdict, NotOurs) << size;
    // Shorter than an ICMP header, yet its checksum adds up.
    EXPECT_EQ(Decode({0, 0, 0xff, 0xff}, SocketKind::Datagram).verdict, NotOurs);

    const struct {
        const char* what;
        size_t at;
        uint8_t value;
    } damages[] = {
        {"header length below 20", 0, 0x44},
        {"header length past the end", 0, 0x4f},
        {"IPv6", 0, 0x65},
        {"UDP", 9, 17},
        {"total length below the header", 3, 19},
        {"total length cutting the message", 3, 30},
    };
    for (const auto& d : damages) {
        Bytes bad = raw;
        bad[d.at] = d.value;
        EXPECT_EQ(Decode(bad).verdict, NotOurs) << d.what;
    }
    Bytes padded = raw;  // bytes beyond the total length are link padding
    padded.insert(padded.end(), 6, 0);
    EXPECT_EQ(Decode(padded).verdict, Reply);
}

TEST(IcmpDecode, QueuedErrorsMustConcernOurRequestAndLocalOnesMapByErrno)
{
    const QueuedError timeExceeded {true, 11, 0, 0, kRouter, kOurs.destination};
    const Decoded ours = DecodeQueuedError(kRequest.data(), kRequest.size(), timeExceeded, kOurs);
    EXPECT_EQ(std::tuple(ours.verdict, ours.status, ours.from), std::tuple(Error, kIpTtlExpiredTransit, kRouter));

    const Bytes otherSequence = IcmpMessage(kTypeEchoRequest, 0, kOurs.identifier, kOurs.sequence + 1);
    const QueuedError elsewhere {true, 11, 0, 0, kRouter, kElsewhere};
    const QueuedError redirect {true, 5, 1, 0, kRouter, kOurs.destination};
    EXPECT_EQ(DecodeQueuedError(kRequest.data(), kRequest.size(), redirect, kOurs).verdict, NotOurs);
    EXPECT_EQ(DecodeQueuedError(otherSequence.data(), otherSequence.size(), timeExceeded, kOurs).verdict, NotOurs);
    EXPECT_EQ(DecodeQueuedError(kRequest.data(), kIcmpHeaderSize - 1, timeExceeded, kOurs).verdict, NotOurs);
    EXPECT_EQ(DecodeQueuedError(nullptr, 0, timeExceeded, kOurs).verdict, NotOurs);
    EXPECT_EQ(DecodeQueuedError(kRequest.data(), kRequest.size(), elsewhere, kOurs).verdict, NotOurs);

    // A local error quotes nothing; the same numbers serve a send that failed.
    const std::pair<int, int32_t> local[] = {
        {ENETUNREACH, kIpDestNetUnreachable},   {ENETDOWN, kIpDestNetUnreachable},
        {EHOSTUNREACH, kIpDestHostUnreachable}, {EHOSTDOWN, kIpDestHostUnreachable},
        {ECONNREFUSED, kIpDestPortUnreachable}, {EACCES, kIpGeneralFailure},
    };
    for (const auto& [errnoValue, status] : local) {
        const Decoded decoded = DecodeQueuedError(nullptr, 0, {false, 0, 0, errnoValue, 0, kOurs.destination}, kOurs);
        EXPECT_EQ(std::pair(decoded.verdict, decoded.status), std::pair(Error, status)) << errnoValue;
    }
}

}  // namespace
}  // namespace vellomar::icmp
