#include "daily_log_file.h"

#include <exception>

#include "daily_log_format.h"

namespace vellomar {

namespace {

// Text for labels and messages: UTF-8 on every system, whatever the code page.
std::string Utf8(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

void Append(LogEntry& entry, const std::filesystem::path& logFile, platform::RecurringProblem& problem)
{
    platform::Outcome<DailyLogFile> file = DailyLogFile::Open(logFile);
    entry.opened = static_cast<bool>(file);
    if (!entry.opened) {
        problem.Report("cannot open " + entry.logFileName + " (" + file.Reason() + "): the records are not logged");
        return;
    }
    const platform::Done appended = file->Append(entry.line + std::string(daily_log::kLineEnd));
    entry.written = static_cast<bool>(appended);
    if (entry.written)
        problem.Clear();
    else
        problem.Report("cannot append to " + entry.logFileName + " (" + appended.Reason() +
                       "): the records are not logged");
}

}  // namespace

LogEntry AppendLogLine(const std::function<std::filesystem::path()>& logFile, const std::string& line,
                       platform::RecurringProblem& problem)
{
    LogEntry entry;
    entry.line = line;
    try {
        const std::filesystem::path path = logFile();
        entry.logFileName = Utf8(path);
        Append(entry, path, problem);
    } catch (const std::exception& error) {
        problem.Report(std::string("cannot log a record: ") + error.what());
    } catch (...) {
        problem.Report("cannot log a record: an unknown failure");
    }
    return entry;
}

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
