#include "files.h"

#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace vellomar::platform {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// ReadFile and WriteFile move at most a DWORD of bytes at a time.
constexpr size_t kLargestTransfer = 1u << 30;

HANDLE Handle(intptr_t native)
{
    return reinterpret_cast<HANDLE>(native);
}

intptr_t Open(const std::filesystem::path& path, DWORD access, DWORD disposition)
{
    HANDLE handle =
        ::CreateFileW(path.c_str(), access, kShareAll, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return reinterpret_cast<intptr_t>(handle);
}

}  // namespace

File File::OpenForAppend(const std::filesystem::path& path)
{
    // With only append access every write lands at the end, as O_APPEND does.
    return File(Open(path, FILE_APPEND_DATA | SYNCHRONIZE, OPEN_ALWAYS));
}

File File::OpenForReading(const std::filesystem::path& path)
{
    return File(Open(path, GENERIC_READ, OPEN_EXISTING));
}

File File::CreateEmpty(const std::filesystem::path& path)
{
    return File(Open(path, GENERIC_WRITE, CREATE_ALWAYS));
}

File File::StandardOutput()
{
    HANDLE own = INVALID_HANDLE_VALUE;
    ::DuplicateHandle(::GetCurrentProcess(), ::GetStdHandle(STD_OUTPUT_HANDLE), ::GetCurrentProcess(), &own, 0, FALSE,
                      DUPLICATE_SAME_ACCESS);
    return File(reinterpret_cast<intptr_t>(own));
}

bool File::WriteAll(std::string_view bytes)
{
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min(bytes.size(), kLargestTransfer));
        DWORD written = 0;
        if (!::WriteFile(Handle(native_), bytes.data(), chunk, &written, nullptr) || written == 0)
            return false;
        bytes.remove_prefix(written);
    }
    return true;
}

std::ptrdiff_t File::Read(char* buffer, size_t size)
{
    const DWORD chunk = static_cast<DWORD>(std::min(size, kLargestTransfer));
    DWORD count = 0;
    if (!::ReadFile(Handle(native_), buffer, chunk, &count, nullptr))
        return -1;
    return static_cast<std::ptrdiff_t>(count);
}

void File::StartFlush()
{
    // Windows starts no write-back on request short of FlushFileBuffers, which waits.
}

bool File::Flush()
{
    return ::FlushFileBuffers(Handle(native_)) != 0;
}

std::optional<uint64_t> File::Size() const
{
    LARGE_INTEGER size {};
    if (!::GetFileSizeEx(Handle(native_), &size))
        return std::nullopt;
    return static_cast<uint64_t>(size.QuadPart);
}

bool File::Truncate(uint64_t size)
{
    // An append handle may not move the end of the file back: a second handle
    // on the same file, with write access, does it.
    HANDLE writer = ::ReOpenFile(Handle(native_), GENERIC_WRITE, kShareAll, 0);
    if (writer == INVALID_HANDLE_VALUE)
        return false;
    FILE_END_OF_FILE_INFO end {};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    const bool cut = ::SetFileInformationByHandle(writer, FileEndOfFileInfo, &end, sizeof end) != 0;
    ::CloseHandle(writer);
    return cut;
}

bool File::Close()
{
    if (!IsOpen())
        return true;
    return ::CloseHandle(Handle(std::exchange(native_, kNone))) != 0;
}

bool ReplaceByMoving(const std::filesystem::path& source, const std::filesystem::path& target)
{
    return ::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
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

std::filesystem::path ProgramFolder()
{
    const std::filesystem::path executable = ProgramPath();
    std::error_code error;
    return executable.empty() ? std::filesystem::current_path(error) : executable.parent_path();
}

}  // namespace vellomar::platform
