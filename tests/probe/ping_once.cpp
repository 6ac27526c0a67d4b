// One probe as a program of its own, for the tests that run it as an
// unprivileged user: pings argv[1] and prints the status, the kind of ICMP
// handle the process is granted, and whether the reply record was written.
#include <cstdio>
#include <cstring>

#include "echo_reply.h"
#include "icmp_platform.h"

int main(int argc, char** argv)
{
    using namespace vellomar;
    if (argc != 2)
        return 2;
    const char* granted = "none";
    if (const probe::IcmpHandle handle = probe::IcmpHandle::Open(); handle.IsOpen())
        granted = handle.Kind() == icmp::SocketKind::Datagram ? "datagram" : "raw";
    EchoReply reply, before;
    std::memset(static_cast<void*>(&reply), 0x5a, sizeof reply);
    std::memcpy(&before, &reply, sizeof reply);
    const int status = ExchangeEcho(argv[1], 1000, reply);
    std::printf("%d %s %s\n", status, granted, std::memcmp(&reply, &before, sizeof reply) ? "written" : "untouched");
}
