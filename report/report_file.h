// The report file, written whole or not at all: the new report goes to a
// temporary file beside the old one, which it replaces only when complete.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "unique_fd.h"

namespace vellomar::report {

class ReportFile {
public:
    // The temporary file's name cannot match the daily logs' pattern.
    static constexpr const char* kTemporaryName = "ERR_list.csv.tmp";

    explicit ReportFile(std::filesystem::path reportPath);
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;
    // Removes the temporary file unless Commit succeeded.
    ~ReportFile();

    // Creates (or truncates) the temporary file; false when it cannot.
    bool Create();
    // Buffered; the first failure is remembered and later writes do nothing.
    void Write(std::string_view text);
    bool Failed() const { return failed_; }
    // Writes out the rest, syncs it to the disk and renames it over the
    // report. False, and the old report untouched, when any step failed.
    bool Commit();

private:
    void Flush();

    std::filesystem::path reportPath_;
    std::filesystem::path temporaryPath_;
    UniqueFd fd_;
    std::string buffer_;
    bool created_ = false;
    bool failed_ = false;
    bool committed_ = false;
};

}  // namespace vellomar::report
