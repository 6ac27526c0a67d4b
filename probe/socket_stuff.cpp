#include "socket_stuff.h"

#include "icmp_platform.h"

namespace vellomar {

namespace {

// inet_addr gives all bits set for a text that is no address, which is also
// what 255.255.255.255 converts to; 0.0.0.0 names no host either.
bool IsUsableAddress(uint32_t address)
{
    return address != platform::kAddressNone && address != platform::kAddressAny;
}

}  // namespace

bool SocketsInitialize()
{
    return platform::StartSocketLibrary();
}

void SocketsCleanup()
{
    platform::ReleaseSocketLibrary();
}

int32_t SendPing(std::string address, int32_t timeoutMs, EchoReply& reply)
{
    const uint32_t destination = platform::InetAddr(address.c_str());
    if (!IsUsableAddress(destination))
        return kNoRequestSent;

    const platform::IcmpHandle handle = platform::IcmpHandle::Open();
    if (handle.IsOpen())
        handle.SendEcho(destination, platform::kEchoPayload, sizeof platform::kEchoPayload, timeoutMs, reply);
    else if (!platform::SendEchoThroughHelper(destination, timeoutMs, reply))
        return kNoRequestSent;
    return reply.Status;
}

}  // namespace vellomar
