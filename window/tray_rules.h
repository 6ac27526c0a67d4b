// What the tray icon and its menu do, for both faces: a face draws the icon
// and the menu, reports what the user did and carries out the answer.
#pragma once

#include <filesystem>
#include <string>

#include "outcome.h"
#include "tray_menu.h"

namespace vellomar {

class WindowLogic;

// How the window stands when the icon is clicked.
struct WindowStanding {
    bool visible = false;
    bool minimised = false;
    bool inFront = false;  // nothing else covers it
};

enum class ClickAnswer { HideWindow, ShowWindow };

// A click hides a window shown in front of the others, and otherwise brings it back.
ClickAnswer AnswerToClick(WindowStanding window);

// A window being minimised goes to the tray where the desktop shows one now,
// and stays on the taskbar where it has none.
bool HidesWhenMinimised(bool minimised, bool trayShown);

enum class StartShow { Window, TrayOnly, Minimised };

// With --minimized only the tray icon shows, or a minimised window where the
// desktop has no tray.
StartShow ShowAtStart(bool minimizedAsked, bool trayShown);

// What a face does for the items that are its own to carry out.
class TrayMenuFace {
public:
    virtual void ShowWindow() = 0;
    virtual platform::Done OpenInDesktop(const std::filesystem::path& path) = 0;
    // As closing the window: the program ends.
    virtual void EndProgram() = 0;

protected:
    ~TrayMenuFace() = default;
};

// The state item's text for a tooltip: one line (menus show no line breaks),
// its ampersands doubled (menus take a single one as a mnemonic).
std::string StateItemText(const std::string& tooltip);

// Whether an item can be chosen now: the page exists only after the first
// rebuild, ten minutes into a run; the state is only read.
bool ItemEnabled(tray_menu::Action action, const std::filesystem::path& programFolder);

// Start and Stop go through the buttons' handlers, under the same rules: held
// while a probe is out and run after it in order. A page or folder that cannot
// be opened is said through ExplainProblem.
void Choose(tray_menu::Action action, WindowLogic& logic, TrayMenuFace& face,
            const std::filesystem::path& programFolder);

}  // namespace vellomar
