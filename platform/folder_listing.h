// What the program needs of a folder beyond reading and writing files (those
// are the platform's File): list it, tell one version of a file from another,
// watch it, and check what the user may do with a file. One source per
// platform implements it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "outcome.h"

namespace vellomar::platform {

// What tells one version of a file from another without reading it. The
// change time is part of it because nobody can set it back: a rewrite whose
// modification time was restored, or a file made unreadable, still shows.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t file = 0;  // the file's number within its device
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

struct FolderEntry {
    std::string name;
    FileStamp stamp;
    // A change to it may not show in a FolderWatch of its folder: it is a link
    // to a file elsewhere, or the file has other names in other folders.
    bool changesUnseen = false;
};

// The ordinary files of folder whose names pass keep (a link counts as what it
// points to), in the order the file system keeps them, or why the folder
// cannot be listed.
Outcome<std::vector<FolderEntry>> ListFiles(const std::filesystem::path& folder, bool (*keep)(std::string_view name));
// The entry of name in folder, or nothing when that is not an ordinary file.
std::optional<FolderEntry> FindFile(const std::filesystem::path& folder, const std::string& name);

// Tells which names of a folder changed: created, written, truncated,
// renamed, removed, their times or permissions set.
class FolderWatch {
public:
    explicit FolderWatch(std::filesystem::path folder);
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;
    ~FolderWatch();

    // The names that changed since the last call, or nothing when it cannot
    // tell: the first call, when the platform keeps no watch, or when the
    // watch lost track (too many changes, the folder itself changed, moved or
    // removed). Then everything must be checked, and it watches anew.
    std::optional<std::vector<std::string>> Changes();

private:
    struct State;  // as the platform keeps a watch
    std::unique_ptr<State> state_;
};

// Done when the user may open file for writing or it does not exist;
// otherwise why not.
Done MayWrite(const std::filesystem::path& file);

}  // namespace vellomar::platform
