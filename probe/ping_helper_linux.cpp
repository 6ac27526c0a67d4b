// Running the ping helper for a process that may not open an ICMP socket.
#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <filesystem>
#include <string>
#include <system_error>

#include "diagnostics.h"
#include "echo_reply.h"
#include "files.h"
#include "icmp_platform.h"
#include "owned.h"
#include "ping_helper.h"

namespace vellomar::probe {

namespace {

using Clock = std::chrono::steady_clock;

// Time the helper gets beyond the exchange's own time-out to start and report.
constexpr auto kHelperGrace = std::chrono::seconds(2);

std::filesystem::path HelperBesideExecutable()
{
    return platform::ProgramFolder() / ping_helper::kProgramName;
}

struct Pipe {
    Pipe()
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) == 0)
            readEnd = platform::OwnedDescriptor(fds[0]), writeEnd = platform::OwnedDescriptor(fds[1]);
    }
    platform::OwnedDescriptor readEnd, writeEnd;
};

// Reads exactly size bytes before the deadline; false on a short read.
bool ReadAll(int fd, void* data, size_t size, Clock::time_point deadline)
{
    auto* bytes = static_cast<uint8_t*>(data);
    while (size > 0) {
        const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (remaining <= 0)
            return false;
        pollfd p {fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(std::min<decltype(remaining)>(remaining, INT_MAX)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        const ssize_t n = ::read(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

int ExitCodeOf(pid_t child)
{
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool Spawn(const std::filesystem::path& helper, uint32_t destination, int32_t timeoutMs, int output, pid_t& child)
{
    char address[INET_ADDRSTRLEN] = {};
    const in_addr to {destination};
    ::inet_ntop(AF_INET, &to, address, sizeof address);
    std::string program = helper.string(), timeout = std::to_string(timeoutMs);
    char* argv[] = {program.data(), address, timeout.data(), nullptr};
    char* envp[] = {nullptr};  // the helper needs no environment, and gets none

    posix_spawn_file_actions_t actions;
    if (::posix_spawn_file_actions_init(&actions) != 0)
        return false;
    bool spawned = ::posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO) == 0 &&
                   ::posix_spawn(&child, program.c_str(), &actions, nullptr, argv, envp) == 0;
    ::posix_spawn_file_actions_destroy(&actions);
    return spawned;
}

// What the helper's record says; its DataSize is not trusted to fit.
EchoOutcome OutcomeIn(const EchoReply& helper)
{
    return {helper.Address,     helper.Status,        helper.RoundTripTime,       helper.Options.Ttl,
            helper.Options.Tos, helper.Options.Flags, helper.Options.OptionsSize, helper.ReplyData,
            helper.DataSize};
}

}  // namespace

// Says, once while it lasts, that no ping can be sent at all, and what to do.
void ExplainNoEcho(const std::filesystem::path& helper)
{
    static platform::RecurringProblem noEcho;
    noEcho.Report("no ping can be sent, so every record gets the status -1: this user's group may not use "
                  "ping sockets (net.ipv4.ping_group_range), and the ping helper " +
                  helper.string() +
                  " is missing or may not open a raw socket either. Give the helper cap_net_raw: sudo "
                  "scripts/grant-ping.sh " +
                  helper.string());
}

bool SendEchoThroughHelper(uint32_t destination, int32_t timeoutMs, EchoReply& reply)
{
    const std::filesystem::path helper = HelperBesideExecutable();
    Pipe pipe;
    pid_t child = -1;
    if (!pipe.readEnd.IsOpen() || !Spawn(helper, destination, timeoutMs, pipe.writeEnd.Get(), child)) {
        ExplainNoEcho(helper);
        return false;
    }
    pipe.writeEnd.Reset();  // the helper holds the only write end: its end is the pipe's

    EchoReply answer;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0)) + kHelperGrace;
    const bool complete = ReadAll(pipe.readEnd.Get(), &answer, sizeof answer, deadline);
    if (!complete)
        ::kill(child, SIGKILL);
    const int exitCode = ExitCodeOf(child);

    if (complete && exitCode == ping_helper::kExitExchanged) {
        RecordEchoOutcome(OutcomeIn(answer), reply);
        return true;
    }
    if (exitCode == ping_helper::kExitNoRequestSent) {
        ExplainNoEcho(helper);
        return false;
    }
    // The helper failed once the request may have gone out: that is an outcome.
    EchoOutcome failed;
    failed.status = kIpGeneralFailure;
    RecordEchoOutcome(failed, reply);
    return true;
}

}  // namespace vellomar::probe
