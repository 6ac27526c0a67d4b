// How a start of the monitor goes, on either system: the arguments, the
// folder claim, asking a running monitor to show itself, and then the window.
// The face makes the window and runs it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "outcome.h"
#include "tray_rules.h"

namespace vellomar {

class WindowLogic;
struct WindowSeams;

struct StartArguments {
    bool minimized = false;                  // --minimized: at login, to the tray
    std::optional<std::string> hostToCheck;  // --check-host LINE: for the installers
};

// The arguments after the program's name, UTF-8; others are ignored.
StartArguments ReadStartArguments(const std::vector<std::string>& arguments);

class StartFace {
public:
    // A line for whoever started the program: its standard output, or its
    // standard error.
    virtual void WriteLine(std::string_view utf8, bool toError) = 0;
    // Whether a window can be shown here, or why not.
    virtual platform::Done CheckDisplay() { return {}; }
    virtual platform::Done MakeWindow(WindowSeams seams) = 0;
    virtual WindowLogic& Logic() = 0;
    virtual bool TrayShown() const = 0;
    virtual void ShowAtStart(StartShow how) = 0;
    // May be called from any thread.
    virtual void ShowAndRaise() = 0;
    // Runs the window until it is closed; returns the process's exit code.
    virtual int RunUntilClosed() = 0;

protected:
    ~StartFace() = default;
};

// The whole run of the program; returns its exit code. Every start that ends
// early for a reason other than another monitor's running says why.
int RunMonitor(const std::vector<std::string>& arguments, StartFace& face);

}  // namespace vellomar
