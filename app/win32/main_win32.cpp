// Vellomar on Windows: one window, its files beside the executable.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <string_view>

#include "files.h"
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
    INITCOMMONCONTROLSEX controls {sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    vellomar::WindowSeams seams;
    seams.programFolder = vellomar::platform::ProgramFolder();
    vellomar::Win32Window window(instance, std::move(seams));
    if (!window.Handle())
        return 1;
    window.ShowAtStart(show, StartMinimized());
    window.Logic().Form_Load();
    return window.RunMessageLoop();
}
