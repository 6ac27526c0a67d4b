#include "report_file.h"

#include <utility>

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
        (void)file_.Close();  // closed before it is removed, as some platforms require
        std::error_code ignored;
        std::filesystem::remove(temporaryPath_, ignored);
    }
}

platform::Done ReportFile::Create()
{
    // A report the user made read-only stays as it is, although the folder
    // would let a new file take its place.
    if (platform::Done mayWrite = platform::MayWrite(reportPath_); !mayWrite) {
        return mayWrite;
    }
    std::error_code missing;
    const std::filesystem::file_status old = std::filesystem::status(reportPath_, missing);
    if (!missing) {
        oldPermissions_ = old.permissions();
    }
    platform::Outcome<platform::File> created = platform::File::CreateEmpty(temporaryPath_);
    if (!created) {
        return platform::Failure {created.Reason()};
    }
    file_ = std::move(*created);
    created_ = true;
    return {};
}

platform::Done ReportFile::Write(std::string_view piece)
{
    platform::Done written = file_.WriteAll(piece);
    if (written) {
        file_.StartFlush();
    }
    return written;
}

platform::Done ReportFile::Commit()
{
    // The sync makes the rename safe against a power cut as well: without it
    // the renamed report could turn up empty after a crash. It costs little,
    // as the report is small and rebuilt only every ten minutes or so.
    platform::Done step = file_.Flush();
    if (step) {
        step = file_.Close();
    }
    if (!step) {
        return step;
    }
    std::error_code error;
    if (oldPermissions_) {
        std::filesystem::permissions(temporaryPath_, *oldPermissions_, error);
    }
    if (error) {
        return platform::Failure {platform::NameOf(temporaryPath_) + ": " + error.message()};
    }
    step = platform::ReplaceByMoving(temporaryPath_, reportPath_);
    committed_ = step || !std::filesystem::exists(temporaryPath_, error);
    return step;
}

}  // namespace vellomar::report
