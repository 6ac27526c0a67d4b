// The program's only network code: one ICMP echo exchange per call.
#pragma once

#include <cstdint>
#include <string>

namespace vellomar {

// How an echo exchange ended.
enum class EchoEnd {
    Replied,
    TimedOut,
    NotSent,  // the address is unusable, or no ICMP endpoint could be opened
    NetUnreachable,
    HostUnreachable,
    ProtocolUnreachable,
    PortUnreachable,
    TtlExpiredInTransit,
    TtlExpiredInReassembly,
    ParameterProblem,
    SourceQuench,
    GeneralFailure,
    OtherFailure,  // another status number of the ICMP library
};

struct ProbeResult {
    EchoEnd end = EchoEnd::NotSent;
    // The exchange's status number: 0 for a reply, -1 when nothing was sent,
    // 11010 for a time-out, otherwise the ICMP library's number for the failure.
    int32_t status = -1;
    int32_t roundTripMs = 0;  // as measured; 0 when nothing came back
};

// Starts the socket library; true when it is ready. Linux has none to start.
bool SocketsInitialize();
void SocketsCleanup();

// Sends one echo request carrying "hello" to a dotted IPv4 address and waits at
// most timeoutMs for the matching reply. Where the process may open no ICMP
// socket itself, the exchange goes through the ping helper beside the
// executable, the only part of the program that may hold a privilege.
ProbeResult SendPing(const std::string& address, int32_t timeoutMs);

}  // namespace vellomar
