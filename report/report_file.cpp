#include "report_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

namespace vellomar::report {
namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

bool WriteAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        const ssize_t count = ::write(fd, text.data(), text.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(count));
    }
    return true;
}

}  // namespace

ReportFile::ReportFile(std::filesystem::path reportPath)
    : reportPath_(std::move(reportPath)), temporaryPath_(reportPath_.parent_path() / kTemporaryName)
{
    buffer_.reserve(kBufferSize);
}

ReportFile::~ReportFile()
{
    fd_.Close();
    if (created_ && !committed_) {
        ::unlink(temporaryPath_.c_str());
    }
}

bool ReportFile::Create()
{
    // 0666 less the umask, like any file the program writes.
    fd_ = UniqueFd(::open(temporaryPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666));
    created_ = static_cast<bool>(fd_);
    return created_;
}

void ReportFile::Write(std::string_view text)
{
    if (failed_) {
        return;
    }
    if (buffer_.size() + text.size() > kBufferSize) {
        Flush();
    }
    buffer_.append(text);
}

void ReportFile::Flush()
{
    if (!failed_ && !WriteAll(fd_.Get(), buffer_)) {
        failed_ = true;
    }
    buffer_.clear();
}

bool ReportFile::Commit()
{
    Flush();
    // The sync makes the rename safe against a power cut as well: without it
    // the renamed report could turn up empty after a crash. It costs little,
    // as the report is small and rebuilt only every ten minutes or so.
    if (failed_ || ::fsync(fd_.Get()) != 0 || !fd_.Close()) {
        failed_ = true;
        return false;
    }
    committed_ = ::rename(temporaryPath_.c_str(), reportPath_.c_str()) == 0;
    failed_ = !committed_;
    return committed_;
}

}  // namespace vellomar::report
