// The monitor's window on Win32: STATIC labels, BUTTON push buttons, a LISTBOX,
// a window timer and MessageBoxW. What they do is WindowLogic's.
#pragma once

#include <windows.h>

#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "form.h"
#include "win32_tray.h"
#include "window_logic.h"

namespace vellomar {

class Win32Window final : private WindowFace {
public:
    Win32Window(HINSTANCE instance, WindowSeams seams);
    ~Win32Window() override;
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    HWND Handle() const { return window_; }
    WindowLogic& Logic() { return *logic_; }
    // Brings the window back from the tray or from minimised, to the front.
    // May be called from any thread: the window does it on its own.
    void ShowAndRaise();
    // Shows the window as asked, or with minimized only its tray icon (a
    // minimised window where the taskbar has no notification area).
    void ShowAtStart(int show, bool minimized);
    // Runs the window until it is closed; returns the process's exit code.
    int RunMessageLoop();

private:
    static void RegisterWindowClass(HINSTANCE instance);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void LayOut(UINT dpi);
    void OnCommand(int id);
    void RunPostedClosures();
    void ApplyTimer();
    bool DispatchOne(MSG& message);
    HWND LabelFor(Label label) const;

    // WindowFace
    std::string Caption(Label label) const override;
    void SetCaption(Label label, const std::string& caption) override;
    int ListCount() const override;
    void ListClear() override;
    void ListAddItem(const std::string& item) override;
    void SetTimerInterval(int milliseconds) override;
    void SetTimerEnabled(bool enabled) override;
    void ShowMessageBox(const std::string& text, const std::string& caption) override;
    void Post(std::function<void()> closure) override;
    void ShowTrayState(const TrayState& state) override;
    void Notify(const std::string& title, const std::string& text) override;

    HINSTANCE instance_;
    HWND window_ = nullptr;
    std::array<HWND, form::kControlCount> controls_ {};  // in the form's order
    HWND List1 = nullptr;
    HFONT font_ = nullptr;
    int timerInterval_ = 0;
    bool timerEnabled_ = false;

    std::mutex postedMutex_;
    std::deque<std::function<void()>> posted_;

    std::unique_ptr<Win32Tray> tray_;
    std::unique_ptr<WindowLogic> logic_;  // last: goes first, while the window still stands
};

}  // namespace vellomar
