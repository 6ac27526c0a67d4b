// A network namespace of the test process's own, so that every packet the
// probe tests send stays on a loopback nobody else can see.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace vellomar::testing {

struct PrivateNetwork {
    bool ready = false;
    std::string whyNot;
};

// Moves the process into a fresh network namespace with only loopback up.
// Call from main() before any thread starts.
void EnterPrivateNetwork();
const PrivateNetwork& PrivateNetworkState();

// Writes value to /proc/sys/<name> of the namespace, e.g. "net/ipv4/ping_group_range".
bool WriteSysctl(const std::string& name, const std::string& value);

// Runs "ip <arguments>" in the namespace; true when it succeeded.
bool RunIp(const std::string& arguments);

}  // namespace vellomar::testing

// Without a private namespace (not root) a test that sends packets is skipped,
// except under CI, which runs as root: there the missing namespace is a failure.
#define REQUIRE_PRIVATE_NETWORK()                                                      \
    do {                                                                               \
        const auto& privateNetwork = ::vellomar::testing::PrivateNetworkState();      \
        if (!privateNetwork.ready) {                                                   \
            if (std::getenv("CI") != nullptr)                                          \
                FAIL() << "CI is set, yet " << privateNetwork.whyNot;                  \
            GTEST_SKIP() << privateNetwork.whyNot;                                     \
        }                                                                              \
    } while (false)
