#include "private_disk.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>

#include "private_network.h"

namespace vellomar::testing {

bool EnterPrivateMounts()
{
    return EnterOwnUserNamespace().empty() && ::unshare(CLONE_NEWNS) == 0 &&
           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

PrivateDisk::PrivateDisk(std::filesystem::path folder, const std::string& size, std::string type)
    : folder_(std::move(folder)), options_("size=" + size), type_(std::move(type))
{
    std::filesystem::create_directories(folder_);
    mounted_ = ::mount("vellomar-test", folder_.c_str(), type_.c_str(), 0, options_.c_str()) == 0;
}

PrivateDisk::~PrivateDisk()
{
    if (mounted_)
        ::umount2(folder_.c_str(), MNT_DETACH);
}

bool PrivateDisk::SetReadOnly(bool readOnly)
{
    const unsigned long flags = MS_REMOUNT | (readOnly ? MS_RDONLY : 0);
    return ::mount("vellomar-test", folder_.c_str(), type_.c_str(), flags, options_.c_str()) == 0;
}

// Whole pages first, then single bytes for what is left of the last one.
bool PrivateDisk::Fill()
{
    const int fd = ::open(Filler().c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const std::string zeros(4096, 'x');
    for (const std::size_t chunk : {zeros.size(), std::size_t {1}})
        while (::write(fd, zeros.data(), chunk) >= 0) {
        }
    const bool full = errno == ENOSPC;  // not a byte more fits
    ::close(fd);
    return full;
}

}  // namespace vellomar::testing
