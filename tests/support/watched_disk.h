// The disk as a test sees it through the platform's checks: every flush
// counted by file name, and the flushes and renames a test names refused as
// a failing disk would refuse them, for as long as it lives.
#pragma once

#include <map>
#include <set>
#include <string>

#include "files.h"

namespace vellomar::testing {

struct WatchedDisk {
    std::map<std::string, int> flushes;
    std::set<std::string> refusedFlushes;
    std::set<std::string> refusedRenames;  // by the target's name

    WatchedDisk()
    {
        platform::CheckDiskCalls(
            {[this](const std::string& name) { return ++flushes[name], !refusedFlushes.contains(name); },
             [this](const std::string& target) { return !refusedRenames.contains(target); }});
    }
    ~WatchedDisk() { platform::CheckDiskCalls({}); }
    WatchedDisk(const WatchedDisk&) = delete;
    WatchedDisk& operator=(const WatchedDisk&) = delete;
};

}  // namespace vellomar::testing
