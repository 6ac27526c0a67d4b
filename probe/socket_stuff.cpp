#include "socket_stuff.h"

#include <arpa/inet.h>

#include "icmp_platform.h"

namespace vellomar {

namespace {

// inet_addr gives all bits set for a text that is no address, which is also
// what 255.255.255.255 converts to; 0.0.0.0 names no host either.
bool IsUsableAddress(in_addr_t address)
{
    return address != INADDR_NONE && address != INADDR_ANY;
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
    const in_addr_t destination = ::inet_addr(address.c_str());
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
