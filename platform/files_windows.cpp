#include <windows.h>

#include <algorithm>
#include <vector>

#include "files.h"

namespace vellomar::platform {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// ReadFile and WriteFile move at most a DWORD of bytes at a time.
constexpr size_t kLargestTransfer = 1u << 30;

HANDLE Open(const std::filesystem::path& path, DWORD access, DWORD disposition)
{
    return ::CreateFileW(path.c_str(), access, kShareAll, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

bool HandleKind::Close(void* handle)
{
    return ::CloseHandle(handle) != 0;
}

namespace {

// The system's calls that make a change durable, as the disk checks let them through.
BOOL CheckedFlushFileBuffers(HANDLE file, const std::string& name)
{
    if (!disk::MayFlush(name)) {
        ::SetLastError(ERROR_IO_DEVICE);
        return FALSE;
    }
    return ::FlushFileBuffers(file);
}

BOOL CheckedMoveFileEx(const std::filesystem::path& source, const std::filesystem::path& target,
                       const std::string& name)
{
    if (!disk::MayRename(name)) {
        ::SetLastError(ERROR_IO_DEVICE);
        return FALSE;
    }
    return ::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

}  // namespace

Outcome<File> File::Opened(HANDLE handle, const std::filesystem::path& path)
{
    if (HandleKind::IsNone(handle))
        return SystemFailure(NameOf(path));
    return File(OwnedFile(handle), NameOf(path));
}

Outcome<File> File::OpenForAppend(const std::filesystem::path& path)
{
    // With only append access every write lands at the end, as O_APPEND does.
    return Opened(Open(path, FILE_APPEND_DATA | SYNCHRONIZE, OPEN_ALWAYS), path);
}

Outcome<File> File::OpenForReading(const std::filesystem::path& path)
{
    return Opened(Open(path, GENERIC_READ, OPEN_EXISTING), path);
}

Outcome<File> File::CreateEmpty(const std::filesystem::path& path)
{
    return Opened(Open(path, GENERIC_WRITE, CREATE_ALWAYS), path);
}

Outcome<File> File::StandardOutput()
{
    HANDLE own = INVALID_HANDLE_VALUE;
    ::DuplicateHandle(::GetCurrentProcess(), ::GetStdHandle(STD_OUTPUT_HANDLE), ::GetCurrentProcess(), &own, 0, FALSE,
                      DUPLICATE_SAME_ACCESS);
    return Opened(own, "standard output");
}

Done File::WriteAll(std::string_view bytes)
{
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min(bytes.size(), kLargestTransfer));
        DWORD written = 0;
        if (!::WriteFile(native_.Get(), bytes.data(), chunk, &written, nullptr))
            return Failed();
        if (written == 0) {
            ::SetLastError(ERROR_WRITE_FAULT);  // no error, and no progress either
            return Failed();
        }
        bytes.remove_prefix(written);
    }
    return {};
}

Outcome<std::size_t> File::Read(char* buffer, std::size_t size)
{
    const DWORD chunk = static_cast<DWORD>(std::min(size, kLargestTransfer));
    DWORD count = 0;
    if (!::ReadFile(native_.Get(), buffer, chunk, &count, nullptr))
        return Failed();
    return static_cast<std::size_t>(count);
}

void File::StartFlush()
{
    // Windows starts no write-back on request short of FlushFileBuffers, which waits.
}

Done File::Flush()
{
    if (!CheckedFlushFileBuffers(native_.Get(), name_))
        return Failed();
    return {};
}

Outcome<std::uint64_t> File::Size() const
{
    LARGE_INTEGER size {};
    if (!::GetFileSizeEx(native_.Get(), &size))
        return Failed();
    return static_cast<std::uint64_t>(size.QuadPart);
}

Done File::Truncate(std::uint64_t size)
{
    // An append handle may not move the end of the file back: a second handle
    // on the same file, with write access, does it.
    const OwnedHandle writer(::ReOpenFile(native_.Get(), GENERIC_WRITE, kShareAll, 0));
    if (!writer.IsOpen())
        return Failed();
    FILE_END_OF_FILE_INFO end {};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (!::SetFileInformationByHandle(writer.Get(), FileEndOfFileInfo, &end, sizeof end))
        return Failed();
    return {};
}

// The move is written through, folder and all, before it returns.
Done ReplaceByMoving(const std::filesystem::path& source, const std::filesystem::path& target)
{
    const std::string name = NameOf(target);
    if (!CheckedMoveFileEx(source, target, name))
        return SystemFailure(name);
    return {};
}

std::filesystem::path ProgramPath()
{
    // Long paths exist: grow the buffer until the whole name fits.
    std::vector<wchar_t> name(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0)
            return {};
        if (length < name.size())
            return std::filesystem::path(std::wstring(name.data(), length));
        name.resize(name.size() * 2);
    }
}

}  // namespace vellomar::platform
