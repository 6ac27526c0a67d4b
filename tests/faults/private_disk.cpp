#include "private_disk.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace vellomar::testing {

namespace {

constexpr const char* kFillerName = "filler.bin";

// Writes chunks of the given size until the disk refuses; true once it refused.
bool WriteUntilFull(int fd, size_t chunk)
{
    std::vector<char> zeros(chunk, 'x');
    for (;;) {
        ssize_t written = ::write(fd, zeros.data(), zeros.size());
        if (written < 0)
            return errno == ENOSPC;
    }
}

}  // namespace

bool EnterPrivateMounts()
{
    return ::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0 &&
           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

PrivateDisk::PrivateDisk(std::filesystem::path folder, const std::string& size, std::string type)
    : folder_(std::move(folder)), size_(size), type_(std::move(type))
{
    mounted_ = ::mount("vellomar-test", folder_.c_str(), type_.c_str(), 0, ("size=" + size_).c_str()) == 0;
}

PrivateDisk::~PrivateDisk()
{
    if (mounted_)
        ::umount2(folder_.c_str(), MNT_DETACH);
}

bool PrivateDisk::SetReadOnly(bool readOnly)
{
    unsigned long flags = MS_REMOUNT | (readOnly ? MS_RDONLY : 0);
    return ::mount("vellomar-test", folder_.c_str(), type_.c_str(), flags, ("size=" + size_).c_str()) == 0;
}

bool PrivateDisk::Fill()
{
    int fd = ::open((folder_ / kFillerName).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool full = WriteUntilFull(fd, 4096) && WriteUntilFull(fd, 1);
    ::close(fd);
    return full;
}

void PrivateDisk::Free()
{
    std::filesystem::remove(folder_ / kFillerName);
}

}  // namespace vellomar::testing
