// A report file, written whole or not at all: the new report goes to a
// temporary file beside the old one (its name and ".tmp", which no daily
// log's name can match), which replaces it only when complete.
#pragma once

#include <filesystem>
#include <optional>
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

    // Fails when the user may not write the report (read-only, a folder...):
    // it is then left as it is. Otherwise creates (or truncates) the
    // temporary file, or says why it cannot. A failure names the file and
    // gives the system's reason ("ERR_list.csv: Permission denied...").
    platform::Done Create();
    // Writes a piece of the new report after the pieces written before, and
    // starts it on its way to the disk.
    platform::Done Write(std::string_view piece);
    // Gives what was written the old report's permissions, syncs it to the
    // disk and renames it over the report. When any step fails, the old
    // report is untouched, unless only the flush of its folder failed.
    platform::Done Commit();
    platform::Done Commit(std::string_view text)
    {
        platform::Done written = Write(text);
        return written ? Commit() : written;
    }
    // Whether the new report took the old one's place, even where Commit
    // failed after that (its folder's flush).
    bool Replaced() const { return committed_; }

private:
    std::filesystem::path reportPath_;
    std::filesystem::path temporaryPath_;
    std::optional<std::filesystem::perms> oldPermissions_;
    platform::File file_;
    bool created_ = false;
    bool committed_ = false;
};

}  // namespace vellomar::report
