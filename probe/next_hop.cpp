#include "next_hop.h"

#include <string>

#include "icmp_platform.h"
#include "route_platform.h"

namespace vellomar::probe {

namespace {

std::string DottedText(uint32_t address)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(&address);  // network byte order: first byte first
    return std::to_string(bytes[0]) + '.' + std::to_string(bytes[1]) + '.' + std::to_string(bytes[2]) + '.' +
           std::to_string(bytes[3]);
}

}  // namespace

platform::Outcome<std::string> NextHopToward(const std::string& address)
{
    const uint32_t destination = InetAddr(address.c_str());
    if (!IsUsableAddress(destination))
        return std::string();
    platform::Outcome<uint32_t> gateway = GatewayToward(destination);
    if (!gateway)
        return platform::Failure {gateway.Reason()};
    return *gateway == kAddressAny ? std::string() : DottedText(*gateway);
}

}  // namespace vellomar::probe
