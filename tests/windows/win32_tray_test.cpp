// The tray icon through the real Shell_NotifyIconW, on a window of the test's own.
#include "win32_tray_internals.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "app_icon_image.h"

namespace vellomar {
namespace {

Win32Tray* tray = nullptr;

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (tray && tray->OnMessage(message, wParam, lParam))
        return 0;
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeWindow()
{
    WNDCLASSW windowClass {};
    windowClass.lpfnWndProc = TestWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VellomarTrayTest";
    RegisterClassW(&windowClass);
    return CreateWindowExW(0, L"VellomarTrayTest", L"tray test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                           windowClass.hInstance, nullptr);
}

// The icon's colour image as RGBA rows from the top, as it was drawn.
std::vector<uint8_t> IconPixels(HICON icon, int& size)
{
    ICONINFO info {};
    if (!GetIconInfo(icon, &info))
        return {};
    BITMAP bitmap {};
    GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
    size = bitmap.bmWidth;
    BITMAPINFO format {};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<uint8_t> pixels(static_cast<size_t>(size) * size * 4);
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, info.hbmColor, 0, size, pixels.data(), &format, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    for (size_t i = 0; i < pixels.size(); i += 4)
        std::swap(pixels[i], pixels[i + 2]);  // blue first on the screen
    return pixels;
}

TEST(Win32Tray, ShowsEachStateClicksShowOrHideTheWindowAndComesBackWithTheTaskbar)
{
    const HWND window = MakeWindow();
    ASSERT_TRUE(window);
    std::shared_ptr<void> destroyLast(nullptr, [&](void*) { tray = nullptr, DestroyWindow(window); });
    int chosen = 0;
    Win32Tray icon(window, "C:\\Vellomar", [&](tray_menu::Action) { ++chosen; });
    tray = &icon;
    ASSERT_TRUE(icon.Added()) << "the taskbar took no icon";
    for (auto [colour, tint] : {std::pair(TrayColour::Green, IconTint::Green),
                                {TrayColour::Red, IconTint::Red},
                                {TrayColour::Amber, IconTint::Amber},
                                {TrayColour::Grey, IconTint::Grey}}) {
        EXPECT_TRUE(icon.Show({colour, "Zanka (127.0.0.1)\nOdgovor v 3 ms, 2015/01/26 10:00:00"}));
        int size = 0;
        const std::vector<uint8_t> shown = IconPixels(ShownIcon(icon), size);
        ASSERT_GT(size, 0);
        EXPECT_EQ(shown, DrawAppIcon(size, tint).pixels) << static_cast<int>(colour);
    }
    // A tooltip longer than the shell keeps is cut, not refused.
    EXPECT_TRUE(icon.Show({TrayColour::Red, std::string(300, 'x') + "Čas"}));
    EXPECT_TRUE(icon.Notify("Prekinitev povezave", "Zanka (127.0.0.1): ni odgovora od 2015/01/26 10:00:10."));

    auto click = [&] { SendMessageW(window, Win32Tray::kCallbackMessage, 0, MAKELPARAM(NIN_SELECT, 1)); };
    ASSERT_FALSE(IsWindowVisible(window));
    click();
    EXPECT_TRUE(IsWindowVisible(window)) << "hidden: shown";
    click();
    EXPECT_FALSE(IsWindowVisible(window)) << "in front: hidden";
    click();
    ShowWindow(window, SW_MINIMIZE);
    click();
    EXPECT_TRUE(IsWindowVisible(window) && !IsIconic(window)) << "minimised: restored";

    // Another window over it: the click brings it to the front instead.
    HWND cover = MakeWindow();
    ShowWindow(cover, SW_SHOWNOACTIVATE);
    SetWindowPos(cover, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    click();
    EXPECT_TRUE(IsWindowVisible(window)) << "covered: still shown";
    bool windowAbove = false;
    for (HWND w = GetWindow(cover, GW_HWNDPREV); w; w = GetWindow(w, GW_HWNDPREV))
        windowAbove = windowAbove || w == window;
    EXPECT_TRUE(windowAbove) << "covered: raised above the other window";
    DestroyWindow(cover);
    EXPECT_EQ(chosen, 0) << "a click chooses nothing from the menu";

    SendMessageW(window, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(icon.Added()) << "back with a new taskbar";
    EXPECT_TRUE(icon.Show({TrayColour::Green, "again"}));
}

}  // namespace
}  // namespace vellomar
