// Vellomar on Windows: one window, its files beside the executable.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <string_view>

#include "diagnostics.h"
#include "files.h"
#include "single_instance.h"
#include "win32_window.h"

namespace {

bool StartMinimized()
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    bool minimized = false;
    for (int i = 1; arguments && i < count; ++i)
        minimized = minimized || std::wstring_view(arguments[i]) == L"--minimized";
    LocalFree(arguments);
    return minimized;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    // One monitor per folder: a later start hands over to the running one and
    // ends before it reads, probes or writes anything. One started at login
    // leaves the running window as it is.
    vellomar::platform::FolderClaim claim(vellomar::platform::ProgramFolder());
    if (claim.outcome() == vellomar::platform::FolderClaim::Outcome::HeldByAnother) {
        if (!StartMinimized())
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
    window.ShowAtStart(show, StartMinimized());
    const auto showRequests = claim.ListenForShowRequests([&window] { window.ShowAndRaise(); });
    window.Logic().Form_Load();
    return window.RunMessageLoop();
}
