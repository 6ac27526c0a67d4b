// The real ICMP library of Windows. Run only inside a private network
// namespace (see wine_probe_tests.sh): the loopback answers there unless the
// script has made the namespace ignore echo requests for the SilentHost cases.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstring>

#include "echo_reply.h"
#include "temp_folder.h"

namespace vellomar {
namespace {

using Clock = std::chrono::steady_clock;

int64_t MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class Loopback : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SocketsInitialize()); }
    void TearDown() override { SocketsCleanup(); }
};
using SilentHost = Loopback;

// Unusable addresses leave the record alone; every form of the address is answered, with the sender, the time and
// the data; and two hundred exchanges in a row leave no handle open.
TEST_F(Loopback, RefusesUnusableAddressesAnswersEveryFormOfTheAddressAndClosesEveryHandle)
{
    for (const char* address : {"IP", "", "255.255.255.255", "0.0.0.0", "1.2.3.4.5", "1.2.3.x"}) {
        EchoReply reply;
        std::memset(static_cast<void*>(&reply), 0x5A, sizeof reply);
        const EchoReply before = reply;
        EXPECT_EQ(ExchangeEcho(address, 1000, reply), kNoRequestSent) << address;
        EXPECT_EQ(std::memcmp(&reply, &before, sizeof reply), 0) << address;
    }
    EchoReply reply {};
    ExchangeEcho("127.0.0.1", 5000, reply);  // loads what the first exchange needs before the handles are counted
    const int handlesBefore = testing::OpenHandleCount();
    for (int i = 0; i < 200; ++i) {
        const char* address = i % 3 == 0 ? "127.0.0.1" : i % 3 == 1 ? "127.1" : "0x7f.0.0.1";
        const Clock::time_point start = Clock::now();
        reply = {};
        ASSERT_EQ(ExchangeEcho(address, 5000, reply), kIpSuccess) << address;
        EXPECT_LE(reply.RoundTripTime, MillisecondsSince(start) + 1);
        EXPECT_GE(reply.RoundTripTime, 0);
        EXPECT_EQ(reply.Address, 0x0100007Fu) << "127.0.0.1 in network byte order";
        ASSERT_EQ(std::string(reply.ReplyData, reply.DataSize), "hello");
    }
    EXPECT_EQ(testing::OpenHandleCount(), handlesBefore);
}

TEST_F(SilentHost, TimesOutWith11010AfterTheTimeOut)
{
    for (int32_t timeoutMs : {1000, 5000}) {
        EchoReply reply {};
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(ExchangeEcho("127.0.0.1", timeoutMs, reply), kIpRequestTimedOut);
        const int64_t elapsed = MillisecondsSince(start);
        EXPECT_EQ(reply.Status, kIpRequestTimedOut);
        EXPECT_GE(elapsed, timeoutMs - 50);
        EXPECT_LE(elapsed, timeoutMs + 1000);
    }
}

}  // namespace
}  // namespace vellomar
