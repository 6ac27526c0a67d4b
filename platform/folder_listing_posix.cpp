#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <utility>

#include "files.h"
#include "folder_listing.h"
#include "owned.h"

namespace vellomar::platform {
namespace {

std::int64_t Nanoseconds(const timespec& time)
{
    return std::int64_t {time.tv_sec} * 1'000'000'000 + time.tv_nsec;
}

constexpr std::uint32_t kWatchedEvents = IN_ATTRIB | IN_CREATE | IN_DELETE | IN_DELETE_SELF | IN_MODIFY | IN_MOVE_SELF |
                                         IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR;
constexpr std::uint32_t kWatchLost = IN_Q_OVERFLOW | IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT;

FileStamp StampOf(const struct stat& status)
{
    return FileStamp {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
                      static_cast<std::int64_t>(status.st_size), Nanoseconds(status.st_mtim),
                      Nanoseconds(status.st_ctim)};
}

Failure FolderFailure(const std::filesystem::path& folder)
{
    return SystemFailure("the folder " + NameOf(folder));
}

struct CloseFolder {
    void operator()(DIR* folder) const { ::closedir(folder); }
};

// The entry of name in the folder open as folderFd, when it is an ordinary
// file (or a link to one); type is the one the listing gave, DT_UNKNOWN when
// it gave none.
std::optional<FolderEntry> Entry(int folderFd, const char* name, unsigned char type)
{
    struct stat status {};
    if (type == DT_UNKNOWN) {
        if (::fstatat(folderFd, name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
            return std::nullopt;
        }
        type = S_ISLNK(status.st_mode) ? DT_LNK : S_ISREG(status.st_mode) ? DT_REG : DT_DIR;
    }
    if ((type != DT_REG && type != DT_LNK) || ::fstatat(folderFd, name, &status, 0) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;  // an entry gone since the listing is simply not there
    }
    return FolderEntry {name, StampOf(status), type == DT_LNK || status.st_nlink > 1};
}

}  // namespace

Outcome<std::vector<FolderEntry>> ListFiles(const std::filesystem::path& folder, bool (*keep)(std::string_view name))
{
    const std::unique_ptr<DIR, CloseFolder> listing(::opendir(folder.c_str()));
    if (!listing) {
        return FolderFailure(folder);
    }
    const int folderFd = ::dirfd(listing.get());
    std::vector<FolderEntry> entries;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(listing.get());
        if (entry == nullptr) {
            if (errno != 0) {
                return FolderFailure(folder);
            }
            return entries;
        }
        if (keep(entry->d_name)) {
            if (auto file = Entry(folderFd, entry->d_name, entry->d_type)) {
                entries.push_back(std::move(*file));
            }
        }
    }
}

std::optional<FolderEntry> FindFile(const std::filesystem::path& folder, const std::string& name)
{
    auto entry = Entry(AT_FDCWD, (folder / name).c_str(), DT_UNKNOWN);
    if (entry) {
        entry->name = name;
    }
    return entry;
}

struct FolderWatch::State {
    std::filesystem::path folder;
    OwnedDescriptor inotify;  // watching folder, when open

    void Start()
    {
        inotify = OwnedDescriptor(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
        if (inotify.IsOpen() && ::inotify_add_watch(inotify.Get(), folder.c_str(), kWatchedEvents) < 0) {
            inotify.Reset();
        }
    }
    // Adds the names of the events waiting to names; false when the watch lost track.
    bool ReadEvents(std::vector<std::string>& names) const
    {
        alignas(inotify_event) char events[16 * 1024];
        for (;;) {
            const ssize_t count = ::read(inotify.Get(), events, sizeof events);
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count <= 0) {
                return count == 0 || errno == EAGAIN;
            }
            bool kept = true;
            for (const char* at = events; at < events + count;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                // An event without a name is about the folder itself (its permissions, say).
                kept = kept && (event->mask & kWatchLost) == 0 && event->len > 0;
                if (event->len > 0) {
                    names.emplace_back(event->name);
                }
                at += sizeof(inotify_event) + event->len;
            }
            if (!kept) {
                return false;
            }
        }
    }
};

FolderWatch::FolderWatch(std::filesystem::path folder) : state_(std::make_unique<State>())
{
    state_->folder = std::move(folder);
}

FolderWatch::~FolderWatch() = default;

std::optional<std::vector<std::string>> FolderWatch::Changes()
{
    std::vector<std::string> names;
    if (state_->inotify.IsOpen() && state_->ReadEvents(names)) {
        return names;
    }
    state_->Start();
    return std::nullopt;
}

Done MayWrite(const std::filesystem::path& file)
{
    // Non-blocking, so that a FIFO of that name cannot hold the rebuild.
    const OwnedDescriptor opened(::open(file.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!opened.IsOpen() && errno != ENOENT) {
        return SystemFailure(NameOf(file));
    }
    return {};
}

}  // namespace vellomar::platform
