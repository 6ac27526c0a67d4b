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
#include "tray_rules.h"
#include "win32_tray.h"
#include "window_logic.h"

namespace vellomar {

class Win32Window final : private WindowFace, private TrayMenuFace {
public:
    Win32Window(HINSTANCE instance, WindowSeams seams);
    ~Win32Window() override;
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    // Whether the window was made, or why not.
    const platform::Done& Made() const { return made_; }
    WindowLogic& Logic() { return *logic_; }
    // Brings the window back from the tray or from minimised, to the front.
    // May be called from any thread: the window does it on its own.
    void ShowAndRaise();
    bool TrayShown() const { return tray_ && tray_->Added(); }
    // show: as the process was asked to show its window.
    void ShowAtStart(int show, StartShow how);
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

    // TrayMenuFace
    void ShowWindow() override;
    platform::Done OpenInDesktop(const std::filesystem::path& path) override;
    void EndProgram() override;

    HINSTANCE instance_;
    HWND window_ = nullptr;
    platform::Done made_;
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
