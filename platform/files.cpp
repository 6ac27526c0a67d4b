// What the platforms' files have in common.
#include <mutex>
#include <utility>

#include "files.h"

namespace vellomar::platform {
namespace {

std::mutex checksGuard;
DiskChecks checksInForce;

}  // namespace

std::filesystem::path ProgramFolder()
{
    const std::filesystem::path executable = ProgramPath();
    std::error_code error;
    return executable.empty() ? std::filesystem::current_path(error) : executable.parent_path();
}

std::string NameOf(const std::filesystem::path& path)
{
    const std::u8string name = path.filename().u8string();
    return std::string(name.begin(), name.end());
}

void CheckDiskCalls(DiskChecks checks)
{
    const std::lock_guard lock(checksGuard);
    checksInForce = std::move(checks);
}

namespace disk {

bool MayFlush(const std::string& name)
{
    const std::lock_guard lock(checksGuard);
    return !checksInForce.flush || checksInForce.flush(name);
}

bool MayRename(const std::string& target)
{
    const std::lock_guard lock(checksGuard);
    return !checksInForce.rename || checksInForce.rename(target);
}

}  // namespace disk

}  // namespace vellomar::platform
