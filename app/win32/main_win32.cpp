// Vellomar on Windows: one window, its files beside the executable.
#include <windows.h>

#include <commctrl.h>

#include "files.h"
#include "win32_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    INITCOMMONCONTROLSEX controls {sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    vellomar::WindowSeams seams;
    seams.programFolder = vellomar::platform::ProgramFolder();
    vellomar::Win32Window window(instance, std::move(seams));
    if (!window.Handle())
        return 1;
    ShowWindow(window.Handle(), show);
    UpdateWindow(window.Handle());
    window.Logic().Form_Load();
    return window.RunMessageLoop();
}
