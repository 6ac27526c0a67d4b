// Windows next hop: the IP Helper library's best route to the destination.
#include "route_platform.h"

// winsock2.h must come before windows.h, and both before the IP Helper headers.
#include <winsock2.h>

#include <windows.h>

#include <ws2ipdef.h>

#include <iphlpapi.h>

#include <netioapi.h>

#include <optional>

#include "icmp_platform.h"

namespace vellomar::probe {

namespace {

// How the library says that no route leads to the destination.
bool MeansNoUsableRoute(DWORD error)
{
    return error == ERROR_NETWORK_UNREACHABLE || error == ERROR_HOST_UNREACHABLE || error == ERROR_NOT_FOUND;
}

platform::Outcome<uint32_t> FailedWith(DWORD error)
{
    ::SetLastError(error);  // the library gives its error back rather than leaving it there
    return platform::SystemFailure("find the next hop");
}

// What the current interface gives; none where it is not carried out (wine).
std::optional<platform::Outcome<uint32_t>> BestRouteGateway(uint32_t destination)
{
    SOCKADDR_INET to {};
    to.Ipv4.sin_family = AF_INET;
    to.Ipv4.sin_addr.s_addr = destination;
    MIB_IPFORWARD_ROW2 route {};
    SOCKADDR_INET source {};
    const DWORD error = ::GetBestRoute2(nullptr, 0, nullptr, &to, 0, &route, &source);
    if (error == ERROR_NOT_SUPPORTED)
        return std::nullopt;
    if (error == NO_ERROR)
        return route.NextHop.Ipv4.sin_addr.s_addr;  // 0.0.0.0 for a route to the local link
    return MeansNoUsableRoute(error) ? kAddressAny : FailedWith(error);
}

// The older interface, whose routes to the local link name this computer's own
// address on it as their next hop. Wine's table, read from the system's main
// one, holds no loopback routes, which never lead through a gateway anywhere.
platform::Outcome<uint32_t> OlderBestRouteGateway(uint32_t destination)
{
    constexpr uint8_t kLoopbackNetwork = 127;
    if (reinterpret_cast<const uint8_t*>(&destination)[0] == kLoopbackNetwork)
        return kAddressAny;
    MIB_IPFORWARDROW route {};
    const DWORD error = ::GetBestRoute(destination, 0, &route);
    if (error == NO_ERROR)
        return route.dwForwardType == MIB_IPROUTE_TYPE_INDIRECT ? route.dwForwardNextHop : kAddressAny;
    return MeansNoUsableRoute(error) ? kAddressAny : FailedWith(error);
}

}  // namespace

platform::Outcome<uint32_t> GatewayToward(uint32_t destination)
{
    if (std::optional<platform::Outcome<uint32_t>> gateway = BestRouteGateway(destination))
        return std::move(*gateway);
    return OlderBestRouteGateway(destination);
}

}  // namespace vellomar::probe
