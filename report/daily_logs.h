// Finding the daily logs of a folder and the day each one stands for.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "folder_listing.h"

namespace vellomar::report {

using platform::FileStamp;
using platform::FindFile;
using platform::FolderEntry;
using platform::FolderWatch;
using platform::ListFiles;
using platform::MayWrite;

// "PING_*.txt", whatever the case of its letters.
bool IsDailyLogName(std::string_view name);

// Name order regardless of case (ping_20150128.TXT between PING_20150127.txt
// and PING_20150129.txt); names that differ only in case in byte order.
bool NameBefore(std::string_view a, std::string_view b);

// The ordinary files of folder that are daily logs, in ascending name order
// with case ignored, or why the folder cannot be listed.
platform::Outcome<std::vector<FolderEntry>> ListDailyLogs(const std::filesystem::path& folder);

// "yyyy/mm/dd" from a name "PING_yyyymmdd.txt" that holds a calendar date,
// otherwise empty.
std::string DateFromLogName(std::string_view name);

}  // namespace vellomar::report
