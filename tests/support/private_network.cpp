#include "private_network.h"

#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace vellomar::testing {

static std::string whyNoPrivateNetwork = "EnterPrivateNetwork() was not called";

void EnterPrivateNetwork()
{
    if (::geteuid() != 0)
        whyNoPrivateNetwork = "not root: packets may only travel inside a private network namespace, made as root";
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

// endl flushes: a value the kernel refuses fails the write.
bool WriteSysctl(const std::string& name, const std::string& value)
{
    return !(std::ofstream("/proc/sys/" + name) << value << std::endl).fail();
}

bool RunCommand(const std::string& command)
{
    const int status = std::system(command.c_str());
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace vellomar::testing
