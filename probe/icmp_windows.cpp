// Windows echo: the system's own ICMP library, one handle per exchange.
#include "icmp_platform.h"

// winsock2.h must come before windows.h, and both before the ICMP headers.
#include <winsock2.h>

#include <windows.h>

#include <iphlpapi.h>

#include <icmpapi.h>

#include <algorithm>

#include "diagnostics.h"
#include "echo_reply.h"

namespace vellomar::probe {

namespace {

constexpr WORD kSocketsVersion = 0x0101;  // 1.1
// Room behind the reply record for the echoed data and for the 8 bytes of an
// ICMP error message, which the library documents as needed.
constexpr size_t kReplyBufferSize = sizeof(ICMP_ECHO_REPLY) + sizeof EchoReply::ReplyData + 8;

// What the library's 64-bit record says, for the program's own.
EchoOutcome OutcomeIn(const ICMP_ECHO_REPLY& from)
{
    return {from.Address,
            static_cast<int32_t>(from.Status),
            static_cast<int32_t>(from.RoundTripTime),
            from.Options.Ttl,
            from.Options.Tos,
            from.Options.Flags,
            from.Options.OptionsSize,
            from.Data,
            from.DataSize};
}

}  // namespace

bool StartSocketLibrary()
{
    WSADATA information {};
    return ::WSAStartup(kSocketsVersion, &information) == 0;
}

void ReleaseSocketLibrary()
{
    ::WSACleanup();
}

uint32_t InetAddr(const char* text)
{
    return ::inet_addr(text);
}

// The ICMP library pings for any user: there is no helper to ask.
bool SendEchoThroughHelper(uint32_t, int32_t, EchoReply&)
{
    return false;
}

IcmpHandle IcmpHandle::Open()
{
    static platform::RecurringProblem noHandle;
    HANDLE handle = ::IcmpCreateFile();
    if (handle == INVALID_HANDLE_VALUE)
        noHandle.Report("cannot open the ICMP library (" + platform::LastErrorText() +
                        "), so no ping is sent and every record gets the status -1");
    else
        noHandle.Clear();
    return IcmpHandle(handle, icmp::SocketKind::Raw);
}

bool IcmpFileKind::Close(void* handle)
{
    return ::IcmpCloseHandle(handle) != 0;
}

void IcmpHandle::SendEcho(uint32_t destination, const uint8_t* payload, size_t payloadSize, int32_t timeoutMs,
                          EchoReply& reply) const
{
    alignas(ICMP_ECHO_REPLY) unsigned char buffer[kReplyBufferSize] = {};
    auto* answer = reinterpret_cast<ICMP_ECHO_REPLY*>(buffer);
    const DWORD replies =
        ::IcmpSendEcho(endpoint_.Get(), destination, const_cast<uint8_t*>(payload), static_cast<WORD>(payloadSize),
                       nullptr, buffer, sizeof buffer, static_cast<DWORD>(std::max(timeoutMs, 0)));
    // Without a reply the library may leave the record as it was, all zeros,
    // which would read as success: its status then comes from the last error.
    if (replies == 0 && answer->Status == IP_SUCCESS) {
        const DWORD error = ::GetLastError();
        answer->Status = error >= IP_STATUS_BASE ? error : IP_GENERAL_FAILURE;
    }
    RecordEchoOutcome(OutcomeIn(*answer), reply);
}

}  // namespace vellomar::probe
