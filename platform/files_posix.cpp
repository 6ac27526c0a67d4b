#include "files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace vellomar::platform {

namespace {

int Descriptor(intptr_t native)
{
    return static_cast<int>(native);
}

intptr_t OpenRetrying(const std::filesystem::path& path, int flags)
{
    int fd;
    do {
        // 0666 less the umask, like any file a program writes.
        fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

}  // namespace

File File::OpenForAppend(const std::filesystem::path& path)
{
    return File(OpenRetrying(path, O_WRONLY | O_APPEND | O_CREAT));
}

File File::OpenForReading(const std::filesystem::path& path)
{
    return File(OpenRetrying(path, O_RDONLY));
}

File File::CreateEmpty(const std::filesystem::path& path)
{
    return File(OpenRetrying(path, O_WRONLY | O_CREAT | O_TRUNC));
}

File File::StandardOutput()
{
    return File(::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0));
}

bool File::WriteAll(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t count = ::write(Descriptor(native_), bytes.data(), bytes.size());
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(count));
    }
    return true;
}

std::ptrdiff_t File::Read(char* buffer, size_t size)
{
    for (;;) {
        const ssize_t count = ::read(Descriptor(native_), buffer, size);
        if (count >= 0 || errno != EINTR)
            return count;
    }
}

void File::StartFlush()
{
#ifdef __linux__
    ::sync_file_range(Descriptor(native_), 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
}

bool File::Flush()
{
    return ::fdatasync(Descriptor(native_)) == 0;
}

std::optional<uint64_t> File::Size() const
{
    struct stat status {};
    if (::fstat(Descriptor(native_), &status) != 0)
        return std::nullopt;
    return static_cast<uint64_t>(status.st_size);
}

bool File::Truncate(uint64_t size)
{
    return ::ftruncate(Descriptor(native_), static_cast<off_t>(size)) == 0;
}

bool File::Close()
{
    if (!IsOpen())
        return true;
    // Linux releases the descriptor even when close reports an error: no retry.
    return ::close(Descriptor(std::exchange(native_, kNone))) == 0;
}

bool ReplaceByMoving(const std::filesystem::path& source, const std::filesystem::path& target)
{
    if (::rename(source.c_str(), target.c_str()) != 0)
        return false;
    // The rename itself reaches the disk with the folder's own flush.
    const std::filesystem::path parent = target.has_parent_path() ? target.parent_path() : ".";
    File folder = File::OpenForReading(parent);
    if (folder.IsOpen())
        folder.Flush();
    return true;
}

std::filesystem::path ProgramPath()
{
    std::error_code error;
    std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : executable;
}

std::filesystem::path ProgramFolder()
{
    const std::filesystem::path executable = ProgramPath();
    std::error_code error;
    return executable.empty() ? std::filesystem::current_path(error) : executable.parent_path();
}

}  // namespace vellomar::platform
