#include "tray_rules.h"

#include <string>

#include "daily_log_format.h"
#include "diagnostics.h"
#include "window_logic.h"

namespace vellomar {

namespace {

std::filesystem::path PagePath(const std::filesystem::path& programFolder)
{
    return programFolder / std::string(daily_log::kPageName);
}

void Open(TrayMenuFace& face, const std::filesystem::path& path)
{
    if (platform::Done opened = face.OpenInDesktop(path); !opened)
        platform::ExplainProblem("the tray menu could not open " + path.string() + ": " + opened.Reason());
}

}  // namespace

ClickAnswer AnswerToClick(WindowStanding window)
{
    if (window.visible && !window.minimised && window.inFront)
        return ClickAnswer::HideWindow;
    return ClickAnswer::ShowWindow;
}

bool HidesWhenMinimised(bool minimised, bool trayShown)
{
    return minimised && trayShown;
}

StartShow ShowAtStart(bool minimizedAsked, bool trayShown)
{
    if (!minimizedAsked)
        return StartShow::Window;
    return trayShown ? StartShow::TrayOnly : StartShow::Minimised;
}

std::string StateItemText(const std::string& tooltip)
{
    std::string text;
    for (char c : tooltip) {
        if (c == '\n')
            text += " · ";
        else if (c == '&')
            text += "&&";
        else
            text += c;
    }
    return text;
}

bool ItemEnabled(tray_menu::Action action, const std::filesystem::path& programFolder)
{
    std::error_code error;
    if (action == tray_menu::Action::State)
        return false;
    return action != tray_menu::Action::OpenPage || std::filesystem::exists(PagePath(programFolder), error);
}

void Choose(tray_menu::Action action, WindowLogic& logic, TrayMenuFace& face,
            const std::filesystem::path& programFolder)
{
    using tray_menu::Action;
    switch (action) {
    case Action::ShowWindow:
        face.ShowWindow();
        break;
    case Action::Start:
        logic.cmdStart_Click();
        break;
    case Action::Stop:
        logic.cmdStop_Click();
        break;
    case Action::OpenPage:
        Open(face, PagePath(programFolder));
        break;
    case Action::OpenFolder:
        Open(face, programFolder);
        break;
    case Action::End:
        face.EndProgram();
        break;
    case Action::State:
    case Action::Separator:
        break;
    }
}

}  // namespace vellomar
