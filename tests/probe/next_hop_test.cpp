// The next hop as the routing table of the test's own network namespace gives it, with the routes that
// next_hop_routes.sh makes there: on Linux the test runs it, under wine the script that starts the test.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "next_hop.h"
#include "temp_folder.h"

#ifndef _WIN32
#include <sys/resource.h>

#include "private_network.h"
#endif

namespace vellomar::probe {
namespace {

using Clock = std::chrono::steady_clock;

struct Case {
    const char* destination;
    const char* nextHop;  // empty: none
};

// What the gateway of the default route is: under wine the script moves it between runs and says where.
std::string DefaultGateway()
{
    const char* moved = std::getenv("NEXT_HOP_DEFAULT_GATEWAY");
    return moved != nullptr ? moved : "192.0.2.254";
}

// Every case many times over, in well under a second each: right every time, and no handle left open.
void ExpectNextHops(const std::vector<Case>& cases)
{
    const int before = testing::OpenHandleCount();
    for (int round = 0; round < 50; ++round) {
        for (const Case& c : cases) {
            const Clock::time_point start = Clock::now();
            const platform::Outcome<std::string> hop = NextHopToward(c.destination);
            ASSERT_TRUE(hop) << c.destination << ": " << hop.Reason();
            ASSERT_EQ(*hop, c.nextHop) << c.destination;
            EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(100)) << c.destination;
        }
    }
    EXPECT_EQ(testing::OpenHandleCount(), before);
}

class NextHop : public ::testing::Test {
protected:
    void SetUp() override
    {
#ifndef _WIN32
        REQUIRE_PRIVATE_NETWORK();
        ASSERT_TRUE(testing::RunCommand("sh " NEXT_HOP_ROUTES));
#endif
    }
};

TEST_F(NextHop, IsTheGatewayOfTheBestRouteAndNoneForTheLocalLinkThisComputerAndUnusableAddresses)
{
    const std::string defaultGateway = DefaultGateway();
    ExpectNextHops({
        {"198.51.100.7", "192.0.2.253"},            // behind a gateway, by a route more specific than the default
        {"203.0.113.200", defaultGateway.c_str()},  // by the default route
        {"192.0.2.77", ""},                         // on the local link
        {"192.0.2.255", ""},                        // its broadcast address
        {"192.0.2.1", ""},                          // this computer's own address
        {"127.0.0.1", ""},                          // loopback
        {"127.1", ""},
        {"IP", ""},  // no address
        {"0.0.0.0", ""},
        {"255.255.255.255", ""},
    });
}

#ifndef _WIN32
// Routes that wine's table does not hold or weighs wrongly: any prefix length that is no whole number of bytes, and
// routes that lead nowhere, which name no interface.
TEST_F(NextHop, IsTheLongestPrefixsGatewayAndNoneWhereTheRouteRefusesOrDropsPackets)
{
    ExpectNextHops({
        {"198.51.100.200", "192.0.2.252"},  // a /25 inside the /24
        {"203.0.113.1", ""},                // unreachable
        {"203.0.113.65", ""},               // black hole
        {"203.0.113.129", ""},              // prohibited
    });
}

// Each lookup asks the table as it stands: a route change shows at once as a new address.
TEST_F(NextHop, FollowsTheRoutingTableAsItChanges)
{
    const std::pair<const char*, const char*> changes[] = {
        {"ip route replace default via 192.0.2.251", "192.0.2.251"},
        {"ip route add 203.0.113.192/26 via 192.0.2.250", "192.0.2.250"},
        {"ip route del 203.0.113.192/26", "192.0.2.251"},
        {"ip route del default", ""},  // no route at all
        {"ip route add 203.0.113.192/26 dev nh0", ""},
    };
    for (const auto& [change, nextHop] : changes) {
        ASSERT_TRUE(testing::RunCommand(change));
        ExpectNextHops({{"203.0.113.200", nextHop}});
    }
}

// Where the lookup cannot be made, it says why rather than giving none.
TEST_F(NextHop, SaysWhyWhenTheLookupCannotBeMade)
{
    rlimit files;
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &files), 0);
    const rlimit none {0, files.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &none), 0);
    const platform::Outcome<std::string> hop = NextHopToward("198.51.100.7");
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &files), 0);
    EXPECT_EQ(hop.Reason(), "find the next hop: open a netlink route socket: Too many open files (errno 24)");
}
#endif

}  // namespace
}  // namespace vellomar::probe

#ifndef _WIN32
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    vellomar::testing::EnterPrivateNetwork();
    return RUN_ALL_TESTS();
}
#endif
