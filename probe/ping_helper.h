// The ping helper: a small program beside the executable that carries out one
// echo exchange for a process that may not open an ICMP socket itself. It is
// the only part of the program that may be given the capability cap_net_raw;
// it opens its socket, gives every privilege up, and only then reads its
// arguments.
//
//   vellomar-ping DESTINATION TIMEOUT_MS
//
// DESTINATION is a dotted quad. On success it writes the EchoReply of the
// exchange to its standard output and exits with 0.
#pragma once

namespace vellomar::probe::ping_helper {

inline constexpr char kProgramName[] = "vellomar-ping";

inline constexpr int kExitExchanged = 0;
inline constexpr int kExitFailed = 1;  // after the request may have gone out
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoRequestSent = 3;

}  // namespace vellomar::probe::ping_helper
