#include "socket_stuff.h"

#include "echo_reply.h"
#include "icmp_platform.h"

namespace vellomar {

bool SocketsInitialize()
{
    return probe::StartSocketLibrary();
}

void SocketsCleanup()
{
    probe::ReleaseSocketLibrary();
}

EchoEnd EchoEndOf(int32_t status)
{
    switch (status) {
    case kIpSuccess:
        return EchoEnd::Replied;
    case kIpRequestTimedOut:
        return EchoEnd::TimedOut;
    case kNoRequestSent:
        return EchoEnd::NotSent;
    case kIpDestNetUnreachable:
        return EchoEnd::NetUnreachable;
    case kIpDestHostUnreachable:
        return EchoEnd::HostUnreachable;
    case kIpDestProtocolUnreachable:
        return EchoEnd::ProtocolUnreachable;
    case kIpDestPortUnreachable:
        return EchoEnd::PortUnreachable;
    case kIpTtlExpiredTransit:
        return EchoEnd::TtlExpiredInTransit;
    case kIpTtlExpiredReassembly:
        return EchoEnd::TtlExpiredInReassembly;
    case kIpParameterProblem:
        return EchoEnd::ParameterProblem;
    case kIpSourceQuench:
        return EchoEnd::SourceQuench;
    case kIpGeneralFailure:
        return EchoEnd::GeneralFailure;
    default:
        return EchoEnd::OtherFailure;
    }
}

int32_t ExchangeEcho(const std::string& address, int32_t timeoutMs, EchoReply& reply)
{
    const uint32_t destination = probe::InetAddr(address.c_str());
    if (!probe::IsUsableAddress(destination))
        return kNoRequestSent;

    const probe::IcmpHandle handle = probe::IcmpHandle::Open();
    if (handle.IsOpen())
        handle.SendEcho(destination, probe::kEchoPayload, sizeof probe::kEchoPayload, timeoutMs, reply);
    else if (!probe::SendEchoThroughHelper(destination, timeoutMs, reply))
        return kNoRequestSent;
    return reply.Status;
}

ProbeResult SendPing(const std::string& address, int32_t timeoutMs)
{
    EchoReply reply {};  // zero-filled for every exchange
    const int32_t status = ExchangeEcho(address, timeoutMs, reply);
    return {EchoEndOf(status), status, reply.RoundTripTime};
}

}  // namespace vellomar
