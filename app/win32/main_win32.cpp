// Vellomar on Windows: one window, its files beside the executable.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <optional>
#include <string>
#include <vector>

#include "startup.h"
#include "wide_text.h"
#include "win32_window.h"

namespace {

using vellomar::platform::Done;

std::vector<std::string> Arguments()
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> utf8;
    for (int i = 1; arguments && i < count; ++i)
        utf8.push_back(vellomar::platform::WideToUtf8(arguments[i]));
    LocalFree(arguments);
    return utf8;
}

// The Win32 face of the start-up.
class Win32Start final : public vellomar::StartFace {
public:
    Win32Start(HINSTANCE instance, int show) : instance_(instance), show_(show) {}

    // A program without a console writes to the handles it was given, if any.
    void WriteLine(std::string_view utf8, bool toError) override
    {
        const std::string line = std::string(utf8) + "\r\n";
        DWORD written = 0;
        WriteFile(GetStdHandle(toError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE), line.data(),
                  static_cast<DWORD>(line.size()), &written, nullptr);
    }

    Done MakeWindow(vellomar::WindowSeams seams) override
    {
        INITCOMMONCONTROLSEX controls {sizeof controls, ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        window_.emplace(instance_, std::move(seams));
        return window_->Made();
    }

    vellomar::WindowLogic& Logic() override { return window_->Logic(); }
    bool TrayShown() const override { return window_->TrayShown(); }
    void ShowAtStart(vellomar::StartShow how) override { window_->ShowAtStart(show_, how); }
    void ShowAndRaise() override { window_->ShowAndRaise(); }
    int RunUntilClosed() override { return window_->RunMessageLoop(); }

private:
    HINSTANCE instance_;
    int show_;
    std::optional<vellomar::Win32Window> window_;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    Win32Start face(instance, show);
    return vellomar::RunMonitor(Arguments(), face);
}
