#include "report_file.h"

#include <utility>

#include "files.h"

namespace vellomar::report {

ReportFile::ReportFile(std::filesystem::path reportPath)
    : reportPath_(std::move(reportPath)), temporaryPath_(reportPath_.parent_path() / (reportPath_.filename().native() + std::filesystem::path(".tmp").native()))
{
}

ReportFile::~ReportFile()
{
    if (created_ && !committed_) {
        file_.Close();  // closed before it is removed, as some platforms require
        RemoveFile(temporaryPath_);
    }
}

bool ReportFile::Create()
{
    // A report the user made read-only stays as it is, although the folder
    // would let a new file take its place.
    if (!MayWrite(reportPath_)) {
        return false;
    }
    oldPermissions_ = PermissionsOf(reportPath_);
    created_ = file_.Create(temporaryPath_);
    return created_;
}

bool ReportFile::Commit(std::string_view text)
{
    // The sync makes the rename safe against a power cut as well: without it
    // the renamed report could turn up empty after a crash. It costs little,
    // as the report is small and rebuilt only every ten minutes or so.
    const bool permissionsKept = !oldPermissions_ || file_.SetPermissions(*oldPermissions_);
    if (!file_.Write(text) || !permissionsKept || !file_.SyncAndClose()) {
        return false;
    }
    committed_ = platform::ReplaceByMoving(temporaryPath_, reportPath_);
    return committed_;
}

}  // namespace vellomar::report
