// The program's only network code: one ICMP echo exchange per call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vellomar {

// Option information of a reply, as the platform reports it.
struct IpOptionInformation {
    uint8_t Ttl = 0;
    uint8_t Tos = 0;
    uint8_t Flags = 0;
    uint8_t OptionsSize = 0;
    uint32_t OptionsData = 0;
};

// The reply record of one echo exchange. Address, Status and RoundTripTime are
// its first three 32-bit words; ReplyData holds whatever echoed data fits.
struct EchoReply {
    uint32_t Address = 0;       // who answered, network byte order
    int32_t Status = 0;         // 0 for an echo reply, otherwise an IP status number
    int32_t RoundTripTime = 0;  // milliseconds
    uint16_t DataSize = 0;
    uint16_t Reserved = 0;
    uint32_t Data = 0;
    IpOptionInformation Options;
    char ReplyData[250] = {};
};

// Same layout as the platform's echo-reply record, so the 280-byte reply
// buffer is exactly this record.
static_assert(offsetof(EchoReply, Address) == 0);
static_assert(offsetof(EchoReply, Status) == 4);
static_assert(offsetof(EchoReply, RoundTripTime) == 8);
static_assert(offsetof(EchoReply, DataSize) == 12);
static_assert(offsetof(EchoReply, Data) == 16);
static_assert(offsetof(EchoReply, Options) == 20);
static_assert(offsetof(EchoReply, ReplyData) == 28);
static_assert(sizeof(EchoReply) == 280);

// Status numbers, as the ICMP library of the program's first home published them.
inline constexpr int32_t kNoRequestSent = -1;
inline constexpr int32_t kIpSuccess = 0;
inline constexpr int32_t kIpDestNetUnreachable = 11002;
inline constexpr int32_t kIpDestHostUnreachable = 11003;
inline constexpr int32_t kIpDestProtocolUnreachable = 11004;
inline constexpr int32_t kIpDestPortUnreachable = 11005;
inline constexpr int32_t kIpRequestTimedOut = 11010;
inline constexpr int32_t kIpTtlExpiredTransit = 11013;
inline constexpr int32_t kIpTtlExpiredReassembly = 11014;
inline constexpr int32_t kIpParameterProblem = 11015;
inline constexpr int32_t kIpSourceQuench = 11016;
inline constexpr int32_t kIpGeneralFailure = 11050;

// Starts the socket library; true when it is ready. Linux has none to start.
bool SocketsInitialize();
void SocketsCleanup();

// Sends one echo request carrying "hello" to a dotted IPv4 address and waits at
// most timeoutMs for the matching reply. Where the process may open no ICMP
// socket itself, the exchange goes through the ping helper beside the
// executable, the only part of the program that may hold a privilege. Returns
// kNoRequestSent when the address is unusable or no ICMP socket can be opened
// either way (reply then untouched), otherwise the Status the exchange left in
// reply.
int32_t SendPing(std::string address, int32_t timeoutMs, EchoReply& reply);

}  // namespace vellomar
