// Real echo exchanges, all inside the network namespace that main() makes for
// this process: loopback, a veth pair of its own, and nothing beyond.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "icmp_packets.h"
#include "icmp_platform.h"
#include "private_network.h"
#include "socket_stuff.h"
#include "temp_folder.h"

namespace vellomar {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using icmp::SocketKind;
using testing::Bytes;
using testing::IcmpMessage;

bool Send(int fd, const Bytes& bytes, uint32_t to)
{
    const sockaddr_in address{AF_INET, 0, {to}, {}};
    return ::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&address), sizeof address) > 0;
}

// An echo request carrying "hello", as seen on loopback.
struct SeenRequest { uint32_t source, destination; uint16_t id, seq; };

// A raw ICMP socket, which sees every ICMP packet that crosses loopback while it is open.
class RawSocket {
public:
    ~RawSocket() { ::close(fd_); }
    int Descriptor() const { return fd_; }

    // The next echo request carrying "hello" already waiting, if any; other packets are passed over.
    std::optional<SeenRequest> NextRequest() const
    {
        uint8_t packet[2048];
        for (ssize_t size; (size = ::recv(fd_, packet, sizeof packet, 0)) >= 0;) {
            const uint8_t* icmp = packet + (packet[0] & 0x0f) * 4;
            if (packet + size == icmp + 13 && icmp[0] == icmp::kTypeEchoRequest && !std::memcmp(icmp + 8, "hello", 5)) {
                SeenRequest seen{0, 0, static_cast<uint16_t>(icmp[4] << 8 | icmp[5]),
                                 static_cast<uint16_t>(icmp[6] << 8 | icmp[7])};
                std::memcpy(&seen.source, packet + 12, 4);
                std::memcpy(&seen.destination, packet + 16, 4);
                return seen;
            }
        }
        return std::nullopt;
    }

    // Counts the requests that arrive until loopback stays quiet for 50 ms.
    int CountRequests() const
    {
        int count = 0;
        for (pollfd p{fd_, POLLIN, 0}; ::poll(&p, 1, 50) > 0;)
            for (; NextRequest(); ++count) {}
        return count;
    }

private:
    const int fd_ = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_ICMP);
};

// Floods loopback, from a thread of its own, with packets that each miss the
// answer to the request it saw by one detail. Given answerAfter, it also sends
// the true reply that long after it saw the request. The rate is fixed rather
// than whatever the CPU allows, so that a test states what it proves even on a
// small, busy machine: a round every millisecond, 15 packets a round, 15,000
// packets a second.
class LoopbackImpostor {
public:
    static constexpr auto kRoundInterval = 1ms;
    static constexpr int kPacketsPerRound = 15;
    // Half of what it sends over wait: a flood that reached that many ran all
    // the while the probe waited, so a pass means the probe sorted through it.
    static int HalfTheFloodOf(std::chrono::milliseconds wait)
    {
        return static_cast<int>(wait / kRoundInterval) * kPacketsPerRound / 2;
    }

    explicit LoopbackImpostor(std::optional<Clock::duration> answerAfter = {})
    {
        const sockaddr_in local{AF_INET, 0, {::inet_addr("127.0.0.2")}, {}};
        if (own_.Descriptor() >= 0 &&
            ::bind(stranger_.Descriptor(), reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0)
            thread_ = std::jthread([this, answerAfter](std::stop_token stop) { Run(stop, answerAfter); });
    }
    void Stop() { thread_ = {}; }  // the counts are final afterwards

    std::atomic<int> requestsSeen{0}, nearMissesSent{0}, answersSent{0};

private:
    void Run(std::stop_token stop, std::optional<Clock::duration> answerAfter)
    {
        SeenRequest request{};
        std::vector<std::pair<int, Bytes>> nearMisses;
        Clock::time_point seenAt, nextRound = Clock::now();
        for (size_t sent = 0; !stop.stop_requested();) {
            for (std::optional<SeenRequest> seen; (seen = own_.NextRequest()); ++requestsSeen) {
                request = *seen;
                seenAt = Clock::now();
                nearMisses = NearMissesTo(request);
            }
            for (int i = 0; i < kPacketsPerRound && !nearMisses.empty(); ++i, ++sent) {
                const auto& [fd, message] = nearMisses[sent % nearMisses.size()];
                nearMissesSent += Send(fd, message, request.source);
            }
            if (answerAfter && requestsSeen > 0 && answersSent == 0 && Clock::now() - seenAt >= *answerAfter)
                answersSent += Send(own_.Descriptor(), IcmpMessage(0, 0, request.id, request.seq), request.source);
            // A round that starts late is not made up for: the rate is never exceeded.
            nextRound = std::max(nextRound + kRoundInterval, Clock::now());
            std::this_thread::sleep_until(nextRound);
        }
    }

    // Replies with another identifier, sequence, code, type, sender or checksum,
    // and error messages about other packets.
    std::vector<std::pair<int, Bytes>> NearMissesTo(const SeenRequest& r) const
    {
        const auto error = [](uint8_t type, uint32_t to, uint16_t id, uint16_t seq, uint8_t protocol = 1,
                              uint8_t quotedType = 8) {
            return IcmpMessage(type, 0, 0, 0, testing::QuotedRequest(to, id, seq, protocol, quotedType));
        };
        Bytes badChecksum = IcmpMessage(0, 0, r.id, r.seq);
        badChecksum[3] ^= 0x40;
        const int own = own_.Descriptor();
        return {{own, IcmpMessage(0, 0, r.id, r.seq + 1)},  {own, IcmpMessage(0, 0, r.id + 1, r.seq)},
                {own, IcmpMessage(0, 1, r.id, r.seq)},      {own, IcmpMessage(8, 0, r.id, r.seq, {})},
                {own, badChecksum},                         {stranger_.Descriptor(), IcmpMessage(0, 0, r.id, r.seq)},
                {own, error(3, r.destination, r.id, r.seq + 1)},
                {own, error(3, r.destination, r.id + 1, r.seq)},
                {own, error(11, ::inet_addr("127.0.0.9"), r.id, r.seq)},
                {own, error(12, r.destination, r.id, r.seq, IPPROTO_UDP)},
                {own, error(3, r.destination, r.id, r.seq, IPPROTO_ICMP, icmp::kTypeEchoReply)}};
    }

    const RawSocket own_, stranger_;  // the stranger sends from 127.0.0.2
    std::jthread thread_;              // last: stopped before the sockets close
};

// One probe, and how long it took; the members are set in this order.
struct Timed {
    Timed(const char* address, int32_t timeoutMs) : status(SendPing(address, timeoutMs, reply)) {}
    const Clock::time_point start = Clock::now();
    EchoReply reply;
    const int32_t status;
    const long elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
};

constexpr char kIgnoreEcho[] = "net/ipv4/icmp_echo_ignore_all";

// Both kinds of ICMP handle: ping_group_range decides which one the probe opens.
class EchoPath : public ::testing::TestWithParam<SocketKind> {
protected:
    void SetUp() override
    {
        REQUIRE_PRIVATE_NETWORK();
        ASSERT_TRUE(testing::WriteSysctl(kIgnoreEcho, "0"));
        ASSERT_TRUE(testing::WriteSysctl("net/ipv4/ping_group_range", GetParam() == SocketKind::Raw ? "1 0" : "0 0"));
        const platform::IcmpHandle handle = platform::IcmpHandle::Open();
        ASSERT_TRUE(handle.IsOpen() && handle.Kind() == GetParam());
    }
};

TEST_P(EchoPath, LoopbackAnswersEveryFormOfItsAddress)
{
    for (const auto& [text, answerer] : {std::pair{"127.0.0.1", "127.0.0.1"}, {"127.1", "127.0.0.1"},
                                         {"0x7f.1", "127.0.0.1"}, {"127.0.0.2", "127.0.0.2"}}) {
        SCOPED_TRACE(text);
        const Timed ping(text, 1000);
        ASSERT_EQ(ping.status, kIpSuccess);
        EXPECT_EQ(ping.reply.Address, ::inet_addr(answerer));
        EXPECT_GE(ping.reply.RoundTripTime, 0);
        EXPECT_LE(ping.reply.RoundTripTime, ping.elapsedMs);
        EXPECT_EQ(std::string(ping.reply.ReplyData, ping.reply.DataSize), "hello");
        EXPECT_GT(ping.reply.Options.Ttl, 0);
    }
}

TEST_P(EchoPath, SilenceEndsInTimeOutAfterTheTimeOutEvenUnderAFlood)
{
    ASSERT_TRUE(testing::WriteSysctl(kIgnoreEcho, "1"));
    const Timed silent("127.0.0.1", 300);
    LoopbackImpostor impostor;
    const Timed flooded("127.0.0.1", 300);
    impostor.Stop();
    for (const auto& [when, ping] : {std::pair{"in silence", silent}, {"under a flood", flooded}}) {
        SCOPED_TRACE(when);
        EXPECT_EQ(ping.status, kIpRequestTimedOut);
        EXPECT_EQ(ping.reply.Address, 0u);
        EXPECT_GE(ping.elapsedMs, 300);
        EXPECT_LT(ping.elapsedMs, 400);
    }
    EXPECT_EQ(impostor.requestsSeen.load(), 1);
    EXPECT_GE(impostor.nearMissesSent.load(), LoopbackImpostor::HalfTheFloodOf(300ms));
}

TEST_P(EchoPath, NearMissesDoNotHideTheTrueReply)
{
    ASSERT_TRUE(testing::WriteSysctl(kIgnoreEcho, "1"));  // the impostor answers, 50 ms late
    LoopbackImpostor impostor(50ms);
    const Timed ping("127.0.0.1", 1000);
    impostor.Stop();
    EXPECT_EQ(ping.status, kIpSuccess);
    EXPECT_EQ(ping.reply.Address, ::inet_addr("127.0.0.1"));
    EXPECT_GE(ping.reply.RoundTripTime, 50);
    EXPECT_LT(ping.elapsedMs, 150);  // found within 100 ms of its arrival
    EXPECT_EQ(impostor.answersSent.load(), 1);
    EXPECT_GE(impostor.nearMissesSent.load(), LoopbackImpostor::HalfTheFloodOf(50ms));
}

// Without a route the kernel refuses the request at once. Behind a veth pair of
// the namespace's own (10.77.0.1/24, nobody else on the subnet) address
// resolution fails after one 100 ms probe and the kernel reports the host
// unreachable itself, as an ICMP error message from 10.77.0.1.
TEST_P(EchoPath, UnreachableDestinationsAreReportedAsTheKernelSees)
{
    static const bool routesReady =
        testing::RunCommand("ip route replace unreachable 10.254.0.0/16") &&
        testing::RunCommand("ip link add vp0 type veth peer name vp1 && ip addr add 10.77.0.1/24 dev vp0") &&
        testing::WriteSysctl("net/ipv4/neigh/vp0/mcast_solicit", "1") &&
        testing::WriteSysctl("net/ipv4/neigh/vp0/retrans_time_ms", "100") &&
        testing::RunCommand("ip link set vp1 up && ip link set vp0 up");
    ASSERT_TRUE(routesReady);
    const Timed noRoute("10.255.0.1", 1000), unreachable("10.254.0.1", 1000);
    EXPECT_EQ(noRoute.status, kIpDestNetUnreachable);
    EXPECT_EQ(unreachable.status, kIpDestHostUnreachable);
    EXPECT_LT(noRoute.elapsedMs + unreachable.elapsedMs, 100);

    const Timed silent(GetParam() == SocketKind::Datagram ? "10.77.0.2" : "10.77.0.3", 3000);
    EXPECT_EQ(silent.status, kIpDestHostUnreachable);
    EXPECT_EQ(silent.reply.Address, ::inet_addr("10.77.0.1"));
    EXPECT_LT(silent.elapsedMs, 3000);
}

TEST_P(EchoPath, ThousandProbesLeaveNoDescriptorOpen)
{
    const int before = testing::OpenHandleCount();
    int unexpected = 0;
    for (int i = 0; i < 250; ++i) {
        EchoReply reply;
        unexpected += SendPing("127.0.0.1", 1000, reply) != kIpSuccess;
        unexpected += SendPing("127.0.0.1", 0, reply) != kIpRequestTimedOut;  // no time to wait at all
        unexpected += SendPing("IP", 1000, reply) != kNoRequestSent;
        unexpected += SendPing("10.255.0.1", 1000, reply) != kIpDestNetUnreachable;
    }
    EXPECT_EQ(unexpected, 0);
    EXPECT_EQ(testing::OpenHandleCount(), before);
}

INSTANTIATE_TEST_SUITE_P(Sockets, EchoPath, ::testing::Values(SocketKind::Datagram, SocketKind::Raw),
                         [](const auto& info) { return info.param == SocketKind::Datagram ? "Datagram" : "Raw"; });

// Address texts the probe refuses: nothing may go on the wire for them, and the
// caller's reply record must come back exactly as it went in.
TEST(AddressRules, UnusableAddressGivesMinusOneLeavesTheReplyUntouchedAndSendsNothing)
{
    REQUIRE_PRIVATE_NETWORK();
    const RawSocket watcher;
    for (const char* text : {"IP", "", " ", "1.2.3.4.5", "256.1.1.1", "127.0.0.1x", "1..2",  // not addresses
                             "255.255.255.255", "0xffffffff", "4294967295", "0377.0377.0377.0377",  // all bits set
                             "0.0.0.0", "0", "0x0", "0.0"}) {                                      // no host
        EchoReply reply, before;
        std::memset(static_cast<void*>(&reply), 0xa5, sizeof reply);  // a pattern no exchange would leave
        std::memcpy(&before, &reply, sizeof reply);
        EXPECT_EQ(SendPing(text, 100, reply), kNoRequestSent) << '"' << text << '"';
        EXPECT_EQ(std::memcmp(&reply, &before, sizeof reply), 0) << '"' << text << '"';
    }
    EXPECT_EQ(watcher.CountRequests(), 0);
    EchoReply reply;  // while the watcher does see a probe that is sent
    EXPECT_EQ(SendPing("127.0.0.1", 1000, reply), kIpSuccess);
    EXPECT_EQ(watcher.CountRequests(), 1);
}

// ping_once run as user and group nobody: "<status> <handle> <written|untouched>".
// What the helper printed, and before it on standard error what the probe
// explained to the user.
struct Outcome {
    std::string printed;
    std::string explained;
};

Outcome PingOnceAsNobody(const std::string& program)
{
    const std::string command =
        "setpriv --reuid=65534 --regid=65534 --clear-groups " + program + " 127.0.0.1 2>&1";
    const std::unique_ptr<FILE, int (*)(FILE*)> out(::popen(command.c_str(), "r"), ::pclose);
    Outcome outcome;
    char line[512];
    while (out && std::fgets(line, sizeof line, out.get()))
        (std::strncmp(line, "vellomar: ", 10) == 0 ? outcome.explained : outcome.printed) += line;
    return outcome;
}

// An unprivileged user pings through a datagram socket where ping_group_range
// admits the group, through a raw one where the executable has cap_net_raw, and
// otherwise not at all. The copies live beside the helper in the build tree, as
// the program does: /tmp may be mounted nosuid, which ignores file capabilities.
TEST(LeastPrivilege, NobodyPingsOnlyThroughThePingGroupOrTheFileCapability)
{
    REQUIRE_PRIVATE_NETWORK();
    ASSERT_TRUE(testing::WriteSysctl(kIgnoreEcho, "0"));
    std::string folder = PING_ONCE "-XXXXXX";
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    const std::shared_ptr<void> removeFolder(nullptr, [&folder](void*) { std::filesystem::remove_all(folder); });
    const std::string plain = folder + "/ping_once", granted = folder + "/ping_once_with_cap_net_raw";
    std::filesystem::permissions(folder, std::filesystem::perms(0755));
    ASSERT_TRUE(std::filesystem::copy_file(PING_ONCE, plain) && std::filesystem::copy_file(PING_ONCE, granted));
    ASSERT_TRUE(testing::RunCommand("setcap cap_net_raw+ep " + granted)) << folder << " holds no file capabilities";

    // Without a socket the user is told why and what to do, once although
    // the helper tries twice.
    const std::string noSocket = "vellomar: cannot open an ICMP socket (Operation not permitted (errno 1)), so no "
                                 "ping is sent and every record gets the status -1. Let this user's group use ping "
                                 "sockets (sysctl net.ipv4.ping_group_range) or give the program cap_net_raw: sudo "
                                 "scripts/grant-ping.sh <path of vellomar>\n";
    const struct { const char* pingGroups; std::string program; const char* printed; std::string explained; } cases[] = {
        {"1 0", plain, "-1 none untouched\n", noSocket},
        {"1 0", granted, "0 raw written\n", ""},
        {"65534 65534", plain, "0 datagram written\n", ""},
        {"65534 65534", granted, "0 datagram written\n", ""},  // the capability is left unused
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program + " with ping_group_range " + c.pingGroups);
        ASSERT_TRUE(testing::WriteSysctl("net/ipv4/ping_group_range", c.pingGroups));
        const Outcome outcome = PingOnceAsNobody(c.program);
        EXPECT_EQ(outcome.printed, c.printed);
        EXPECT_EQ(outcome.explained, c.explained);
    }
}

}  // namespace
}  // namespace vellomar

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    vellomar::testing::EnterPrivateNetwork();
    return RUN_ALL_TESTS();
}
