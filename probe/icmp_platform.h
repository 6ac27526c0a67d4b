// What each platform provides for the echo probe: its socket library, if it
// has one, and an ICMP endpoint that carries one echo exchange. One source file
// per platform implements this header.
#pragma once

#include <cstddef>
#include <cstdint>

#include "echo_reply.h"
#include "icmp_decode.h"
#include "owned.h"

namespace vellomar::probe {

// What every echo request carries: "hello", without a terminating zero.
inline constexpr uint8_t kEchoPayload[] = {'h', 'e', 'l', 'l', 'o'};

bool StartSocketLibrary();
void ReleaseSocketLibrary();

// One echo exchange carried out by the privileged helper program beside the
// executable, for a process that may open no ICMP endpoint itself. False, with
// reply untouched, when no request was sent (no helper, or the helper may not
// open an endpoint either); otherwise the outcome is in reply.
bool SendEchoThroughHelper(uint32_t destination, int32_t timeoutMs, EchoReply& reply);

// What inet_addr gives for a text that is not an address (and for
// 255.255.255.255), and for 0.0.0.0.
inline constexpr uint32_t kAddressNone = 0xFFFFFFFF;
inline constexpr uint32_t kAddressAny = 0;

// The platform's inet_addr: dotted text to an IPv4 address in network byte order.
uint32_t InetAddr(const char* text);

// inet_addr gives all bits set for a text that is no address, which is also
// what 255.255.255.255 converts to; 0.0.0.0 names no host either.
inline bool IsUsableAddress(uint32_t address)
{
    return address != kAddressNone && address != kAddressAny;
}

#ifdef _WIN32
// What IcmpCreateFile gives, closed with IcmpCloseHandle.
struct IcmpFileKind : platform::HandleKind {
    static bool Close(void* handle);
};
using IcmpEndpoint = platform::Owned<IcmpFileKind>;
#else
using IcmpEndpoint = platform::OwnedDescriptor;  // an ICMP socket
#endif

// An ICMP endpoint for a single echo exchange, closed when it goes out of scope.
class IcmpHandle {
public:
    // Opens the least privileged endpoint the system grants; IsOpen() tells
    // whether there was any. Why there was none is said once, not every cycle.
    static IcmpHandle Open();

    bool IsOpen() const { return endpoint_.IsOpen(); }
    icmp::SocketKind Kind() const { return kind_; }

    // Sends one echo request carrying payload to destination (network byte
    // order), waits at most timeoutMs in all for its answer and leaves the
    // outcome in reply: Status always, the rest where known.
    void SendEcho(uint32_t destination, const uint8_t* payload, size_t payloadSize, int32_t timeoutMs,
                  EchoReply& reply) const;

private:
    IcmpHandle(IcmpEndpoint::Native native, icmp::SocketKind kind) : endpoint_(native), kind_(kind) {}

    IcmpEndpoint endpoint_;
    icmp::SocketKind kind_ = icmp::SocketKind::Raw;
};

}  // namespace vellomar::probe
