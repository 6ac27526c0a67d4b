#include "line_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace vellomar::report {

LineReader::LineReader(std::size_t capacity) : capacity_(capacity), buffer_(new char[capacity]) {}

UniqueFd LineReader::Open(const std::filesystem::path& file)
{
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (fd) {
        ::posix_fadvise(fd.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);  // only a hint: its failure changes nothing
    }
    return fd;
}

long LineReader::ReadInto(int fd, std::size_t offset)
{
    for (;;) {
        const ssize_t count = ::read(fd, buffer_.get() + offset, capacity_ - offset);
        if (count >= 0 || errno != EINTR) {
            return static_cast<long>(count);
        }
    }
}

}  // namespace vellomar::report
