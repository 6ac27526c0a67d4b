#include "daily_log_file.h"

#include "diagnostics.h"

namespace vellomar {

bool DailyLogFile::Append(std::string_view text)
{
    const std::optional<uint64_t> before = IsOpen() ? file_.Size() : std::nullopt;
    if (!before) {
        problem_ = platform::LastErrorText();
        return false;
    }
    if (file_.WriteAll(text) && file_.Flush())
        return true;
    problem_ = platform::LastErrorText();
    if (file_.Size() != before && file_.Truncate(*before))
        file_.Flush();
    return false;
}

}  // namespace vellomar
