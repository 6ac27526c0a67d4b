// The reply record of one echo exchange in the platform's own layout, which the
// ICMP library fills and the ping helper writes raw to its output, the status
// numbers found in it, and the one way an exchange's outcome enters it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "socket_stuff.h"

namespace vellomar {

// Option information of a reply, as the platform reports it.
struct IpOptionInformation {
    uint8_t Ttl = 0;
    uint8_t Tos = 0;
    uint8_t Flags = 0;
    uint8_t OptionsSize = 0;
    uint32_t OptionsData = 0;
};

// Address, Status and RoundTripTime are its first three 32-bit words;
// ReplyData holds whatever echoed data fits.
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

// How an exchange that left status ended.
EchoEnd EchoEndOf(int32_t status);

// SendPing with the whole reply record: kNoRequestSent when no request was
// sent (reply then untouched), otherwise the Status the exchange left in reply.
int32_t ExchangeEcho(const std::string& address, int32_t timeoutMs, EchoReply& reply);

// What one echo exchange learnt, whichever way it went (the system's own
// socket, the ping helper, the ICMP library).
struct EchoOutcome {
    uint32_t address = 0;  // who answered, network byte order; 0 when nobody did
    int32_t status = kIpRequestTimedOut;
    int32_t roundTripTime = 0;
    uint8_t ttl = 0;
    uint8_t tos = 0;
    uint8_t flags = 0;
    uint8_t optionsSize = 0;
    const void* data = nullptr;  // the echoed data, dataSize bytes
    size_t dataSize = 0;
};

// Writes every field the exchange knows into reply, and as much of the echoed
// data as ReplyData holds; DataSize counts what was kept. The rest of
// ReplyData, Reserved, Data and OptionsData stay as the caller gave them.
void RecordEchoOutcome(const EchoOutcome& outcome, EchoReply& reply);

}  // namespace vellomar
