#include "daily_log_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vellomar {

DailyLogFile::DailyLogFile(const std::filesystem::path& path)
{
    do {
        fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    } while (fd_ < 0 && errno == EINTR);
}

DailyLogFile::~DailyLogFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool DailyLogFile::Append(std::string_view text)
{
    struct stat before {};
    if (!IsOpen() || ::fstat(fd_, &before) != 0)
        return false;

    size_t written = 0;
    while (written < text.size()) {
        ssize_t n = ::write(fd_, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += static_cast<size_t>(n);
    }
    if (written == text.size() && ::fdatasync(fd_) == 0)
        return true;
    if (written > 0 && ::ftruncate(fd_, before.st_size) == 0)
        ::fdatasync(fd_);
    return false;
}

}  // namespace vellomar
