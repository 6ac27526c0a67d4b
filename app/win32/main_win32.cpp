// Vellomar on Windows: one window, its files beside the executable.
#include <windows.h>

#include <commctrl.h>

#include <filesystem>
#include <string>

#include "win32_window.h"

namespace {

// The folder that holds vellomar.exe, whatever characters its path has.
std::filesystem::path ProgramFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return std::filesystem::path(path).parent_path();
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    INITCOMMONCONTROLSEX controls {sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    vellomar::WindowSeams seams;
    seams.programFolder = ProgramFolder();
    vellomar::Win32Window window(instance, std::move(seams));
    if (!window.Handle())
        return 1;
    ShowWindow(window.Handle(), show);
    UpdateWindow(window.Handle());
    window.Logic().Form_Load();
    return window.RunMessageLoop();
}
