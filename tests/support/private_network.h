// A network namespace of the test process's own (an ordinary user's inside a user namespace of its own), so that
// every packet the tests send stays on a loopback nobody else can see.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace vellomar::testing {

// Makes an ordinary user root of a user namespace of its own, once; says why it could not (empty for root).
const std::string& EnterOwnUserNamespace();
// Whether the process was started by root, whatever namespace it is in now.
inline const bool kStartedAsRoot = ::geteuid() == 0;
// Moves the process into a fresh network namespace with only loopback up; call before any thread starts.
void EnterPrivateNetwork();
// Why the process is not in a namespace of its own; empty when it is.
const std::string& WhyNoPrivateNetwork();

// Writes value to /proc/sys/<name> of the namespace, e.g. "net/ipv4/ping_group_range".
bool WriteSysctl(const std::string& name, const std::string& value);
// Lets the process's group open ICMP datagram sockets, or leaves ping sockets to no group.
bool AdmitToPingSockets(bool admitted);
// Runs a shell command; true when it exited with 0.
bool RunCommand(const std::string& command);

}  // namespace vellomar::testing

// A test without the namespace it needs, or without root to run programs as nobody (a user namespace of one user has
// no nobody), is skipped; under CI, which runs as root, that is a failure.
#define REQUIRE_NAMESPACE(whyNotText)                                                                                  \
    if (const std::string& whyNot = (whyNotText); whyNot.empty()) {                                                    \
    } else if (std::getenv("CI") != nullptr)                                                                           \
        FAIL() << "CI is set, yet " << whyNot;                                                                         \
    else                                                                                                               \
        GTEST_SKIP() << whyNot
#define REQUIRE_PRIVATE_NETWORK() REQUIRE_NAMESPACE(::vellomar::testing::WhyNoPrivateNetwork())
#define REQUIRE_ROOT() REQUIRE_NAMESPACE(::vellomar::testing::kStartedAsRoot ? "" : "needs root to run as nobody")
