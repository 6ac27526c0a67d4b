// vellomar-ping: one echo exchange on behalf of the monitor (see ping_helper.h).
#include <arpa/inet.h>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

#include "files.h"
#include "icmp_platform.h"
#include "ping_helper.h"
#include "privileges.h"

namespace {

using namespace vellomar;
namespace helper = probe::ping_helper;

std::optional<uint32_t> ParseDestination(const char* text)
{
    in_addr address {};
    if (::inet_pton(AF_INET, text, &address) != 1 || address.s_addr == INADDR_ANY || address.s_addr == INADDR_NONE)
        return std::nullopt;
    return address.s_addr;
}

std::optional<int32_t> ParseTimeout(std::string_view text)
{
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

}  // namespace

int main(int argc, char** argv)
{
    // The socket is opened while the privilege is there; nothing else runs
    // before every privilege is given up, not even the reading of arguments.
    const probe::IcmpHandle handle = probe::IcmpHandle::Open();
    if (!platform::DropPrivileges()) {
        std::fprintf(stderr, "%s: could not give up its privileges; no request sent\n", helper::kProgramName);
        return helper::kExitNoRequestSent;
    }

    const std::optional<uint32_t> destination = argc == 3 ? ParseDestination(argv[1]) : std::nullopt;
    const std::optional<int32_t> timeoutMs = argc == 3 ? ParseTimeout(argv[2]) : std::nullopt;
    if (!destination || !timeoutMs) {
        std::fprintf(stderr, "usage: %s DESTINATION TIMEOUT_MS\n", helper::kProgramName);
        return helper::kExitUsage;
    }
    if (!handle.IsOpen())
        return helper::kExitNoRequestSent;

    EchoReply reply;
    handle.SendEcho(*destination, probe::kEchoPayload, sizeof probe::kEchoPayload, *timeoutMs, reply);
    auto output = platform::File::StandardOutput();
    const bool written =
        output && output->WriteAll(std::string_view(reinterpret_cast<const char*>(&reply), sizeof reply));
    return written ? helper::kExitExchanged : helper::kExitFailed;
}
