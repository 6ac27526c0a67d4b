// The decoder against packets built byte by byte: it takes the answer to our
// own request and nothing else, and never reads past what it is handed.
#include "icmp_decode.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <tuple>

#include "echo_reply.h"
#include "icmp_packets.h"

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
const Bytes kRawReply = testing::IpPacket(kOurs.destination, ::inet_addr("10.0.0.5"), kReply);

// Decodes from an exact-size heap copy, so that AddressSanitizer notices any read past the end; with wrap, the
// message gets the IPv4 header a raw socket delivers in front.
Decoded Decode(const Bytes& bytes, SocketKind kind = SocketKind::Raw, uint32_t sender = kOurs.destination,
               bool wrap = false)
{
    const Bytes copy = wrap ? testing::IpPacket(sender, ::inet_addr("10.0.0.5"), bytes) : bytes;
    return DecodeIcmpPacket(copy.data(), copy.size(), kind, sender, kOurs);
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
    // Replies with another identifier, sequence or code, a bad checksum, our own request; errors about another
    // identifier, sequence or destination, a UDP datagram or an echo reply, with a quote cut before the
    // sequence or with a bad header length; a redirect, which is no error.
    const Bytes notOurs[] = {IcmpMessage(0, 0, id + 1, seq),
                             IcmpMessage(0, 0, id, seq - 1),
                             IcmpMessage(0, 1, id, seq),
                             badChecksum,
                             kRequest,
                             error(3, 1, QuotedRequest(to, id ^ 1, seq)),
                             error(3, 1, QuotedRequest(to, id, seq ^ 1)),
                             error(11, 0, QuotedRequest(kElsewhere, id, seq)),
                             error(3, 3, QuotedRequest(to, id, seq, 17)),
                             error(3, 1, QuotedRequest(to, id, seq, 1, 0)),
                             error(11, 0, Bytes(kQuote.begin(), kQuote.end() - 2)),
                             error(3, 1, badHeaderLength),
                             error(5, 1)};
    // Each error type and code about our request, with the status it maps to.
    const std::tuple<uint8_t, uint8_t, int32_t> errors[] = {
        {3, 0, kIpDestNetUnreachable},    {3, 1, kIpDestHostUnreachable},  {3, 2, kIpDestProtocolUnreachable},
        {3, 3, kIpDestPortUnreachable},   {3, 13, kIpDestHostUnreachable}, {11, 0, kIpTtlExpiredTransit},
        {11, 1, kIpTtlExpiredReassembly}, {12, 0, kIpParameterProblem},    {4, 0, kIpSourceQuench}};
    for (const SocketKind kind : {SocketKind::Datagram, SocketKind::Raw}) {
        SCOPED_TRACE(kind == SocketKind::Raw ? "raw socket" : "datagram socket");
        const bool wrap = kind == SocketKind::Raw;
        const Decoded reply = Decode(kReply, kind, to, wrap);
        EXPECT_EQ(std::tuple(reply.verdict, reply.status, reply.from), std::tuple(Reply, kIpSuccess, to));
        EXPECT_EQ(Decode(kReply, kind, ::inet_addr("192.0.2.8"), wrap).verdict, NotOurs) << "reply from another sender";
        for (const Bytes& message : notOurs) {
            const Decoded decoded = Decode(message, kind, to, wrap);
            EXPECT_EQ(std::tuple(decoded.verdict, decoded.status), std::tuple(NotOurs, 0)) << &message - notOurs;
        }
        for (const auto& [type, code, status] : errors) {
            const Decoded decoded = Decode(error(type, code), kind, kRouter, wrap);
            EXPECT_EQ(std::tuple(decoded.verdict, decoded.status, decoded.from), std::tuple(Error, status, kRouter))
                << int(type) << "/" << int(code);
        }
    }
}

TEST(IcmpDecode, ChecksumMatchesTheRfc1071Example)
{
    const uint8_t bytes[] = {0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7};
    EXPECT_EQ(InternetChecksum(bytes, 8), 0x220d);
    EXPECT_EQ(InternetChecksum(bytes, 3), static_cast<uint16_t>(~0xf201));  // an odd byte is a high byte
}

TEST(IcmpDecode, RejectsTruncatedPacketsAndMalformedIpHeaders)
{
    const Decoded whole = Decode(kRawReply);
    EXPECT_EQ(whole.ttl, 57);
    EXPECT_EQ(std::string(&kRawReply[whole.dataOffset], &kRawReply[whole.dataOffset] + whole.dataSize), "hello");
    for (size_t size = 0; size < kRawReply.size(); ++size)
        EXPECT_EQ(Decode(Bytes(kRawReply.begin(), kRawReply.begin() + size)).verdict, NotOurs) << size;
    for (size_t size = 0; size < kReply.size(); ++size)
        EXPECT_EQ(Decode(Bytes(kReply.begin(), kReply.begin() + size), SocketKind::Datagram).verdict, NotOurs) << size;
    EXPECT_EQ(Decode({0, 0, 0xff, 0xff}, SocketKind::Datagram).verdict, NotOurs) << "shorter than a header, sum right";
    // Header length below 20 and past the end, IPv6, UDP, total length below the header and cutting the message.
    for (const auto& [at, value] :
         {std::pair<size_t, uint8_t> {0, 0x44}, {0, 0x4f}, {0, 0x65}, {9, 17}, {3, 19}, {3, 30}}) {
        Bytes bad = kRawReply;
        bad[at] = value;
        EXPECT_EQ(Decode(bad).verdict, NotOurs) << at << " = " << int(value);
    }
    Bytes padded = kRawReply;  // bytes beyond the total length are link padding
    padded.insert(padded.end(), 6, 0);
    EXPECT_EQ(Decode(padded).verdict, Reply);
}

TEST(IcmpDecode, QueuedErrorsMustConcernOurRequestAndLocalOnesMapByErrno)
{
    const QueuedError timeExceeded {true, 11, 0, 0, kRouter, kOurs.destination};
    const Decoded ours = DecodeQueuedError(kRequest.data(), kRequest.size(), timeExceeded, kOurs);
    EXPECT_EQ(std::tuple(ours.verdict, ours.status, ours.from), std::tuple(Error, kIpTtlExpiredTransit, kRouter));
    const Bytes otherSequence = IcmpMessage(kTypeEchoRequest, 0, kOurs.identifier, kOurs.sequence + 1);
    // A redirect, a quote of another request, one cut short or missing, an error about elsewhere.
    const std::tuple<const uint8_t*, size_t, QueuedError> notOurs[] = {
        {kRequest.data(), kRequest.size(), {true, 5, 1, 0, kRouter, kOurs.destination}},
        {otherSequence.data(), otherSequence.size(), timeExceeded},
        {kRequest.data(), kIcmpHeaderSize - 1, timeExceeded},
        {nullptr, 0, timeExceeded},
        {kRequest.data(), kRequest.size(), {true, 11, 0, 0, kRouter, kElsewhere}}};
    for (const auto& [quote, size, error] : notOurs)
        EXPECT_EQ(DecodeQueuedError(quote, size, error, kOurs).verdict, NotOurs) << size;
    // A local error quotes nothing; the same numbers serve a send that failed.
    const std::pair<int, int32_t> local[] = {
        {ENETUNREACH, kIpDestNetUnreachable},   {ENETDOWN, kIpDestNetUnreachable},
        {EHOSTUNREACH, kIpDestHostUnreachable}, {EHOSTDOWN, kIpDestHostUnreachable},
        {ECONNREFUSED, kIpDestPortUnreachable}, {EACCES, kIpGeneralFailure}};
    for (const auto& [errnoValue, status] : local) {
        const Decoded decoded = DecodeQueuedError(nullptr, 0, {false, 0, 0, errnoValue, 0, kOurs.destination}, kOurs);
        EXPECT_EQ(std::pair(decoded.verdict, decoded.status), std::pair(Error, status)) << errnoValue;
    }
}

}  // namespace
}  // namespace vellomar::icmp
