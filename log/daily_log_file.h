// A daily log opened for one append: created when absent, closed on every way out.
#pragma once

#include <filesystem>
#include <string_view>

namespace vellomar {

class DailyLogFile {
public:
    // Opens path for appending; IsOpen() tells whether that worked.
    explicit DailyLogFile(const std::filesystem::path& path);
    ~DailyLogFile();
    DailyLogFile(const DailyLogFile&) = delete;
    DailyLogFile& operator=(const DailyLogFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }

    // Appends text whole and flushes it to the disk. When only part of it could
    // be written (a full disk), the part is cut off again, so the log never holds
    // half a line for the next append to run on from.
    bool Append(std::string_view text);

private:
    int fd_ = -1;
};

}  // namespace vellomar
