#include "private_network.h"

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace vellomar::testing {

namespace {

PrivateNetwork& State()
{
    static PrivateNetwork state;
    return state;
}

bool BringLoopbackUp()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    if (up) {
        request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
        up = ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    }
    ::close(fd);
    return up;
}

}  // namespace

void EnterPrivateNetwork()
{
    PrivateNetwork& state = State();
    if (::geteuid() != 0) {
        state.whyNot = "not root: the probe's packets may only travel inside a private network "
                       "namespace, and making one needs root";
        return;
    }
    if (::unshare(CLONE_NEWNET) != 0) {
        state.whyNot = std::string("unshare(CLONE_NEWNET) failed: ") + std::strerror(errno);
        return;
    }
    if (!BringLoopbackUp()) {
        state.whyNot = std::string("could not bring lo up: ") + std::strerror(errno);
        return;
    }
    state.ready = true;
}

const PrivateNetwork& PrivateNetworkState()
{
    return State();
}

bool WriteSysctl(const std::string& name, const std::string& value)
{
    std::ofstream file("/proc/sys/" + name);
    file << value << '\n';
    file.close();
    return !file.fail();
}

bool RunIp(const std::string& arguments)
{
    const int status = std::system(("ip " + arguments).c_str());
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace vellomar::testing
