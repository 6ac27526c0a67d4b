// The report's files on Windows: W functions throughout, so that folders and
// names outside the ANSI code page work.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "folder_access.h"
#include "wide_text.h"

namespace vellomar::report {
namespace {

constexpr DWORD kNotOrdinary = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                               FILE_ATTRIBUTE_DEVICE;

std::int64_t Ticks(const FILETIME& time)
{
    return static_cast<std::int64_t>((std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime);
}

// What a listing tells of a file. Windows lists no file numbers, so a file
// put in the place of another is told apart by its creation time, sizes and
// times; the change time is the creation time.
FileStamp StampOf(DWORD sizeHigh, DWORD sizeLow, const FILETIME& written, const FILETIME& created)
{
    FileStamp stamp;
    stamp.size = static_cast<std::int64_t>((std::uint64_t{sizeHigh} << 32) | sizeLow);
    stamp.modifiedNs = Ticks(written) * 100;
    stamp.changedNs = Ticks(created) * 100;
    return stamp;
}

struct CloseFind {
    void operator()(HANDLE find) const { ::FindClose(find); }
};

}  // namespace

std::optional<std::vector<FolderEntry>> ListFiles(const std::filesystem::path& folder,
                                                  bool (*keep)(std::string_view name))
{
    WIN32_FIND_DATAW found{};
    const std::wstring pattern = (folder / L"*").wstring();
    HANDLE first = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                      FIND_FIRST_EX_LARGE_FETCH);
    if (first == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    const std::unique_ptr<void, CloseFind> listing(first);
    std::vector<FolderEntry> entries;
    do {
        if ((found.dwFileAttributes & kNotOrdinary) != 0) {
            continue;
        }
        std::string name = platform::WideToUtf8(found.cFileName);
        if (keep(name)) {
            // A link's own times are not its target's: those changes stay unseen.
            const bool link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            entries.push_back(FolderEntry{std::move(name),
                                          StampOf(found.nFileSizeHigh, found.nFileSizeLow, found.ftLastWriteTime,
                                                  found.ftCreationTime),
                                          link});
        }
    } while (::FindNextFileW(first, &found));
    if (::GetLastError() != ERROR_NO_MORE_FILES) {
        return std::nullopt;
    }
    return entries;
}

std::optional<FolderEntry> FindFile(const std::filesystem::path& folder, const std::string& name)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    const std::wstring path = (folder / platform::Utf8ToWide(name)).wstring();
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & kNotOrdinary) != 0) {
        return std::nullopt;
    }
    return FolderEntry{name,
                       StampOf(data.nFileSizeHigh, data.nFileSizeLow, data.ftLastWriteTime, data.ftCreationTime),
                       (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0};
}

// No watch is kept on Windows: every rebuild lists the folder, which tells
// the size and times of every log in one pass.
struct FolderWatch::State {};

FolderWatch::FolderWatch(std::filesystem::path) {}

FolderWatch::~FolderWatch() = default;

std::optional<std::vector<std::string>> FolderWatch::Changes() { return std::nullopt; }

InputFile::InputFile(const std::filesystem::path& file)
{
    HANDLE handle = ::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        handle_ = reinterpret_cast<std::intptr_t>(handle);
    }
}

InputFile::~InputFile()
{
    if (IsOpen()) {
        ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
    }
}

long InputFile::Read(char* buffer, std::size_t size)
{
    DWORD count = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!::ReadFile(reinterpret_cast<HANDLE>(handle_), buffer, wanted, &count, nullptr)) {
        return -1;
    }
    return static_cast<long>(count);
}

OutputFile::~OutputFile() { Close(); }

void OutputFile::Close()
{
    if (handle_ != kNone) {
        ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
        handle_ = kNone;
    }
}

bool OutputFile::Create(const std::filesystem::path& file)
{
    HANDLE handle = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(handle);
    return true;
}

bool OutputFile::Write(std::string_view text)
{
    while (!text.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1u << 30));
        if (!::WriteFile(reinterpret_cast<HANDLE>(handle_), text.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        text.remove_prefix(written);
    }
    return true;
}

// A report the user may write has no permission of its own to keep on
// Windows: its read-only attribute is off, as a new file's is.
bool OutputFile::SetPermissions(std::filesystem::perms) { return true; }

bool OutputFile::SyncAndClose()
{
    const bool flushed = ::FlushFileBuffers(reinterpret_cast<HANDLE>(handle_)) != 0;
    const bool closed = ::CloseHandle(reinterpret_cast<HANDLE>(handle_)) != 0;
    handle_ = kNone;
    return flushed && closed;
}

bool MayWrite(const std::filesystem::path& file)
{
    const DWORD attributes = ::GetFileAttributesW(file.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    if ((attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        return false;
    }
    // Another program may hold it open without sharing it (a spreadsheet does).
    HANDLE handle = ::CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    ::CloseHandle(handle);
    return true;
}

std::optional<std::filesystem::perms> PermissionsOf(const std::filesystem::path& file)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(file, error);
    if (error || !std::filesystem::exists(status)) {
        return std::nullopt;
    }
    return status.permissions();
}

void RemoveFile(const std::filesystem::path& file) { ::DeleteFileW(file.c_str()); }

}  // namespace vellomar::report
