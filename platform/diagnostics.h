// Where the program says why something it does quietly did not work: standard
// error on Linux, the debugger output (DebugView, a debugger) on Windows.
#pragma once

#include <mutex>
#include <string>
#include <string_view>

namespace vellomar::platform {

// Writes one line of explanation, UTF-8, for whoever watches the program.
void ExplainProblem(std::string_view utf8);

// A problem that may come back every ten seconds: said when it first appears
// or changes, not again while it lasts.
class RecurringProblem {
public:
    void Report(const std::string& utf8)
    {
        const std::lock_guard lock(mutex_);
        if (utf8 == last_)
            return;
        last_ = utf8;
        ExplainProblem(utf8);
    }
    // The problem has gone; its next appearance is said again.
    void Clear()
    {
        const std::lock_guard lock(mutex_);
        last_.clear();
    }

private:
    // The probe and the echo to the next hop run at once and share the
    // socket code's reporters.
    std::mutex mutex_;
    std::string last_;
};

// The system's own text for its last error number (errno, GetLastError).
std::string LastErrorText();

}  // namespace vellomar::platform
