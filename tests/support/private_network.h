// A network namespace of the test process's own, so that every packet the
// tests send stays on a loopback nobody else can see.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace vellomar::testing {

// Moves the process into a fresh network namespace with only loopback up; call before any thread starts.
void EnterPrivateNetwork();
// Why the process is not in a namespace of its own; empty when it is.
const std::string& WhyNoPrivateNetwork();

// Writes value to /proc/sys/<name> of the namespace, e.g. "net/ipv4/ping_group_range".
bool WriteSysctl(const std::string& name, const std::string& value);
// Runs a shell command; true when it exited with 0.
bool RunCommand(const std::string& command);

}  // namespace vellomar::testing

// Without a namespace of its own (not root) a test that needs one is skipped,
// except under CI, which runs as root: there the missing namespace is a failure.
#define REQUIRE_NAMESPACE(whyNotText)                                                                                  \
    if (const std::string& whyNot = (whyNotText); whyNot.empty()) {                                                    \
    } else if (std::getenv("CI") != nullptr)                                                                           \
        FAIL() << "CI is set, yet " << whyNot;                                                                         \
    else                                                                                                               \
        GTEST_SKIP() << whyNot
#define REQUIRE_PRIVATE_NETWORK() REQUIRE_NAMESPACE(::vellomar::testing::WhyNoPrivateNetwork())
