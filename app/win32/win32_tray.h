// The monitor's icon in the notification area of the taskbar: it shows the
// connection's state, brings the window back, and offers the menu of
// tray_menu.h. Shell_NotifyIconW with a version 4 icon.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <array>
#include <filesystem>
#include <functional>
#include <string>

#include "tray_menu.h"
#include "tray_state.h"

namespace vellomar {

// Carries out an item chosen from the menu.
using MenuChoice = std::function<void(tray_menu::Action)>;

class Win32Tray {
public:
    // The icon's messages come to window as kCallbackMessage.
    static constexpr UINT kCallbackMessage = WM_APP + 2;

    Win32Tray(HWND window, std::filesystem::path programFolder, MenuChoice choose);
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

private:
    friend HICON ShownIcon(const Win32Tray& tray);  // win32_tray_internals.h
    HICON CurrentIcon() const { return icons_[static_cast<size_t>(state_.colour)]; }
    bool Add();
    NOTIFYICONDATAW Data(UINT flags) const;
    bool InFront() const;
    void Toggle();
    void ShowMenu(POINT at);
    std::string ItemText(const tray_menu::Item& item) const;

    HWND window_;
    std::filesystem::path programFolder_;
    MenuChoice choose_;
    UINT taskbarCreated_;
    std::array<HICON, 4> icons_ {};  // by TrayColour
    TrayState state_;
    bool added_ = false;
};

}  // namespace vellomar
