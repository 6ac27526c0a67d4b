// The monitor's icon in the notification area of the taskbar: it shows the
// connection's state, brings the window back, and offers the window's Start
// and Stop. Shell_NotifyIconW with a version 4 icon.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <array>
#include <filesystem>
#include <functional>
#include <string>

#include "tray_state.h"

namespace vellomar {

// What the tray's menu asks of the window.
struct TrayActions {
    std::function<void()> start;  // cmdStart_Click
    std::function<void()> stop;   // cmdStop_Click
};

class Win32Tray {
public:
    // The icon's messages come to window as kCallbackMessage.
    static constexpr UINT kCallbackMessage = WM_APP + 2;

    Win32Tray(HWND window, std::filesystem::path programFolder, TrayActions actions);
    ~Win32Tray();
    Win32Tray(const Win32Tray&) = delete;
    Win32Tray& operator=(const Win32Tray&) = delete;

    // Whether the taskbar took the icon; without one the window minimises as usual.
    bool Added() const { return added_; }
    bool Show(const TrayState& state);
    bool Notify(const std::string& title, const std::string& text);
    // Handles the icon's own messages and the taskbar's coming back after
    // Explorer restarted; false for any other message.
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Shows the window restored and in front.
    void ShowWindow();

    HICON CurrentIcon() const { return icons_[static_cast<size_t>(state_.colour)]; }

private:
    bool Add();
    NOTIFYICONDATAW Data(UINT flags) const;
    bool InFront() const;
    void Toggle();
    void ShowMenu(POINT at);
    void Open(const std::filesystem::path& path);

    HWND window_;
    std::filesystem::path programFolder_;
    TrayActions actions_;
    UINT taskbarCreated_;
    std::array<HICON, 4> icons_ {};  // by TrayColour
    TrayState state_;
    bool added_ = false;
};

}  // namespace vellomar
