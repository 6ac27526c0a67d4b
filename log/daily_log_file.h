// A daily log opened for one append: created when absent, closed on every way out.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "diagnostics.h"
#include "files.h"
#include "probe_log.h"

namespace vellomar {

class DailyLogFile {
public:
    // Opens path for appending, or says why it cannot.
    static platform::Outcome<DailyLogFile> Open(const std::filesystem::path& path);

    // Appends text whole and flushes it to the disk. When only part of it could
    // be written (a full disk), the part is cut off again, so the log never holds
    // half a line for the next append to run on from.
    platform::Done Append(std::string_view text);

private:
    explicit DailyLogFile(platform::File file) : file_(std::move(file)) {}
    // Back to size bytes, after an append that did not go through whole.
    void CutBack(std::uint64_t size);

    platform::File file_;
};

// Appends line and CR LF to the log that logFile names (asked inside, so that
// even a failure to name it is caught). Never throws: a line that cannot be
// logged is lost, and why goes to the diagnostics through problem.
LogEntry AppendLogLine(const std::function<std::filesystem::path()>& logFile, const std::string& line,
                       platform::RecurringProblem& problem);

}  // namespace vellomar
