// Folders on Windows: W functions throughout, so that folders and
// names outside the ANSI code page work.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "files.h"
#include "folder_listing.h"
#include "owned.h"
#include "wide_text.h"

namespace vellomar::platform {
namespace {

constexpr DWORD kNotOrdinary =
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;

std::int64_t Ticks(const FILETIME& time)
{
    return static_cast<std::int64_t>((std::uint64_t {time.dwHighDateTime} << 32) | time.dwLowDateTime);
}

// What a listing tells of a file. Windows lists no file numbers, so a file
// put in the place of another is told apart by its creation time, sizes and
// times; the change time is the creation time.
FileStamp StampOf(DWORD sizeHigh, DWORD sizeLow, const FILETIME& written, const FILETIME& created)
{
    FileStamp stamp;
    stamp.size = static_cast<std::int64_t>((std::uint64_t {sizeHigh} << 32) | sizeLow);
    stamp.modifiedNs = Ticks(written) * 100;
    stamp.changedNs = Ticks(created) * 100;
    return stamp;
}

Failure FolderFailure(const std::filesystem::path& folder)
{
    return SystemFailure("the folder " + NameOf(folder));
}

// A listing's handle, closed with FindClose.
struct FindKind : HandleKind {
    static bool Close(void* find) { return ::FindClose(find) != 0; }
};

}  // namespace

Outcome<std::vector<FolderEntry>> ListFiles(const std::filesystem::path& folder, bool (*keep)(std::string_view name))
{
    WIN32_FIND_DATAW found {};
    const std::wstring pattern = (folder / L"*").wstring();
    const Owned<FindKind> listing(::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                                     nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!listing.IsOpen()) {
        return FolderFailure(folder);
    }
    std::vector<FolderEntry> entries;
    do {
        if ((found.dwFileAttributes & kNotOrdinary) != 0) {
            continue;
        }
        std::string name = platform::WideToUtf8(found.cFileName);
        if (keep(name)) {
            // A link's own times are not its target's: those changes stay unseen.
            const bool link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            entries.push_back(FolderEntry {
                std::move(name),
                StampOf(found.nFileSizeHigh, found.nFileSizeLow, found.ftLastWriteTime, found.ftCreationTime), link});
        }
    } while (::FindNextFileW(listing.Get(), &found));
    if (::GetLastError() != ERROR_NO_MORE_FILES) {
        return FolderFailure(folder);
    }
    return entries;
}

std::optional<FolderEntry> FindFile(const std::filesystem::path& folder, const std::string& name)
{
    WIN32_FILE_ATTRIBUTE_DATA data {};
    const std::wstring path = (folder / platform::Utf8ToWide(name)).wstring();
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & kNotOrdinary) != 0) {
        return std::nullopt;
    }
    return FolderEntry {name, StampOf(data.nFileSizeHigh, data.nFileSizeLow, data.ftLastWriteTime, data.ftCreationTime),
                        (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0};
}

// No watch is kept on Windows: every rebuild lists the folder, which tells
// the size and times of every log in one pass.
struct FolderWatch::State {};

FolderWatch::FolderWatch(std::filesystem::path)
{}

FolderWatch::~FolderWatch() = default;

std::optional<std::vector<std::string>> FolderWatch::Changes()
{
    return std::nullopt;
}

Done MayWrite(const std::filesystem::path& file)
{
    const DWORD attributes = ::GetFileAttributesW(file.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (::GetLastError() == ERROR_FILE_NOT_FOUND) {
            return {};
        }
        return SystemFailure(NameOf(file));
    }
    if ((attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        ::SetLastError(ERROR_ACCESS_DENIED);  // what opening it for writing would say
        return SystemFailure(NameOf(file));
    }
    // Another program may hold it open without sharing it (a spreadsheet does).
    const OwnedHandle opened(::CreateFileW(file.c_str(), GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!opened.IsOpen()) {
        return SystemFailure(NameOf(file));
    }
    return {};
}

}  // namespace vellomar::platform
