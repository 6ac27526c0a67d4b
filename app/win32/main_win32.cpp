// Vellomar on Windows: one window, its files beside the executable.
#include <windows.h>

#include <commctrl.h>

#include <string_view>

#include "diagnostics.h"
#include "files.h"
#include "single_instance.h"
#include "win32_window.h"

namespace {

bool HasArgument(std::wstring_view commandLine, std::wstring_view wanted)
{
    while (!commandLine.empty()) {
        const size_t end = commandLine.find_first_of(L" \t");
        if (commandLine.substr(0, end) == wanted)
            return true;
        commandLine.remove_prefix(end == std::wstring_view::npos ? commandLine.size() : end + 1);
    }
    return false;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int show)
{
    // One monitor per folder: a later start hands over to the running one and
    // ends before it reads, probes or writes anything. One started at login
    // leaves the running window as it is.
    vellomar::platform::FolderClaim claim(vellomar::platform::ProgramFolder());
    if (claim.outcome() == vellomar::platform::FolderClaim::Outcome::HeldByAnother) {
        if (!HasArgument(commandLine, L"--minimized"))
            claim.AskHolderToShow();
        return 0;
    }
    if (!claim.Problem().empty())
        vellomar::platform::ExplainProblem(claim.Problem());

    INITCOMMONCONTROLSEX controls {sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    vellomar::WindowSeams seams;
    seams.programFolder = vellomar::platform::ProgramFolder();
    vellomar::Win32Window window(instance, std::move(seams));
    if (!window.Handle())
        return 1;
    ShowWindow(window.Handle(), show);
    UpdateWindow(window.Handle());
    const auto showRequests = claim.ListenForShowRequests([&window] { window.ShowAndRaise(); });
    window.Logic().Form_Load();
    return window.RunMessageLoop();
}
