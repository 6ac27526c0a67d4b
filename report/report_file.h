// A report file, written whole or not at all: the new report goes to a
// temporary file beside the old one (its name and ".tmp", which no daily
// log's name can match), which replaces it only when complete.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "files.h"
#include "folder_listing.h"

namespace vellomar::report {

class ReportFile {
public:
    explicit ReportFile(std::filesystem::path reportPath);
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;
    // Removes the temporary file unless Commit succeeded.
    ~ReportFile();

    // False when the user may not write the report (read-only, a folder...):
    // it is then left as it is. Otherwise creates (or truncates) the
    // temporary file; false when it cannot.
    bool Create();
    // Writes a piece of the new report after the pieces written before, and
    // starts it on its way to the disk.
    bool Write(std::string_view piece);
    // Gives what was written the old report's permissions, syncs it to the
    // disk and renames it over the report. False, and the old report
    // untouched, when any step failed.
    bool Commit();
    bool Commit(std::string_view text) { return Write(text) && Commit(); }
    // Why the step that failed failed, one line for the user: the file's
    // name and the system's reason ("ERR_list.csv: Permission denied...").
    const std::string& Problem() const { return problem_; }

private:
    bool Failed(const std::filesystem::path& file, const std::string& reason);

    std::filesystem::path reportPath_;
    std::filesystem::path temporaryPath_;
    std::optional<std::filesystem::perms> oldPermissions_;
    platform::File file_;
    bool created_ = false;
    bool committed_ = false;
    std::string problem_;
};

}  // namespace vellomar::report
