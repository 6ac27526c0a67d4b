// Real echo exchanges, all inside the network namespace that main() makes for
// this process: loopback, a veth pair of its own, and nothing beyond.
#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>

#include "icmp_packets.h"
#include "icmp_platform.h"
#include "loopback_traffic.h"
#include "private_network.h"
#include "socket_stuff.h"

namespace vellomar {
namespace {

using namespace std::chrono_literals;
using icmp::SocketKind;
using testing::Ip;

constexpr uid_t kNobody = 65534;

}  // namespace
}  // namespace vellomar

namespace vellomar::icmp {
void PrintTo(SocketKind kind, std::ostream* out)
{
    *out << (kind == SocketKind::Datagram ? "datagram socket" : "raw socket");
}
}  // namespace vellomar::icmp

namespace vellomar {
namespace {

struct Timed {
    int32_t status;
    EchoReply reply;
    std::chrono::milliseconds elapsed;
};

Timed PingTimed(const char* address, int32_t timeoutMs)
{
    Timed result{};
    const auto start = std::chrono::steady_clock::now();
    result.status = SendPing(address, timeoutMs, result.reply);
    result.elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    return result;
}

size_t OpenDescriptors()
{
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

bool IgnoreEcho(bool ignore)
{
    return testing::WriteSysctl("net/ipv4/icmp_echo_ignore_all", ignore ? "1" : "0");
}

// Both ways of opening the ICMP handle: ping_group_range decides which one
// the probe gets.
class EchoPath : public ::testing::TestWithParam<SocketKind> {
protected:
    void SetUp() override
    {
        REQUIRE_PRIVATE_NETWORK();
        ASSERT_TRUE(IgnoreEcho(false));
        const bool datagram = GetParam() == SocketKind::Datagram;
        ASSERT_TRUE(testing::WriteSysctl("net/ipv4/ping_group_range", datagram ? "0 2147483647" : "1 0"));
        const platform::IcmpHandle handle = platform::IcmpHandle::Open();
        ASSERT_TRUE(handle.IsOpen());
        ASSERT_EQ(handle.Kind(), GetParam());
    }
};

TEST_P(EchoPath, LoopbackAnswersEveryFormOfItsAddress)
{
    const struct {
        const char* text;
        const char* answerer;
    } cases[] = {
        {"127.0.0.1", "127.0.0.1"}, {"127.1", "127.0.0.1"}, {"0x7f.1", "127.0.0.1"},
        {"0177.0.0.1", "127.0.0.1"}, {"127.0.0.2", "127.0.0.2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ASSERT_TRUE(SocketsInitialize());
        const Timed ping = PingTimed(c.text, 1000);
        SocketsCleanup();
        ASSERT_EQ(ping.status, kIpSuccess);
        EXPECT_EQ(ping.reply.Status, kIpSuccess);
        EXPECT_EQ(ping.reply.Address, Ip(c.answerer));
        EXPECT_GE(ping.reply.RoundTripTime, 0);
        EXPECT_LE(ping.reply.RoundTripTime, ping.elapsed.count());
        EXPECT_EQ(ping.reply.DataSize, 5);
        EXPECT_EQ(std::memcmp(ping.reply.ReplyData, "hello", 5), 0);
        EXPECT_GT(ping.reply.Options.Ttl, 0);
    }
}

TEST_P(EchoPath, SilenceEndsInTimeOutAfterTheTimeOut)
{
    ASSERT_TRUE(IgnoreEcho(true));
    const Timed ping = PingTimed("127.0.0.1", 300);
    EXPECT_EQ(ping.status, kIpRequestTimedOut);
    EXPECT_EQ(ping.reply.Status, kIpRequestTimedOut);
    EXPECT_GE(ping.elapsed, 300ms);
    EXPECT_LT(ping.elapsed, 400ms);
}

TEST_P(EchoPath, DestinationWithoutRouteFailsAtOnce)
{
    ASSERT_TRUE(testing::RunIp("route replace unreachable 10.254.0.0/16"));
    const Timed noRoute = PingTimed("10.255.0.1", 1000);
    EXPECT_EQ(noRoute.status, kIpDestNetUnreachable);
    const Timed unreachable = PingTimed("10.254.0.1", 1000);
    EXPECT_EQ(unreachable.status, kIpDestHostUnreachable);
    EXPECT_LT(noRoute.elapsed + unreachable.elapsed, 100ms);
}

// A veth pair inside the namespace: 10.77.0.1/24 on one end, nobody else on
// the subnet, so address resolution for any other host there fails after one
// 100 ms probe and the kernel answers with "host unreachable".
bool SetUpSilentSubnet()
{
    static const bool ready = testing::RunIp("link add vp0 type veth peer name vp1") &&
                              testing::RunIp("addr add 10.77.0.1/24 dev vp0") &&
                              testing::WriteSysctl("net/ipv4/neigh/vp0/mcast_solicit", "1") &&
                              testing::WriteSysctl("net/ipv4/neigh/vp0/retrans_time_ms", "100") &&
                              testing::RunIp("link set vp1 up") && testing::RunIp("link set vp0 up");
    return ready;
}

TEST_P(EchoPath, SilentNeighbourIsReportedHostUnreachable)
{
    ASSERT_TRUE(SetUpSilentSubnet());
    const char* silent = GetParam() == SocketKind::Datagram ? "10.77.0.2" : "10.77.0.3";
    const Timed ping = PingTimed(silent, 3000);
    EXPECT_EQ(ping.status, kIpDestHostUnreachable);
    EXPECT_EQ(ping.reply.Address, Ip("10.77.0.1"));  // the kernel of this namespace said so
    EXPECT_LT(ping.elapsed, 3000ms);
}

// Half of what the impostor's stated rate sends in near misses over wait: a
// flood that reached it ran all the while the probe waited, so a pass means
// the probe sorted through the flood, not that the flood never came.
int HalfTheNearMissesOf(std::chrono::milliseconds wait)
{
    using testing::LoopbackImpostor;
    return static_cast<int>(wait / LoopbackImpostor::kRoundInterval) * LoopbackImpostor::kNearMissesPerRound / 2;
}

TEST_P(EchoPath, NearMissesDoNotEndTheWait)
{
    ASSERT_TRUE(IgnoreEcho(true));
    testing::LoopbackImpostor impostor;
    ASSERT_TRUE(impostor.IsRunning());
    const Timed ping = PingTimed("127.0.0.1", 300);
    impostor.Stop();
    EXPECT_EQ(ping.status, kIpRequestTimedOut);
    EXPECT_EQ(ping.reply.Address, 0u);
    EXPECT_GE(ping.elapsed, 300ms);
    EXPECT_LT(ping.elapsed, 400ms);
    EXPECT_EQ(impostor.RequestsSeen(), 1);
    EXPECT_GE(impostor.NearMissesSent(), HalfTheNearMissesOf(300ms));
}

TEST_P(EchoPath, NearMissesDoNotHideTheTrueReply)
{
    ASSERT_TRUE(IgnoreEcho(true));  // the impostor answers, 50 ms late
    testing::LoopbackImpostor impostor(50ms);
    ASSERT_TRUE(impostor.IsRunning());
    const Timed ping = PingTimed("127.0.0.1", 1000);
    impostor.Stop();
    EXPECT_EQ(ping.status, kIpSuccess);
    EXPECT_EQ(ping.reply.Address, Ip("127.0.0.1"));
    EXPECT_GE(ping.reply.RoundTripTime, 50);
    EXPECT_LT(ping.elapsed, 150ms);  // picked out of the flood as promptly as a time-out is
    EXPECT_EQ(impostor.AnswersSent(), 1);
    EXPECT_GE(impostor.NearMissesSent(), HalfTheNearMissesOf(50ms));
}

TEST_P(EchoPath, ThousandProbesLeaveNoDescriptorOpen)
{
    const size_t before = OpenDescriptors();
    std::map<int32_t, int> outcomes;
    for (int i = 0; i < 1000; ++i) {
        EchoReply reply;
        switch (i % 4) {
        case 0: outcomes[SendPing("127.0.0.1", 1000, reply)]++; break;
        case 1: outcomes[SendPing("127.0.0.1", 0, reply)]++; break;  // no time to wait at all
        case 2: outcomes[SendPing(i % 8 == 2 ? "IP" : "0.0.0.0", 1000, reply)]++; break;
        case 3: outcomes[SendPing("10.255.0.1", 1000, reply)]++; break;
        }
    }
    EXPECT_EQ(OpenDescriptors(), before);
    const std::map<int32_t, int> expected{
        {kIpSuccess, 250}, {kIpRequestTimedOut, 250}, {kNoRequestSent, 250}, {kIpDestNetUnreachable, 250}};
    EXPECT_EQ(outcomes, expected);
}

INSTANTIATE_TEST_SUITE_P(Sockets, EchoPath, ::testing::Values(SocketKind::Datagram, SocketKind::Raw),
                         [](const auto& info) {
                             return info.param == SocketKind::Datagram ? "Datagram" : "Raw";
                         });

TEST(UnusableAddress, PutsNothingOnTheWire)
{
    REQUIRE_PRIVATE_NETWORK();
    testing::RequestWatcher watcher;
    ASSERT_TRUE(watcher.IsOpen());
    for (const char* text : {"IP", "", "0.0.0.0", "255.255.255.255"}) {
        EchoReply reply;
        EXPECT_EQ(SendPing(text, 100, reply), kNoRequestSent) << text;
    }
    EXPECT_EQ(watcher.CountRequests(), 0);

    EchoReply reply;  // the watcher does see a probe that is sent
    ASSERT_EQ(SendPing("127.0.0.1", 1000, reply), kIpSuccess);
    EXPECT_EQ(watcher.CountRequests(), 1);
}

// What a probe run as user and group nobody in a child process found.
struct NobodyReport {
    bool privilegesDropped = false;
    bool rawSocketRefused = false;
    bool datagramHandle = false;
    int32_t status = 0;
    bool replyUntouched = false;
};

NobodyReport ProbeAsNobody()
{
    NobodyReport report;
    if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0 || ::geteuid() != kNobody)
        return report;
    report.privilegesDropped = true;
    const int raw = ::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    report.rawSocketRefused = raw < 0;
    if (raw >= 0)
        ::close(raw);
    report.datagramHandle = platform::IcmpHandle::Open().Kind() == SocketKind::Datagram;

    EchoReply reply;
    std::memset(static_cast<void*>(&reply), 0x5a, sizeof reply);
    EchoReply before;
    std::memcpy(&before, &reply, sizeof reply);
    report.status = SendPing("127.0.0.1", 1000, reply);
    report.replyUntouched = std::memcmp(&reply, &before, sizeof reply) == 0;
    return report;
}

NobodyReport RunProbeAsNobody()
{
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        const NobodyReport report = ProbeAsNobody();
        const bool written = ::write(pipeEnds[1], &report, sizeof report) == sizeof report;
        ::_exit(written ? 0 : 1);
    }
    ::close(pipeEnds[1]);
    NobodyReport report;
    if (child < 0 || ::read(pipeEnds[0], &report, sizeof report) != sizeof report)
        report = {};
    ::close(pipeEnds[0]);
    if (child > 0)
        ::waitpid(child, nullptr, 0);
    return report;
}

TEST(LeastPrivilege, NobodyInThePingGroupPingsThroughADatagramSocket)
{
    REQUIRE_PRIVATE_NETWORK();
    ASSERT_TRUE(IgnoreEcho(false));
    ASSERT_TRUE(testing::WriteSysctl("net/ipv4/ping_group_range", "65534 65534"));
    testing::RequestWatcher watcher;
    ASSERT_TRUE(watcher.IsOpen());

    const NobodyReport report = RunProbeAsNobody();
    ASSERT_TRUE(report.privilegesDropped);
    EXPECT_TRUE(report.rawSocketRefused);
    EXPECT_TRUE(report.datagramHandle);
    EXPECT_EQ(report.status, kIpSuccess);
    EXPECT_EQ(watcher.CountRequests(), 1);
}

TEST(LeastPrivilege, NobodyOutsideThePingGroupSendsNothing)
{
    REQUIRE_PRIVATE_NETWORK();
    ASSERT_TRUE(testing::WriteSysctl("net/ipv4/ping_group_range", "1 0"));
    testing::RequestWatcher watcher;
    ASSERT_TRUE(watcher.IsOpen());

    const NobodyReport report = RunProbeAsNobody();
    ASSERT_TRUE(report.privilegesDropped);
    EXPECT_TRUE(report.rawSocketRefused);
    EXPECT_FALSE(report.datagramHandle);
    EXPECT_EQ(report.status, kNoRequestSent);
    EXPECT_TRUE(report.replyUntouched);
    EXPECT_EQ(watcher.CountRequests(), 0);
}

}  // namespace
}  // namespace vellomar

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    vellomar::testing::EnterPrivateNetwork();
    return RUN_ALL_TESTS();
}
