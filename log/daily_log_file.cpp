#include "daily_log_file.h"

namespace vellomar {

platform::Outcome<DailyLogFile> DailyLogFile::Open(const std::filesystem::path& path)
{
    platform::Outcome<platform::File> file = platform::File::OpenForAppend(path);
    if (!file)
        return platform::Failure {file.Reason()};
    return DailyLogFile(std::move(*file));
}

platform::Done DailyLogFile::Append(std::string_view text)
{
    const platform::Outcome<std::uint64_t> before = file_.Size();
    if (!before)
        return platform::Failure {before.Reason()};
    platform::Done written = file_.WriteAll(text);
    if (written)
        written = file_.Flush();
    if (!written)
        CutBack(*before);
    return written;
}

void DailyLogFile::CutBack(std::uint64_t size)
{
    const platform::Outcome<std::uint64_t> now = file_.Size();
    if ((!now || *now != size) && file_.Truncate(size))
        (void)file_.Flush();
}

}  // namespace vellomar
