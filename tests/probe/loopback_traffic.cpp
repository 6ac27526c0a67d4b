#include "loopback_traffic.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <type_traits>

#include "icmp_packets.h"

namespace vellomar::testing {

namespace {

using Clock = std::chrono::steady_clock;

int OpenRawIcmp()
{
    return ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_ICMP);
}

uint16_t Be16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

}  // namespace

RequestWatcher::RequestWatcher() : fd_(OpenRawIcmp()) {}

RequestWatcher::~RequestWatcher()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::optional<SeenRequest> RequestWatcher::NextRequest()
{
    std::array<uint8_t, 2048> packet;
    for (;;) {
        const ssize_t size = ::recv(fd_, packet.data(), packet.size(), 0);
        if (size < 0)
            return std::nullopt;
        if (size < 20)
            continue;
        const size_t header = static_cast<size_t>(packet[0] & 0x0f) * 4;
        const uint8_t* icmp = packet.data() + header;
        if (static_cast<size_t>(size) != header + 8 + kHello.size() || icmp[0] != icmp::kTypeEchoRequest ||
            std::memcmp(icmp + 8, kHello.data(), kHello.size()) != 0)
            continue;
        SeenRequest request;
        std::memcpy(&request.source, &packet[12], 4);
        std::memcpy(&request.destination, &packet[16], 4);
        request.identifier = Be16(icmp + 4);
        request.sequence = Be16(icmp + 6);
        return request;
    }
}

int RequestWatcher::CountRequests(std::chrono::milliseconds settle)
{
    int count = 0;
    pollfd p{fd_, POLLIN, 0};
    while (::poll(&p, 1, static_cast<int>(settle.count())) > 0) {
        while (NextRequest())
            ++count;
    }
    return count;
}

LoopbackImpostor::LoopbackImpostor(std::optional<std::chrono::milliseconds> answerAfter)
    : answerAfter_(answerAfter), stranger_(OpenRawIcmp())
{
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = Ip("127.0.0.2");
    if (!watcher_.IsOpen() || stranger_ < 0 ||
        ::bind(stranger_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return;
    thread_ = std::thread([this] { Run(); });
}

LoopbackImpostor::~LoopbackImpostor()
{
    Stop();
    if (stranger_ >= 0)
        ::close(stranger_);
}

void LoopbackImpostor::Stop()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

void LoopbackImpostor::Run()
{
    std::optional<SeenRequest> request;
    Clock::time_point seenAt;
    bool answered = false;
    Clock::time_point nextRound = Clock::now();
    for (uint32_t round = 1; !stop_; ++round) {
        while (const std::optional<SeenRequest> seen = watcher_.NextRequest()) {
            request = seen;
            seenAt = Clock::now();
            answered = false;
            ++requestsSeen_;
        }
        const int nearMisses = request ? SendNearMisses(*request) : 0;
        SendNoise(round, kPacketsPerRound - nearMisses);
        if (request && answerAfter_ && !answered && Clock::now() - seenAt >= *answerAfter_) {
            answered = Send(watcher_.Descriptor(), EchoReplyMessage(request->identifier, request->sequence),
                            request->source);
            answersSent_ += answered ? 1 : 0;
        }
        // A round that starts late is not made up for: the rate is never exceeded.
        nextRound = std::max(nextRound + kRoundInterval, Clock::now());
        std::this_thread::sleep_until(nextRound);
    }
}

// Replies and errors about requests nobody sent, in turns.
void LoopbackImpostor::SendNoise(uint32_t round, int count)
{
    const uint32_t loopback = Ip("127.0.0.1");
    for (int i = 0; i < count; ++i) {
        const uint32_t seed = round * kPacketsPerRound + static_cast<uint32_t>(i);
        const auto identifier = static_cast<uint16_t>(seed * 7919);
        const auto sequence = static_cast<uint16_t>(seed * 104729);
        if (i % 2 == 0)
            Send(watcher_.Descriptor(), EchoReplyMessage(identifier, sequence), loopback);
        else
            Send(watcher_.Descriptor(), ErrorQuoting(3, 1, QuotedRequest(loopback, identifier, sequence)), loopback);
    }
}

int LoopbackImpostor::SendNearMisses(const SeenRequest& r)
{
    const int own = watcher_.Descriptor();
    const uint16_t id = r.identifier;
    const uint16_t seq = r.sequence;
    const uint32_t dest = r.destination;
    Bytes badChecksum = EchoReplyMessage(id, seq);
    badChecksum[3] ^= 0x40;
    const Bytes quote = QuotedRequest(dest, id, seq);

    const struct {
        int fd;
        Bytes message;
    } nearMisses[] = {
        {own, EchoReplyMessage(id, static_cast<uint16_t>(seq + 1))},
        {own, EchoReplyMessage(static_cast<uint16_t>(id + 1), seq)},
        {own, EchoReplyMessage(id, seq, 1)},
        {own, badChecksum},
        {stranger_, EchoReplyMessage(id, seq)},
        {own, ErrorQuoting(3, 3, QuotedRequest(dest, id, static_cast<uint16_t>(seq + 1)))},
        {own, ErrorQuoting(3, 1, QuotedRequest(dest, static_cast<uint16_t>(id + 1), seq))},
        {own, ErrorQuoting(11, 0, QuotedRequest(Ip("127.0.0.9"), id, seq))},
        {own, ErrorQuoting(12, 0, QuotedRequest(dest, id, seq, IPPROTO_UDP))},
        {own, ErrorQuoting(3, 1, quote, quote.size() - 2)},
        {own, ErrorQuoting(3, 3, QuotedRequest(dest, id, seq, IPPROTO_ICMP, icmp::kTypeEchoReply))},
    };
    static_assert(std::extent_v<decltype(nearMisses)> == kNearMissesPerRound);
    for (const auto& n : nearMisses)
        nearMissesSent_ += Send(n.fd, n.message, r.source) ? 1 : 0;
    return kNearMissesPerRound;
}

bool LoopbackImpostor::Send(int fd, const std::vector<uint8_t>& message, uint32_t to)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = to;
    return ::sendto(fd, message.data(), message.size(), 0, reinterpret_cast<const sockaddr*>(&address),
                    sizeof address) == static_cast<ssize_t>(message.size());
}

}  // namespace vellomar::testing
