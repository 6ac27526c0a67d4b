// The real ICMP library of Windows. Run only inside a private network
// namespace (see wine_probe_tests.sh): the loopback answers there unless the
// script has made the namespace ignore echo requests for the SilentHost cases.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstring>
#include <iostream>

#include "socket_stuff.h"
#include "temp_folder.h"

namespace vellomar {
namespace {

using Clock = std::chrono::steady_clock;

int64_t MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(NoRequest, UnusableAddressesGiveMinusOneAndLeaveTheRecordAlone)
{
    ASSERT_TRUE(SocketsInitialize());
    for (const char* address : {"IP", "", "255.255.255.255", "0.0.0.0", "1.2.3.4.5", "1.2.3.x"}) {
        EchoReply reply;
        std::memset(static_cast<void*>(&reply), 0x5A, sizeof reply);
        EchoReply before = reply;
        EXPECT_EQ(SendPing(address, 1000, reply), kNoRequestSent) << address;
        EXPECT_EQ(std::memcmp(&reply, &before, sizeof reply), 0) << address;
    }
    SocketsCleanup();
}

TEST(Loopback, AnswersWithStatusZeroTheTimeTheSenderAndTheData)
{
    ASSERT_TRUE(SocketsInitialize());
    for (const char* address : {"127.0.0.1", "127.1", "0x7f.0.0.1"}) {
        EchoReply reply {};
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(SendPing(address, 5000, reply), kIpSuccess) << address;
        const int64_t elapsed = MillisecondsSince(start);
        std::cout << address << ": RoundTripTime " << reply.RoundTripTime << " ms, the call " << elapsed << " ms\n";
        EXPECT_EQ(reply.Status, kIpSuccess);
        EXPECT_GE(reply.RoundTripTime, 0);
        EXPECT_LE(reply.RoundTripTime, elapsed + 1);
        EXPECT_EQ(reply.Address, 0x0100007Fu) << "127.0.0.1 in network byte order";
        EXPECT_EQ(reply.DataSize, 5);
        EXPECT_EQ(std::string(reply.ReplyData, 5), "hello");
    }
    SocketsCleanup();
}

TEST(Loopback, EveryExchangeClosesItsHandle)
{
    ASSERT_TRUE(SocketsInitialize());
    EchoReply reply {};
    SendPing("127.0.0.1", 5000, reply);
    const int before = testing::OpenHandleCount();
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(SendPing("127.0.0.1", 5000, reply), kIpSuccess);
    EXPECT_EQ(testing::OpenHandleCount(), before);
    SocketsCleanup();
}

TEST(SilentHost, TimesOutWith11010AfterTheTimeOut)
{
    ASSERT_TRUE(SocketsInitialize());
    for (int32_t timeoutMs : {1000, 5000}) {
        EchoReply reply {};
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(SendPing("127.0.0.1", timeoutMs, reply), kIpRequestTimedOut);
        const int64_t elapsed = MillisecondsSince(start);
        std::cout << "time-out " << timeoutMs << " ms: returned after " << elapsed << " ms\n";
        EXPECT_EQ(reply.Status, kIpRequestTimedOut);
        EXPECT_GE(elapsed, timeoutMs - 50);
        EXPECT_LE(elapsed, timeoutMs + 1000);
    }
    SocketsCleanup();
}

}  // namespace
}  // namespace vellomar
