// Linux echo: an unprivileged ICMP datagram ("ping") socket where
// net.ipv4.ping_group_range admits the process, a raw ICMP socket otherwise.
#include "icmp_platform.h"

#include "byte_order.h"
#include "diagnostics.h"
#include "echo_reply.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <optional>
#include <string>
#include <type_traits>

#include <arpa/inet.h>
#include <linux/errqueue.h>
#include <linux/filter.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vellomar::probe {

namespace {

using Clock = std::chrono::steady_clock;
using icmp::SocketKind;

constexpr size_t kMaxPayloadSize = 1024;
// Big enough for any answer to a small request, error messages included; a
// longer packet arrives cut short and fails its checksum.
constexpr size_t kReceiveBufferSize = 4096;

using ReceiveBuffer = std::array<uint8_t, kReceiveBufferSize>;

struct Answer {
    icmp::Decoded decoded;
    std::optional<Clock::time_point> receivedAt;  // none when nothing came back
};

// A socket that refuses an option still carries the exchange, only less well:
// what that costs is said when it first happens, not every ten seconds.
void SetOption(int fd, int level, int name, const void* value, socklen_t size, platform::RecurringProblem& refused,
               const std::string& cost)
{
    if (::setsockopt(fd, level, name, value, size) == 0) {
        refused.Clear();
        return;
    }
    const std::string why = platform::LastErrorText();
    refused.Report(cost + " (" + why + ")");
}

// Asks a ping socket to report ICMP errors through its error queue, and the
// TTL and TOS of what it receives.
void EnableDatagramReports(int fd)
{
    static platform::RecurringProblem noErrors, noTtl, noTos;
    const int on = 1;
    SetOption(fd, SOL_IP, IP_RECVERR, &on, sizeof on, noErrors,
              "the ping socket will not pass on ICMP error messages (IP_RECVERR), so an unreachable host is "
              "logged as a time-out");
    SetOption(fd, SOL_IP, IP_RECVTTL, &on, sizeof on, noTtl, "the ping socket will not tell a reply's TTL");
    SetOption(fd, SOL_IP, IP_RECVTOS, &on, sizeof on, noTos, "the ping socket will not tell a reply's TOS");
}

// A fresh identifier and sequence for every request, so that a late answer to
// an earlier request is not taken for the answer to this one.
uint32_t RandomBits()
{
    uint32_t bits = 0;
    if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof bits))
        return bits;
    return static_cast<uint32_t>(Clock::now().time_since_epoch().count()) ^ (static_cast<uint32_t>(::getpid()) << 16);
}

size_t BuildEchoRequest(uint8_t* packet, const icmp::EchoRequestId& request, const uint8_t* payload, size_t payloadSize)
{
    packet[0] = icmp::kTypeEchoRequest;
    packet[1] = 0;
    StoreBe16(packet + 2, 0);
    StoreBe16(packet + 4, request.identifier);
    StoreBe16(packet + 6, request.sequence);
    std::memcpy(packet + icmp::kIcmpHeaderSize, payload, payloadSize);
    const size_t size = icmp::kIcmpHeaderSize + payloadSize;
    StoreBe16(packet + 2, icmp::InternetChecksum(packet, size));
    return size;
}

// Lets the kernel queue on a raw socket only what can concern our request:
// echo replies carrying its identifier and sequence, and ICMP error messages
// (whose quote of the failed packet the decoder examines). A raw socket
// otherwise receives every ICMP packet reaching the host, and a flood of
// other programs' traffic could fill its receive buffer so that the kernel
// drops our answer. The decoder still makes the final decision.
void AttachAnswerFilter(int fd, const icmp::EchoRequestId& request)
{
    // Jumps count the instructions they skip; named targets keep them readable.
    constexpr uint8_t kErrorTypes = 5, kDrop = 9, kQueue = 10;
    constexpr auto from = [](uint8_t at, uint8_t target) { return static_cast<uint8_t>(target - at - 1); };
    const uint32_t identifierAndSequence = uint32_t {request.identifier} << 16 | request.sequence;
    sock_filter code[] = {
        /* 0 */ BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0),  // X = length of the IPv4 header
        /* 1 */ BPF_STMT(BPF_LD | BPF_B | BPF_IND, 0),   // A = ICMP type
        /* 2 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, icmp::kTypeEchoReply, 0, from(2, kErrorTypes)),
        /* 3 */ BPF_STMT(BPF_LD | BPF_W | BPF_IND, 4),  // A = identifier and sequence
        /* 4 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, identifierAndSequence, from(4, kQueue), from(4, kDrop)),
        /* 5 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, icmp::kTypeDestUnreachable, from(5, kQueue), 0),
        /* 6 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, icmp::kTypeSourceQuench, from(6, kQueue), 0),
        /* 7 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, icmp::kTypeTimeExceeded, from(7, kQueue), 0),
        /* 8 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, icmp::kTypeParameterProblem, from(8, kQueue), 0),
        /* 9 */ BPF_STMT(BPF_RET | BPF_K, 0),            // drop
        /* 10 */ BPF_STMT(BPF_RET | BPF_K, UINT32_MAX),  // queue, all of it
    };
    static_assert(std::extent_v<decltype(code)> == kQueue + 1);
    const sock_fprog program {static_cast<unsigned short>(std::size(code)), code};
    static platform::RecurringProblem noFilter;
    SetOption(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program, noFilter,
              "the raw ICMP socket takes no filter (SO_ATTACH_FILTER), so under a flood of other ICMP traffic a "
              "reply may be lost and logged as a time-out");
}

bool SendTo(int fd, const uint8_t* packet, size_t size, uint32_t destination)
{
    sockaddr_in to {};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = destination;
    ssize_t sent;
    do {
        sent = ::sendto(fd, packet, size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    } while (sent < 0 && errno == EINTR);
    return sent >= 0;
}

// A ping socket puts its own port number in the identifier field; after the
// first send it can be read back as the socket's port.
std::optional<uint16_t> KernelIdentifier(int fd)
{
    sockaddr_in local {};
    socklen_t length = sizeof local;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return std::nullopt;
    return ntohs(local.sin_port);
}

void ReadTtlAndTos(msghdr& msg, icmp::Decoded& decoded)
{
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level != SOL_IP)
            continue;
        if (c->cmsg_type == IP_TTL && c->cmsg_len >= CMSG_LEN(sizeof(int))) {
            int ttl;
            std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
            decoded.ttl = static_cast<uint8_t>(ttl);
        } else if (c->cmsg_type == IP_TOS && c->cmsg_len >= CMSG_LEN(1)) {
            decoded.tos = *CMSG_DATA(c);
        }
    }
}

msghdr MessageHeader(sockaddr_in& name, iovec& data, void* control, size_t controlSize)
{
    msghdr msg {};
    msg.msg_name = &name;
    msg.msg_namelen = sizeof name;
    msg.msg_iov = &data;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = controlSize;
    return msg;
}

// Reads one waiting packet; an answer only if it concerns our request. A
// failed read (nothing there, or a pending socket error that an ICMP message
// raised, whoever it was about) is no answer either.
std::optional<Answer> ReadPacket(int fd, SocketKind kind, const icmp::EchoRequestId& expected, ReceiveBuffer& buffer)
{
    sockaddr_in from {};
    iovec data {buffer.data(), buffer.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int)) * 2];
    msghdr msg = MessageHeader(from, data, control, sizeof control);
    const ssize_t size = ::recvmsg(fd, &msg, MSG_DONTWAIT);
    if (size < 0)
        return std::nullopt;

    const Clock::time_point receivedAt = Clock::now();
    icmp::Decoded decoded =
        icmp::DecodeIcmpPacket(buffer.data(), static_cast<size_t>(size), kind, from.sin_addr.s_addr, expected);
    if (decoded.verdict == icmp::Verdict::NotOurs)
        return std::nullopt;
    if (kind == SocketKind::Datagram)
        ReadTtlAndTos(msg, decoded);
    return Answer {decoded, receivedAt};
}

std::optional<icmp::QueuedError> FindQueuedError(msghdr& msg, uint32_t originalDestination)
{
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level != SOL_IP || c->cmsg_type != IP_RECVERR || c->cmsg_len < CMSG_LEN(sizeof(sock_extended_err)))
            continue;
        sock_extended_err ee;
        std::memcpy(&ee, CMSG_DATA(c), sizeof ee);
        if (ee.ee_origin != SO_EE_ORIGIN_ICMP && ee.ee_origin != SO_EE_ORIGIN_LOCAL)
            return std::nullopt;

        icmp::QueuedError error;
        error.fromIcmp = ee.ee_origin == SO_EE_ORIGIN_ICMP;
        error.type = ee.ee_type;
        error.code = ee.ee_code;
        error.errnoValue = static_cast<int>(ee.ee_errno);
        error.originalDestination = originalDestination;
        // The offender's address follows the record.
        if (c->cmsg_len >= CMSG_LEN(sizeof ee + sizeof(sockaddr_in))) {
            sockaddr_in offender;
            std::memcpy(&offender, CMSG_DATA(c) + sizeof ee, sizeof offender);
            if (offender.sin_family == AF_INET)
                error.offender = offender.sin_addr.s_addr;
        }
        return error;
    }
    return std::nullopt;
}

// Reads one entry of a ping socket's error queue: the kernel files there the
// ICMP errors about echo requests that carried this socket's identifier.
std::optional<Answer> ReadQueuedError(int fd, const icmp::EchoRequestId& expected, ReceiveBuffer& buffer)
{
    sockaddr_in original {};
    iovec data {buffer.data(), buffer.size()};
    alignas(cmsghdr) char
        control[CMSG_SPACE(sizeof(sock_extended_err) + sizeof(sockaddr_in)) + CMSG_SPACE(sizeof(int)) * 2];
    msghdr msg = MessageHeader(original, data, control, sizeof control);
    const ssize_t size = ::recvmsg(fd, &msg, MSG_ERRQUEUE | MSG_DONTWAIT);
    if (size < 0)
        return std::nullopt;

    const Clock::time_point receivedAt = Clock::now();
    const std::optional<icmp::QueuedError> error = FindQueuedError(msg, original.sin_addr.s_addr);
    if (!error)
        return std::nullopt;
    icmp::Decoded decoded = icmp::DecodeQueuedError(buffer.data(), static_cast<size_t>(size), *error, expected);
    if (decoded.verdict == icmp::Verdict::NotOurs)
        return std::nullopt;
    ReadTtlAndTos(msg, decoded);
    return Answer {decoded, receivedAt};
}

int PollTimeout(Clock::duration remaining)
{
    // Rounded up: waking early would only cost another round.
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(remaining).count();
    return static_cast<int>(std::min<decltype(ms)>(ms, INT_MAX));
}

Answer FailedWith(int32_t status)
{
    Answer answer;
    answer.decoded.verdict = icmp::Verdict::Error;
    answer.decoded.status = status;
    return answer;
}

// Waits until the deadline for the answer to our request, passing over every
// packet that is not about it. No answer means the request timed out.
std::optional<Answer> AwaitAnswer(int fd, SocketKind kind, const icmp::EchoRequestId& expected,
                                  Clock::time_point deadline, ReceiveBuffer& buffer)
{
    for (;;) {
        const Clock::duration remaining = deadline - Clock::now();
        if (remaining <= Clock::duration::zero())
            return std::nullopt;

        pollfd p {fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, PollTimeout(remaining));
        if (ready < 0 && errno != EINTR)
            return FailedWith(kIpGeneralFailure);
        if (ready <= 0)
            continue;
        if (p.revents & POLLNVAL)
            return FailedWith(kIpGeneralFailure);

        std::optional<Answer> answer;
        if ((p.revents & POLLERR) && kind == SocketKind::Datagram)
            answer = ReadQueuedError(fd, expected, buffer);
        if (!answer && (p.revents & (POLLIN | POLLERR)))
            answer = ReadPacket(fd, kind, expected, buffer);
        if (answer)
            return answer;
    }
}

// Every field the exchange can know of is written, as 0 when it learnt nothing.
void FillReply(EchoReply& reply, const std::optional<Answer>& answer, Clock::time_point sentAt,
               const uint8_t* received = nullptr)
{
    EchoOutcome outcome;
    if (answer) {
        const icmp::Decoded& decoded = answer->decoded;
        outcome.address = decoded.from;
        outcome.status = decoded.status;
        if (answer->receivedAt) {
            outcome.roundTripTime = static_cast<int32_t>(
                std::chrono::duration_cast<std::chrono::milliseconds>(*answer->receivedAt - sentAt).count());
        }
        outcome.ttl = decoded.ttl;
        outcome.tos = decoded.tos;
        if (received != nullptr && decoded.verdict == icmp::Verdict::Reply) {
            outcome.data = received + decoded.dataOffset;
            outcome.dataSize = decoded.dataSize;
        }
    }
    RecordEchoOutcome(outcome, reply);
}

}  // namespace

bool StartSocketLibrary()
{
    return true;  // sockets need no library start on Linux
}

void ReleaseSocketLibrary()
{}

uint32_t InetAddr(const char* text)
{
    return ::inet_addr(text);
}

IcmpHandle IcmpHandle::Open()
{
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0) {
        EnableDatagramReports(fd);
        return IcmpHandle(fd, SocketKind::Datagram);
    }
    fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    return IcmpHandle(fd, SocketKind::Raw);
}

void IcmpHandle::SendEcho(uint32_t destination, const uint8_t* payload, size_t payloadSize, int32_t timeoutMs,
                          EchoReply& reply) const
{
    const Clock::time_point sentAt = Clock::now();
    if (!IsOpen() || payloadSize > kMaxPayloadSize) {
        FillReply(reply, FailedWith(kIpGeneralFailure), sentAt);
        return;
    }
    const int fd = endpoint_.Get();
    const uint32_t random = RandomBits();
    icmp::EchoRequestId request {static_cast<uint16_t>(random >> 16), static_cast<uint16_t>(random), destination};

    std::array<uint8_t, icmp::kIcmpHeaderSize + kMaxPayloadSize> packet;
    const size_t size = BuildEchoRequest(packet.data(), request, payload, payloadSize);
    if (kind_ == SocketKind::Raw)
        AttachAnswerFilter(fd, request);
    if (!SendTo(fd, packet.data(), size, destination)) {
        const int error = errno;
        FillReply(reply, FailedWith(icmp::StatusForLocalError(error)), sentAt);
        return;
    }
    if (kind_ == SocketKind::Datagram) {
        const std::optional<uint16_t> identifier = KernelIdentifier(fd);
        if (!identifier) {
            FillReply(reply, FailedWith(kIpGeneralFailure), sentAt);
            return;
        }
        request.identifier = *identifier;
    }

    const auto deadline = sentAt + std::chrono::milliseconds(std::max(timeoutMs, 0));
    ReceiveBuffer buffer;
    FillReply(reply, AwaitAnswer(fd, kind_, request, deadline, buffer), sentAt, buffer.data());
}

}  // namespace vellomar::probe
