#include "private_network.h"

#include <sched.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace vellomar::testing {

static const uid_t userOutside = ::geteuid();
static const gid_t groupOutside = ::getegid();
static std::string whyNoPrivateNetwork = "EnterPrivateNetwork() was not called";

// endl flushes: a value the kernel refuses fails the write.
static bool WriteText(const std::string& path, const std::string& value)
{
    return !(std::ofstream(path) << value << std::endl).fail();
}

// Root of the namespace stands for the user, and the user only: no other user or group exists in it.
const std::string& EnterOwnUserNamespace()
{
    static const std::string whyNot = []() -> std::string {
        if (kStartedAsRoot)
            return "";
        if (::unshare(CLONE_NEWUSER) != 0)
            return std::string("unshare(CLONE_NEWUSER) failed: ") + std::strerror(errno);
        const bool mapped = WriteText("/proc/self/setgroups", "deny") &&
                            WriteText("/proc/self/uid_map", "0 " + std::to_string(userOutside) + " 1") &&
                            WriteText("/proc/self/gid_map", "0 " + std::to_string(groupOutside) + " 1");
        return mapped ? "" : "could not map the user to root of its user namespace";
    }();
    return whyNot;
}

void EnterPrivateNetwork()
{
    if (!EnterOwnUserNamespace().empty())
        whyNoPrivateNetwork = EnterOwnUserNamespace();
    else if (::unshare(CLONE_NEWNET) != 0)
        whyNoPrivateNetwork = std::string("unshare(CLONE_NEWNET) failed: ") + std::strerror(errno);
    else if (!RunCommand("ip link set lo up"))
        whyNoPrivateNetwork = "could not bring lo up";
    else
        whyNoPrivateNetwork.clear();
}

const std::string& WhyNoPrivateNetwork()
{
    return whyNoPrivateNetwork;
}

bool WriteSysctl(const std::string& name, const std::string& value)
{
    return WriteText("/proc/sys/" + name, value);
}

bool AdmitToPingSockets(bool admitted)
{
    // A user namespace of one group can name no range without it; a fresh network leaves ping sockets to no group.
    return WriteSysctl("net/ipv4/ping_group_range", admitted ? "0 0" : "1 0") ||
           (!admitted && !kStartedAsRoot && (EnterPrivateNetwork(), whyNoPrivateNetwork.empty()));
}

bool RunCommand(const std::string& command)
{
    const int status = std::system(command.c_str());
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace vellomar::testing
