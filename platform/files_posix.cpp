#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "files.h"

namespace vellomar::platform {

namespace {

int OpenRetrying(const std::filesystem::path& path, int flags)
{
    int fd;
    do {
        // 0666 less the umask, like any file a program writes.
        fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

}  // namespace

bool DescriptorKind::Close(int fd)
{
    return ::close(fd) == 0;
}

namespace {

// The system's calls that make a change durable, as the disk checks let them through.
int CheckedDataSync(int fd, const std::string& name)
{
    if (!disk::MayFlush(name)) {
        errno = EIO;
        return -1;
    }
    return ::fdatasync(fd);
}

int CheckedRename(const std::filesystem::path& source, const std::filesystem::path& target, const std::string& name)
{
    if (!disk::MayRename(name)) {
        errno = EIO;
        return -1;
    }
    return ::rename(source.c_str(), target.c_str());
}

}  // namespace

Outcome<File> File::Opened(int fd, const std::filesystem::path& path)
{
    if (fd < 0)
        return SystemFailure(NameOf(path));
    return File(OwnedFile(fd), NameOf(path));
}

Outcome<File> File::OpenForAppend(const std::filesystem::path& path)
{
    return Opened(OpenRetrying(path, O_WRONLY | O_APPEND | O_CREAT), path);
}

Outcome<File> File::OpenForReading(const std::filesystem::path& path)
{
    return Opened(OpenRetrying(path, O_RDONLY), path);
}

Outcome<File> File::CreateEmpty(const std::filesystem::path& path)
{
    return Opened(OpenRetrying(path, O_WRONLY | O_CREAT | O_TRUNC), path);
}

Outcome<File> File::StandardOutput()
{
    return Opened(::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0), "standard output");
}

Done File::WriteAll(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t count = ::write(native_.Get(), bytes.data(), bytes.size());
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return Failed();
        if (count == 0) {
            errno = EIO;  // no error, and no progress either
            return Failed();
        }
        bytes.remove_prefix(static_cast<size_t>(count));
    }
    return {};
}

Outcome<std::size_t> File::Read(char* buffer, std::size_t size)
{
    for (;;) {
        const ssize_t count = ::read(native_.Get(), buffer, size);
        if (count >= 0)
            return static_cast<std::size_t>(count);
        if (errno != EINTR)
            return Failed();
    }
}

void File::StartFlush()
{
#ifdef __linux__
    ::sync_file_range(native_.Get(), 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
}

Done File::Flush()
{
    if (CheckedDataSync(native_.Get(), name_) != 0)
        return Failed();
    return {};
}

Outcome<std::uint64_t> File::Size() const
{
    struct stat status {};
    if (::fstat(native_.Get(), &status) != 0)
        return Failed();
    return static_cast<std::uint64_t>(status.st_size);
}

Done File::Truncate(std::uint64_t size)
{
    if (::ftruncate(native_.Get(), static_cast<off_t>(size)) != 0)
        return Failed();
    return {};
}

Done ReplaceByMoving(const std::filesystem::path& source, const std::filesystem::path& target)
{
    const std::string name = NameOf(target);
    if (CheckedRename(source, target, name) != 0)
        return SystemFailure(name);
    // The rename itself reaches the disk with the folder's own flush.
    const std::filesystem::path parent = target.has_parent_path() ? target.parent_path() : ".";
    Outcome<File> folder = File::OpenForReading(parent);
    if (!folder)
        return Failure {name + " is replaced but may not survive a power cut: " + folder.Reason()};
    if (Done flushed = folder->Flush(); !flushed)
        return Failure {name + " is replaced but may not survive a power cut: " + flushed.Reason()};
    return {};
}

std::filesystem::path ProgramPath()
{
    std::error_code error;
    std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : executable;
}

}  // namespace vellomar::platform
