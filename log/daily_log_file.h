// A daily log opened for one append: created when absent, closed on every way out.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "files.h"

namespace vellomar {

class DailyLogFile {
public:
    // Opens path for appending; IsOpen() tells whether that worked.
    explicit DailyLogFile(const std::filesystem::path& path) : file_(platform::File::OpenForAppend(path)) {}

    bool IsOpen() const { return file_.IsOpen(); }

    // Appends text whole and flushes it to the disk. When only part of it could
    // be written (a full disk), the part is cut off again, so the log never holds
    // half a line for the next append to run on from.
    bool Append(std::string_view text);
    // Why the last append failed.
    const std::string& Problem() const { return problem_; }

private:
    platform::File file_;
    std::string problem_;
};

}  // namespace vellomar
