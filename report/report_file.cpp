#include "report_file.h"

#include <utility>

#include "diagnostics.h"
#include "files.h"

namespace vellomar::report {

ReportFile::ReportFile(std::filesystem::path reportPath)
    : reportPath_(std::move(reportPath)),
      temporaryPath_(reportPath_.parent_path() /
                     (reportPath_.filename().native() + std::filesystem::path(".tmp").native()))
{}

ReportFile::~ReportFile()
{
    if (created_ && !committed_) {
        file_.Close();  // closed before it is removed, as some platforms require
        std::error_code ignored;
        std::filesystem::remove(temporaryPath_, ignored);
    }
}

bool ReportFile::Failed(const std::filesystem::path& file, const std::string& reason)
{
    const std::u8string name = file.filename().u8string();
    problem_.assign(name.begin(), name.end()).append(": ").append(reason);
    return false;
}

bool ReportFile::Create()
{
    // A report the user made read-only stays as it is, although the folder
    // would let a new file take its place.
    if (!platform::MayWrite(reportPath_)) {
        return Failed(reportPath_, platform::LastErrorText());
    }
    std::error_code missing;
    const std::filesystem::file_status old = std::filesystem::status(reportPath_, missing);
    if (!missing) {
        oldPermissions_ = old.permissions();
    }
    file_ = platform::File::CreateEmpty(temporaryPath_);
    created_ = file_.IsOpen();
    return created_ || Failed(temporaryPath_, platform::LastErrorText());
}

bool ReportFile::Write(std::string_view piece)
{
    if (!file_.WriteAll(piece)) {
        return Failed(temporaryPath_, platform::LastErrorText());
    }
    file_.StartFlush();
    return true;
}

bool ReportFile::Commit()
{
    // The sync makes the rename safe against a power cut as well: without it
    // the renamed report could turn up empty after a crash. It costs little,
    // as the report is small and rebuilt only every ten minutes or so.
    if (!file_.Flush() || !file_.Close()) {
        return Failed(temporaryPath_, platform::LastErrorText());
    }
    std::error_code error;
    if (oldPermissions_) {
        std::filesystem::permissions(temporaryPath_, *oldPermissions_, error);
    }
    if (error) {
        return Failed(temporaryPath_, error.message());
    }
    committed_ = platform::ReplaceByMoving(temporaryPath_, reportPath_);
    return committed_ || Failed(reportPath_, platform::LastErrorText());
}

}  // namespace vellomar::report
