#include "win32_tray.h"

#include <windowsx.h>

#include <algorithm>
#include <cwchar>
#include <utility>

#include "app_icon_image.h"
#include "tray_rules.h"
#include "tray_tint.h"
#include "wide_text.h"

namespace vellomar {

namespace {

constexpr UINT kIconId = 1;

// A menu item's command id is its place in the menu, counted from 1: 0 is no choice.
constexpr UINT MenuId(size_t index)
{
    return static_cast<UINT>(index + 1);
}

// The drawing as a 32-bit icon with its own alpha: Windows wants the rows
// bottom-up, blue first.
HICON MakeIcon(const RgbaImage& image)
{
    BITMAPV5HEADER header {};
    header.bV5Size = sizeof header;
    header.bV5Width = image.width;
    header.bV5Height = image.height;
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_BITFIELDS;
    header.bV5RedMask = 0x00ff0000;
    header.bV5GreenMask = 0x0000ff00;
    header.bV5BlueMask = 0x000000ff;
    header.bV5AlphaMask = 0xff000000;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP colour =
        CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    if (!colour)
        return nullptr;
    auto* out = static_cast<uint8_t*>(bits);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* in = image.Pixel(x, image.height - 1 - y);
            uint8_t* pixel = out + (static_cast<size_t>(y) * image.width + x) * 4;
            pixel[0] = in[2];
            pixel[1] = in[1];
            pixel[2] = in[0];
            pixel[3] = in[3];
        }
    }
    HBITMAP mask = CreateBitmap(image.width, image.height, 1, 1, nullptr);
    ICONINFO info {TRUE, 0, 0, mask, colour};
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(mask);
    DeleteObject(colour);
    return icon;
}

// Copies text into a fixed field, cut short where it does not fit, never
// between the two halves of a surrogate pair.
template <size_t N> void CopyField(wchar_t (&field)[N], const std::string& text)
{
    std::wstring wide = platform::Utf8ToWide(text);
    if (wide.size() >= N) {
        size_t keep = N - 2;
        if (keep > 0 && wide[keep - 1] >= 0xd800 && wide[keep - 1] <= 0xdbff)
            --keep;
        wide = wide.substr(0, keep) + L"\u2026";
    }
    std::wcsncpy(field, wide.c_str(), N - 1);
    field[N - 1] = L'\0';
}

}  // namespace

Win32Tray::Win32Tray(HWND window, std::filesystem::path programFolder, MenuChoice choose)
    : window_(window), programFolder_(std::move(programFolder)), choose_(std::move(choose)),
      taskbarCreated_(RegisterWindowMessageW(L"TaskbarCreated"))
{
    const int size = GetSystemMetrics(SM_CXSMICON);
    for (TrayColour colour : {TrayColour::Grey, TrayColour::Green, TrayColour::Amber, TrayColour::Red})
        icons_[static_cast<size_t>(colour)] = MakeIcon(DrawAppIcon(size, TintFor(colour)));
    state_.tooltip = "Vellomar";
    added_ = Add();
}

Win32Tray::~Win32Tray()
{
    if (added_) {
        NOTIFYICONDATAW data = Data(0);
        Shell_NotifyIconW(NIM_DELETE, &data);
    }
    for (HICON icon : icons_)
        if (icon)
            DestroyIcon(icon);
}

NOTIFYICONDATAW Win32Tray::Data(UINT flags) const
{
    NOTIFYICONDATAW data {};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = kIconId;
    data.uFlags = flags;
    return data;
}

bool Win32Tray::Add()
{
    NOTIFYICONDATAW data = Data(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP);
    data.uCallbackMessage = kCallbackMessage;
    data.hIcon = CurrentIcon();
    CopyField(data.szTip, state_.tooltip);
    if (!Shell_NotifyIconW(NIM_ADD, &data))
        return false;
    data.uVersion = NOTIFYICON_VERSION_4;
    return Shell_NotifyIconW(NIM_SETVERSION, &data);
}

bool Win32Tray::Show(const TrayState& state)
{
    state_ = state;
    if (!added_)
        return false;
    NOTIFYICONDATAW data = Data(NIF_ICON | NIF_TIP | NIF_SHOWTIP);
    data.hIcon = CurrentIcon();
    CopyField(data.szTip, state_.tooltip);
    return Shell_NotifyIconW(NIM_MODIFY, &data);
}

bool Win32Tray::Notify(const std::string& title, const std::string& text)
{
    if (!added_)
        return false;
    NOTIFYICONDATAW data = Data(NIF_INFO);
    CopyField(data.szInfoTitle, title);
    CopyField(data.szInfo, text);
    data.dwInfoFlags = state_.colour == TrayColour::Red ? NIIF_WARNING : NIIF_INFO;
    return Shell_NotifyIconW(NIM_MODIFY, &data);
}

bool Win32Tray::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    // Sent when Explorer has started again, with our icon gone, and on some
    // changes of the display with it still there: the icon is put back afresh.
    if (message == taskbarCreated_) {
        NOTIFYICONDATAW data = Data(0);
        Shell_NotifyIconW(NIM_DELETE, &data);
        added_ = Add();
        return true;
    }
    if (message != kCallbackMessage)
        return false;
    // Version 4: the event in the low word, the anchor point in wParam.
    switch (LOWORD(lParam)) {
    case NIN_SELECT:
    case NIN_KEYSELECT:
        Toggle();
        break;
    case WM_CONTEXTMENU:
        ShowMenu({GET_X_LPARAM(wParam), GET_Y_LPARAM(wParam)});
        break;
    default:
        break;
    }
    return true;
}

void Win32Tray::ShowWindow()
{
    ::ShowWindow(window_, IsIconic(window_) || !IsWindowVisible(window_) ? SW_RESTORE : SW_SHOW);
    // On top of the others even where the system refuses it the focus.
    SetWindowPos(window_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(window_);
}

// A click on the notification area makes the taskbar the foreground window,
// so "in front" is read from the stacking order instead: no ordinary window
// above this one covers any of it.
bool Win32Tray::InFront() const
{
    if (!IsWindowVisible(window_) || IsIconic(window_))
        return false;
    RECT own {};
    GetWindowRect(window_, &own);
    for (HWND above = GetWindow(window_, GW_HWNDPREV); above; above = GetWindow(above, GW_HWNDPREV)) {
        const auto extended = GetWindowLongPtrW(above, GWL_EXSTYLE);
        if (!IsWindowVisible(above) || IsIconic(above) || (extended & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW)))
            continue;  // the taskbar, tooltips and other windows that stay on top of everything
        RECT other {}, overlap {};
        GetWindowRect(above, &other);
        if (IntersectRect(&overlap, &own, &other))
            return false;
    }
    return true;
}

void Win32Tray::Toggle()
{
    const WindowStanding standing {IsWindowVisible(window_) != FALSE, IsIconic(window_) != FALSE, InFront()};
    if (AnswerToClick(standing) == ClickAnswer::HideWindow)
        ::ShowWindow(window_, SW_HIDE);
    else
        ShowWindow();
}

std::string Win32Tray::ItemText(const tray_menu::Item& item) const
{
    return item.action == tray_menu::Action::State ? StateItemText(state_.tooltip) : std::string(item.text);
}

void Win32Tray::ShowMenu(POINT at)
{
    HMENU menu = CreatePopupMenu();
    for (size_t i = 0; i < tray_menu::kItems.size(); ++i) {
        const tray_menu::Item& item = tray_menu::kItems[i];
        if (item.action == tray_menu::Action::Separator)
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        else
            AppendMenuW(menu, MF_STRING | (ItemEnabled(item.action, programFolder_) ? 0 : MF_GRAYED), MenuId(i),
                        platform::Utf8ToWide(ItemText(item)).c_str());
    }
    SetForegroundWindow(window_);  // so that the menu closes when the user clicks elsewhere
    const UINT chosen = static_cast<UINT>(TrackPopupMenuEx(
        menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON | TPM_BOTTOMALIGN, at.x, at.y, window_, nullptr));
    DestroyMenu(menu);
    for (size_t i = 0; i < tray_menu::kItems.size(); ++i)
        if (chosen == MenuId(i))
            choose_(tray_menu::kItems[i].action);
}

HICON ShownIcon(const Win32Tray& tray)
{
    return tray.CurrentIcon();
}

}  // namespace vellomar
