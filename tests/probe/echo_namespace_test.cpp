// Real echo exchanges, all inside the network namespace that main() makes for
// this process: loopback, a veth pair of its own, and nothing beyond.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "echo_reply.h"
#include "icmp_packets.h"
#include "icmp_platform.h"
#include "private_network.h"
#include "temp_folder.h"

namespace vellomar {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using icmp::SocketKind;
using testing::Bytes;
using testing::IcmpMessage;
using testing::WriteSysctl;

constexpr char kIgnoreEcho[] = "net/ipv4/icmp_echo_ignore_all", kPingGroups[] = "net/ipv4/ping_group_range";

// An echo request carrying "hello", as seen on loopback.
struct SeenRequest {
    uint32_t source, destination;
    uint16_t id, seq;
};

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
                SeenRequest seen {0, 0, LoadBe16(icmp + 4), LoadBe16(icmp + 6)};
                std::memcpy(&seen.source, packet + 12, 4);
                std::memcpy(&seen.destination, packet + 16, 4);
                return seen;
            }
        }
        return std::nullopt;
    }

private:
    const int fd_ = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_ICMP);
};

// Watches loopback from a thread of its own for the probe's request. Given flood, it sends at a fixed 15 packets a
// millisecond (a pass proves the same on a busy machine) packets that each miss the answer to that request by one
// detail; given answerAfter, the true reply that long after the request.
class LoopbackImpostor {
public:
    static constexpr int kPacketsPerMs = 15;

    LoopbackImpostor(bool flood, std::optional<Clock::duration> answerAfter)
    {
        const sockaddr_in local {AF_INET, 0, {::inet_addr("127.0.0.2")}, {}};
        if (own_.Descriptor() >= 0 &&
            ::bind(stranger_.Descriptor(), reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0)
            thread_ = std::jthread([=, this](std::stop_token stop) { Run(stop, flood, answerAfter); });
    }
    void Stop() { thread_ = {}; }  // the counts are final afterwards
    std::atomic<int> requestsSeen {0}, nearMissesSent {0}, answersSent {0};

private:
    static bool Send(int fd, const Bytes& bytes, uint32_t to)
    {
        const sockaddr_in address {AF_INET, 0, {to}, {}};
        return ::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&address),
                        sizeof address) > 0;
    }
    void Run(std::stop_token stop, bool flood, std::optional<Clock::duration> answerAfter)
    {
        SeenRequest request {};
        std::vector<std::pair<int, Bytes>> nearMisses;
        Clock::time_point seenAt, nextRound = Clock::now();
        for (size_t sent = 0; !stop.stop_requested();) {
            for (std::optional<SeenRequest> seen; (seen = own_.NextRequest()); ++requestsSeen) {
                request = *seen;
                seenAt = Clock::now();
                nearMisses = NearMissesTo(request);
            }
            for (int i = 0; flood && i < kPacketsPerMs && !nearMisses.empty(); ++i, ++sent) {
                const auto& [fd, message] = nearMisses[sent % nearMisses.size()];
                nearMissesSent += Send(fd, message, request.source);
            }
            if (answerAfter && requestsSeen > 0 && answersSent == 0 && Clock::now() - seenAt >= *answerAfter)
                answersSent += Send(own_.Descriptor(), IcmpMessage(0, 0, request.id, request.seq), request.source);
            nextRound = std::max(nextRound + 1ms, Clock::now());  // a late round is not made up for
            std::this_thread::sleep_until(nextRound);
        }
    }

    // Replies with another identifier, sequence, code, type, sender or checksum; errors about other packets.
    std::vector<std::pair<int, Bytes>> NearMissesTo(const SeenRequest& r) const
    {
        const auto error = [](uint8_t type, uint32_t to, uint16_t id, uint16_t seq, uint8_t protocol = 1,
                              uint8_t quotedType = 8) {
            return IcmpMessage(type, 0, 0, 0, testing::QuotedRequest(to, id, seq, protocol, quotedType));
        };
        Bytes badChecksum = IcmpMessage(0, 0, r.id, r.seq);
        badChecksum[3] ^= 0x40;
        const int own = own_.Descriptor();
        return {{own, IcmpMessage(0, 0, r.id, r.seq + 1)},
                {own, IcmpMessage(0, 0, r.id + 1, r.seq)},
                {own, IcmpMessage(0, 1, r.id, r.seq)},
                {own, IcmpMessage(8, 0, r.id, r.seq, {})},
                {own, badChecksum},
                {stranger_.Descriptor(), IcmpMessage(0, 0, r.id, r.seq)},
                {own, error(3, r.destination, r.id, r.seq + 1)},
                {own, error(3, r.destination, r.id + 1, r.seq)},
                {own, error(11, ::inet_addr("127.0.0.9"), r.id, r.seq)},
                {own, error(12, r.destination, r.id, r.seq, IPPROTO_UDP)},
                {own, error(3, r.destination, r.id, r.seq, IPPROTO_ICMP, icmp::kTypeEchoReply)}};
    }

    const RawSocket own_, stranger_;  // the stranger sends from 127.0.0.2
    std::jthread thread_;             // last: stopped before the sockets close
};

// One probe, and how long it took; the members are set in this order.
struct Timed {
    Timed(const char* address, int32_t timeoutMs) : status(ExchangeEcho(address, timeoutMs, reply)) {}
    const Clock::time_point start = Clock::now();
    EchoReply reply;
    const int32_t status;
    const long elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
};

// Both kinds of ICMP handle, as ping_group_range decides. No route leads to 203.0.113/24, 198.51.100/24 is
// unreachable by route, and behind a veth pair of the namespace's own (192.0.2.1/24, nobody else on the subnet)
// address resolution fails after one 100 ms probe. All of them documentation addresses, inside the namespace.
class EchoPath : public ::testing::TestWithParam<SocketKind> {
protected:
    void SetUp() override
    {
        REQUIRE_PRIVATE_NETWORK();
        // First: leaving ping sockets to no group may move the process to a fresh network namespace.
        ASSERT_TRUE(testing::AdmitToPingSockets(GetParam() == SocketKind::Datagram) && WriteSysctl(kIgnoreEcho, "0"));
        ASSERT_TRUE(
            testing::RunCommand("ip link show vp0 >/dev/null 2>&1 || { ip route replace unreachable 198.51.100.0/24"
                                " && ip link add vp0 type veth peer name vp1 && ip addr add 192.0.2.1/24 dev vp0"
                                " && ip link set vp1 up; }") &&
            WriteSysctl("net/ipv4/neigh/vp0/mcast_solicit", "1") &&
            WriteSysctl("net/ipv4/neigh/vp0/retrans_time_ms", "100") && testing::RunCommand("ip link set vp0 up"));
        const probe::IcmpHandle handle = probe::IcmpHandle::Open();
        ASSERT_TRUE(handle.IsOpen() && handle.Kind() == GetParam());
    }
};

// Every outcome that comes at once, many times over: right every time, and no descriptor left open.
TEST_P(EchoPath, EveryOutcomeComesRightAndLeavesNoDescriptorOpenAndASilentNeighbourIsUnreachable)
{
    const struct {
        const char* text;
        int32_t timeoutMs, status;
        const char* answerer;
        EchoEnd end;  // as the rest of the program sees it
    } cases[] = {
        {"127.0.0.1", 1000, kIpSuccess, "127.0.0.1", EchoEnd::Replied},
        {"127.1", 1000, kIpSuccess, "127.0.0.1", EchoEnd::Replied},
        {"0x7f.1", 1000, kIpSuccess, "127.0.0.1", EchoEnd::Replied},
        {"127.0.0.2", 1000, kIpSuccess, "127.0.0.2", EchoEnd::Replied},
        {"127.0.0.1", 0, kIpRequestTimedOut, "0.0.0.0", EchoEnd::TimedOut},  // no time to wait at all
        {"203.0.113.1", 1000, kIpDestNetUnreachable, "0.0.0.0", EchoEnd::NetUnreachable},
        {"198.51.100.1", 1000, kIpDestHostUnreachable, "0.0.0.0", EchoEnd::HostUnreachable},
        {"IP", 1000, kNoRequestSent, "0.0.0.0", EchoEnd::NotSent},
    };
    for (const auto& c : cases) {
        const ProbeResult plain = SendPing(c.text, c.timeoutMs);
        EXPECT_EQ(std::pair(plain.end, plain.status), std::pair(c.end, c.status)) << c.text;
    }
    const int before = testing::OpenHandleCount();
    for (int round = 0; round < 150 && !HasFailure(); ++round) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.text);
            const Timed ping(c.text, c.timeoutMs);
            EXPECT_EQ(ping.status, c.status);
            EXPECT_EQ(ping.reply.Address, ::inet_addr(c.answerer));
            EXPECT_LE(ping.reply.RoundTripTime, ping.elapsedMs);
            EXPECT_GE(ping.reply.RoundTripTime, 0);
            EXPECT_LT(ping.elapsedMs, 500);  // refusals come at once, not at the time-out
            EXPECT_EQ(std::string(ping.reply.ReplyData, ping.reply.DataSize), c.status == kIpSuccess ? "hello" : "");
            EXPECT_EQ(ping.reply.Options.Ttl > 0, c.status == kIpSuccess);
        }
    }
    EXPECT_EQ(testing::OpenHandleCount(), before);

    // The kernel reports a silent neighbour unreachable itself, as an ICMP error message from 192.0.2.1.
    const Timed silent(GetParam() == SocketKind::Datagram ? "192.0.2.2" : "192.0.2.3", 3000);
    EXPECT_EQ(silent.status, kIpDestHostUnreachable);
    EXPECT_EQ(silent.reply.Address, ::inet_addr("192.0.2.1"));
    EXPECT_LT(silent.elapsedMs, 3000);
}

// The host itself never answers; the impostor floods, and may answer late.
TEST_P(EchoPath, UnderAFloodTheTrueReplyIsFoundAndSilenceStillEndsAtTheTimeOut)
{
    const struct {
        const char* when;
        bool flood;
        std::optional<Clock::duration> answerAfter;
        int32_t timeoutMs, status;
        long minMs, maxMs;
    } cases[] = {
        {"in silence", false, {}, 300, kIpRequestTimedOut, 300, 400},
        {"under a flood", true, {}, 300, kIpRequestTimedOut, 300, 400},
        {"under a flood, answered 50 ms late", true, 50ms, 1000, kIpSuccess, 50, 150},
    };
    ASSERT_TRUE(WriteSysctl(kIgnoreEcho, "1"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.when);
        LoopbackImpostor impostor(c.flood, c.answerAfter);
        const Timed ping("127.0.0.1", c.timeoutMs);
        impostor.Stop();
        EXPECT_EQ(ping.status, c.status);
        EXPECT_EQ(ping.reply.Address, c.status == kIpSuccess ? ::inet_addr("127.0.0.1") : 0u);
        EXPECT_GE(c.status == kIpSuccess ? ping.reply.RoundTripTime : ping.elapsedMs, c.minMs);
        EXPECT_LT(ping.elapsedMs, c.maxMs);
        EXPECT_EQ(impostor.requestsSeen.load(), 1);
        EXPECT_EQ(impostor.answersSent.load(), c.answerAfter ? 1 : 0);
        // A flood ran at half its full rate or more all the while the probe waited.
        EXPECT_GE(impostor.nearMissesSent.load(), c.flood * c.minMs * LoopbackImpostor::kPacketsPerMs / 2);
    }
}

INSTANTIATE_TEST_SUITE_P(Sockets, EchoPath, ::testing::Values(SocketKind::Datagram, SocketKind::Raw),
                         [](const auto& info) { return info.param == SocketKind::Datagram ? "Datagram" : "Raw"; });

// Address texts the probe refuses: nothing goes on the wire, and the reply record comes back exactly as it went in.
TEST(AddressRules, UnusableAddressGivesMinusOneLeavesTheReplyUntouchedAndSendsNothing)
{
    REQUIRE_PRIVATE_NETWORK();
    const RawSocket watcher;
    for (const char* text : {"IP", "", " ", "1.2.3.4.5", "256.1.1.1", "127.0.0.1x", "1..2",         // not addresses
                             "255.255.255.255", "0xffffffff", "4294967295", "0377.0377.0377.0377",  // all bits set
                             "0.0.0.0", "0", "0x0", "0.0"}) {                                       // no host
        EchoReply reply, before;
        std::memset(static_cast<void*>(&reply), 0xa5, sizeof reply);  // a pattern no exchange would leave
        std::memcpy(&before, &reply, sizeof reply);
        EXPECT_EQ(ExchangeEcho(text, 100, reply), kNoRequestSent) << '"' << text << '"';
        EXPECT_EQ(std::memcmp(&reply, &before, sizeof reply), 0) << '"' << text << '"';
    }
    // A probe that is sent: once its reply is back, the watcher holds every request sent before it.
    EXPECT_EQ(Timed("127.0.0.1", 1000).status, kIpSuccess);
    int requests = 0;
    while (watcher.NextRequest())
        ++requests;
    EXPECT_EQ(requests, 1);
}

// With no room for socket options, the raw socket takes no filter: the probe works, and says the cost once.
TEST(RefusedSocketOption, IsSaidOnceWhileItLastsAndTheProbeStillWorks)
{
    REQUIRE_PRIVATE_NETWORK();
    const std::string optionRoom = testing::ReadBytes("/proc/sys/net/core/optmem_max");
    ASSERT_TRUE(testing::AdmitToPingSockets(false) && WriteSysctl(kIgnoreEcho, "0") &&
                WriteSysctl("net/core/optmem_max", "0"));
    ::testing::internal::CaptureStderr();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Timed("127.0.0.1", 1000).status, kIpSuccess);
    const std::string said = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(WriteSysctl("net/core/optmem_max", optionRoom));
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("vellomar: the raw ICMP socket takes no filter (SO_ATTACH_FILTER)"), std::string::npos) << said;
}

// Runs a shell script as user and group nobody, with only PATH and settings in its environment; gives what it printed
// to standard output and to standard error.
std::pair<std::string, std::string> AsNobody(const std::string& script, const std::string& settings = "")
{
    const testing::TempFolder printed;
    testing::RunCommand("setpriv --reuid=65534 --regid=65534 --clear-groups env -i PATH=/usr/bin:/bin " + settings +
                        " sh -c '" + script + "' >" + (printed / "out").string() + " 2>" + (printed / "err").string());
    return {testing::ReadBytes(printed / "out"), testing::ReadBytes(printed / "err")};
}

// What the script prints for the capability sets of the program it started last.
constexpr char kShowCapabilities[] = "grep -E \"^Cap(Prm|Eff)\" /proc/$!/status";
constexpr char kNoCapabilities[] = "CapPrm:\t0000000000000000\nCapEff:\t0000000000000000\n";
constexpr char kHelper[] = "vellomar-ping";

// A program folder as an installation leaves it, owned by nobody, in the build tree (/tmp may be nosuid, which ignores
// file capabilities), and named with bytes that are not UTF-8, which the programs must keep as the system gave them.
struct ProgramFolder {
    ~ProgramFolder() { std::filesystem::remove_all(path); }

    // Copies program in under name; true when it is there, with cap_net_raw if asked for.
    bool Install(const char* program, const std::string& name, bool withCapNetRaw = false) const
    {
        return ownedByNobody && std::filesystem::copy_file(program, path + "/" + name) &&
               (!withCapNetRaw || testing::RunCommand("setcap cap_net_raw+ep " + (*this / name)));
    }
    // The path of name inside, double-quoted for a shell.
    std::string operator/(const std::string& name) const { return '"' + path + "/" + name + '"'; }

    std::string path = PING_ONCE "-\xff\xfe-XXXXXX";
    const bool ownedByNobody = ::mkdtemp(path.data()) != nullptr && ::chown(path.c_str(), 65534, 65534) == 0;
};

// Nobody pings through a datagram socket where ping_group_range admits the group, a raw one where the process holds
// cap_net_raw, or the helper beside it that holds it; else not at all, and is told why once though ping_once tries
// twice. ping_once prints "<status> <ICMP handle the process may open> <written|untouched>".
TEST(LeastPrivilege, NobodyPingsOnlyThroughThePingGroupAFileCapabilityOrThePingHelper)
{
    REQUIRE_PRIVATE_NETWORK();
    REQUIRE_ROOT();
    ASSERT_TRUE(WriteSysctl(kIgnoreEcho, "0"));
    const ProgramFolder alone, grantedHelper, plainHelper;
    ASSERT_TRUE(alone.Install(PING_ONCE, "ping_once") && alone.Install(PING_ONCE, "ping_once_cap", true));
    ASSERT_TRUE(grantedHelper.Install(PING_ONCE, "ping_once") && grantedHelper.Install(PING_HELPER, kHelper, true));
    ASSERT_TRUE(plainHelper.Install(PING_ONCE, "ping_once") && plainHelper.Install(PING_HELPER, kHelper));

    const struct {
        const char* pingGroups;
        std::string program;
        const char* printed;
        const ProgramFolder* toldToGrant;  // where nothing can ping, the helper the user is told to grant
    } cases[] = {
        {"1 0", alone / "ping_once", "-1 none untouched\n", &alone},
        {"1 0", alone / "ping_once_cap", "0 raw written\n", nullptr},
        {"1 0", grantedHelper / "ping_once", "0 none written\n", nullptr},
        {"1 0", plainHelper / "ping_once", "-1 none untouched\n", &plainHelper},
        {"65534 65534", alone / "ping_once", "0 datagram written\n", nullptr},
        {"65534 65534", alone / "ping_once_cap", "0 datagram written\n", nullptr},  // the capability is left unused
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program + " with ping_group_range " + c.pingGroups);
        ASSERT_TRUE(WriteSysctl(kPingGroups, c.pingGroups));
        const auto [printed, explained] = AsNobody(c.program + " 127.0.0.1");
        EXPECT_EQ(printed, c.printed);
        const std::string grant =
            c.toldToGrant ? "sudo scripts/grant-ping.sh " + c.toldToGrant->path + "/" + kHelper : "";
        EXPECT_EQ(std::count(explained.begin(), explained.end(), '\n'), c.toldToGrant != nullptr) << explained;
        EXPECT_TRUE(explained.ends_with(grant + (c.toldToGrant ? "\n" : ""))) << explained;
    }
}

// Installed as run.sh leaves them where ping_group_range leaves the user out, the helper holds cap_net_raw, and so does
// the monitor, as an older installation gave it. Neither may hold a capability while it runs: the helper waits as long
// as it is told (its answers among impostors are those of the raw socket it uses); the window, pinging through the
// helper a host that never answers, writes a time-out once its own 5 s have passed.
TEST(LeastPrivilege, HelperAndWindowHoldNoCapabilityWhileTheyWorkAndASilentHostTimesOutThroughTheHelper)
{
    REQUIRE_PRIVATE_NETWORK();
    REQUIRE_ROOT();
    ASSERT_TRUE(WriteSysctl(kPingGroups, "1 0") && WriteSysctl(kIgnoreEcho, "1"));
    const ProgramFolder folder;
    ASSERT_TRUE(folder.Install(VELLOMAR, "vellomar", true) && folder.Install(PING_HELPER, kHelper, true));
    const auto start = Clock::now();
    const auto helperPrinted = AsNobody(folder / kHelper + " 127.0.0.1 500 >" + folder / "reply" + " & sleep 0.2; " +
                                        kShowCapabilities + "; wait");
    const auto elapsed = Clock::now() - start;
    const std::string output = testing::ReadBytes(folder.path + "/reply");
    ASSERT_EQ(output.size(), sizeof(EchoReply));
    EchoReply reply;
    std::memcpy(&reply, output.data(), sizeof reply);
    EXPECT_EQ(reply.Status, kIpRequestTimedOut);
    // Its own time-out, not the 5 s default; the margin covers starting a sanitizer build on a busy machine.
    EXPECT_TRUE(elapsed >= 500ms && elapsed < 2000ms);
    EXPECT_EQ(helperPrinted, std::pair(std::string(kNoCapabilities), std::string()));

    // Prints the capabilities, then the log's last record (none within 30 s: a sanitizer build starts slowly).
    testing::WriteBytes(folder.path + "/Vellomar.ini", "Loopback, 127.0.0.1\r\n");
    const auto windowStart = Clock::now();
    const auto [printed, windowErrors] =
        AsNobody(folder / "vellomar" + " & for i in $(seq 600); do sleep 0.05; ls " + folder / "" +
                     "PING_* >/dev/null && break; done; sleep 0.1; " + kShowCapabilities +
                     "; kill $!; wait; tail -n 1 " + folder / "" + "PING_*",
                 "QT_QPA_PLATFORM=offscreen HOME=" + folder / "");
    EXPECT_NE(printed.find(kNoCapabilities), std::string::npos) << printed;
    EXPECT_TRUE(printed.ends_with(",0,-10\r\n")) << printed;
    EXPECT_GE(Clock::now() - windowStart, 5s);  // the monitor's time-out
}

}  // namespace
}  // namespace vellomar

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    vellomar::testing::EnterPrivateNetwork();
    return RUN_ALL_TESTS();
}
