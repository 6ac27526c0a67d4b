#include "win32_window.h"

#include <string_view>
#include <utility>

#include <shellapi.h>

#include "wide_text.h"

namespace vellomar {

namespace {

constexpr wchar_t kWindowClass[] = L"VellomarWindow";
constexpr int kIconResource = 1;
constexpr UINT_PTR kTimer1 = 1;
// Tells the window's thread that closures wait in its queue.
constexpr UINT kRunPostedClosures = WM_APP + 1;

// A control's command id is its place in the form, past the ids Windows keeps.
constexpr int kFirstControlId = 101;

int CommandId(form::Id id)
{
    return kFirstControlId + static_cast<int>(form::IndexOf(id));
}

std::wstring Wide(std::string_view utf8)
{
    return platform::Utf8ToWide(std::string(utf8));
}

struct ControlClass {
    const wchar_t* name;
    DWORD style;
};

ControlClass ClassOf(form::Kind kind)
{
    switch (kind) {
    case form::Kind::PushButton:
        return {L"BUTTON", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON};
    case form::Kind::Label:
        return {L"STATIC", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX};  // '&' in a host name is shown
    case form::Kind::ListBox:
        break;
    }
    return {L"LISTBOX", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | WS_VSCROLL | LBS_NOINTEGRALHEIGHT};
}

// The layout was drawn in twips: 1440 to the inch, 15 to a pixel at 96 dpi.
int TwipsToPixels(int twips, UINT dpi)
{
    return MulDiv(twips, static_cast<int>(dpi), 1440);
}

// The system's message font at the window's DPI: the platform's default look.
HFONT MessageFont(UINT dpi)
{
    NONCLIENTMETRICSW metrics {};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi))
        return nullptr;
    return CreateFontIndirectW(&metrics.lfMessageFont);
}

}  // namespace

void Win32Window::RegisterWindowClass(HINSTANCE instance)
{
    WNDCLASSEXW windowClass {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Win32Window::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    windowClass.hIconSm =
        static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExW(&windowClass);
}

Win32Window::Win32Window(HINSTANCE instance, WindowSeams seams) : instance_(instance)
{
    RegisterWindowClass(instance);
    constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;  // fixed size
    window_ = CreateWindowExW(0, kWindowClass, Wide(form::kTitle).c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, this);
    if (!window_) {
        made_ = platform::SystemFailure("CreateWindowExW");
        return;
    }
    CreateControls();
    LayOut(GetDpiForWindow(window_));
    const std::filesystem::path programFolder = seams.programFolder;
    logic_ = std::make_unique<WindowLogic>(static_cast<WindowFace&>(*this), std::move(seams));
    tray_ = std::make_unique<Win32Tray>(window_, programFolder, [this, programFolder](tray_menu::Action action) {
        Choose(action, *logic_, *this, programFolder);
    });
}

void Win32Window::ShowAtStart(int show, StartShow how)
{
    if (how == StartShow::Window)
        ::ShowWindow(window_, show);
    else if (how == StartShow::Minimised)
        ::ShowWindow(window_, SW_SHOWMINNOACTIVE);
    UpdateWindow(window_);
}

Win32Window::~Win32Window()
{
    logic_.reset();
    if (window_ && IsWindow(window_))
        DestroyWindow(window_);
    if (font_)
        DeleteObject(font_);
}

void Win32Window::ShowAndRaise()
{
    Post([this] {
        ::ShowWindow(window_, IsIconic(window_) ? SW_RESTORE : SW_SHOW);
        SetForegroundWindow(window_);
    });
}

// Controls in their tab order: the order of creation is the order of Tab.
void Win32Window::CreateControls()
{
    for (const form::Control& control : form::kControls) {
        const ControlClass controlClass = ClassOf(control.kind);
        controls_[form::IndexOf(control.id)] = CreateWindowExW(
            0, controlClass.name, Wide(control.caption).c_str(), controlClass.style, 0, 0, 0, 0, window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(CommandId(control.id))), instance_, nullptr);
    }
    List1 = controls_[form::IndexOf(form::Id::List1)];
}

// Sizes the window and places every control for the monitor's DPI.
void Win32Window::LayOut(UINT dpi)
{
    RECT frame {0, 0, TwipsToPixels(form::kClientWidth, dpi), TwipsToPixels(form::kClientHeight, dpi)};
    AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE)), FALSE,
                             static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_EXSTYLE)), dpi);
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    HFONT font = MessageFont(dpi);
    for (const form::Control& c : form::kControls) {
        HWND handle = controls_[form::IndexOf(c.id)];
        MoveWindow(handle, TwipsToPixels(c.left, dpi), TwipsToPixels(c.top, dpi), TwipsToPixels(c.width, dpi),
                   TwipsToPixels(c.height, dpi), TRUE);
        SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    if (font_)
        DeleteObject(font_);
    font_ = font;
}

// Messages reach the window logic only once it exists.
LRESULT CALLBACK Win32Window::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self || !self->logic_)
        return DefWindowProcW(window, message, wParam, lParam);
    return self->OnMessage(message, wParam, lParam);
}

LRESULT Win32Window::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (tray_ && tray_->OnMessage(message, wParam, lParam))
        return 0;
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED)
            OnCommand(LOWORD(wParam));
        return 0;
    case WM_TIMER:
        if (wParam == kTimer1)
            logic_->Timer1_Timer();
        return 0;
    case kRunPostedClosures:
        RunPostedClosures();
        return 0;
    case WM_DPICHANGED: {
        LayOut(HIWORD(wParam));
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_SETFOCUS:  // the window hands its focus on to the first control in tab order
        SetFocus(GetNextDlgTabItem(window_, nullptr, FALSE));
        return 0;
    case WM_SIZE:
        if (HidesWhenMinimised(wParam == SIZE_MINIMIZED, TrayShown()))
            ::ShowWindow(window_, SW_HIDE);
        return 0;
    case WM_DESTROY:
        tray_.reset();
        KillTimer(window_, kTimer1);
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window_, message, wParam, lParam);
    }
}

void Win32Window::OnCommand(int id)
{
    if (id == CommandId(form::Id::cmdStart))
        logic_->cmdStart_Click();
    else if (id == CommandId(form::Id::cmdStop))
        logic_->cmdStop_Click();
    else if (id == CommandId(form::Id::cmdHelp))
        logic_->cmdHelp_Click();
}

// A closure may open a modal box whose loop runs the next wake-up; each
// closure is taken off the queue before it runs, so the order holds.
void Win32Window::RunPostedClosures()
{
    for (;;) {
        std::function<void()> next;
        {
            std::lock_guard lock(postedMutex_);
            if (posted_.empty())
                return;
            next = std::move(posted_.front());
            posted_.pop_front();
        }
        next();
    }
}

// IsDialogMessageW gives the window Tab and Shift+Tab between its controls.
bool Win32Window::DispatchOne(MSG& message)
{
    if (message.message == WM_QUIT)
        return false;
    if (!IsDialogMessageW(window_, &message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return true;
}

int Win32Window::RunMessageLoop()
{
    MSG message {};
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchOne(message);
    return static_cast<int>(message.wParam);
}

// The closures live in the window's own queue; the message only wakes the
// window's thread, so a full message queue delays a closure but never loses it.
void Win32Window::Post(std::function<void()> closure)
{
    {
        std::lock_guard lock(postedMutex_);
        posted_.push_back(std::move(closure));
    }
    PostMessageW(window_, kRunPostedClosures, 0, 0);
}

void Win32Window::ShowTrayState(const TrayState& state)
{
    if (tray_)
        tray_->Show(state);
}

void Win32Window::Notify(const std::string& title, const std::string& text)
{
    if (tray_)
        tray_->Notify(title, text);
}

void Win32Window::ShowWindow()
{
    tray_->ShowWindow();
}

platform::Done Win32Window::OpenInDesktop(const std::filesystem::path& path)
{
    // ShellExecuteW tells of failure by a value of 32 or less, and GetLastError says why.
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(window_, L"open", path.wstring().c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32)
        return platform::SystemFailure("ShellExecuteW");
    return {};
}

void Win32Window::EndProgram()
{
    PostMessageW(window_, WM_CLOSE, 0, 0);
}

HWND Win32Window::LabelFor(Label label) const
{
    return controls_[form::IndexOf(form::LabelId(label))];
}

std::string Win32Window::Caption(Label label) const
{
    HWND control = LabelFor(label);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return platform::WideToUtf8(text);
}

void Win32Window::SetCaption(Label label, const std::string& caption)
{
    SetWindowTextW(LabelFor(label), platform::Utf8ToWide(caption).c_str());
}

int Win32Window::ListCount() const
{
    return static_cast<int>(SendMessageW(List1, LB_GETCOUNT, 0, 0));
}

void Win32Window::ListClear()
{
    SendMessageW(List1, LB_RESETCONTENT, 0, 0);
}

void Win32Window::ListAddItem(const std::string& item)
{
    const std::wstring text = platform::Utf8ToWide(item);
    const LRESULT index = SendMessageW(List1, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (index >= 0)
        SendMessageW(List1, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);  // keep the newest line in view
}

void Win32Window::SetTimerInterval(int milliseconds)
{
    timerInterval_ = milliseconds;
    ApplyTimer();
}

void Win32Window::SetTimerEnabled(bool enabled)
{
    timerEnabled_ = enabled;
    ApplyTimer();
}

// SetTimer on a running timer restarts it: the next tick is a whole period away.
void Win32Window::ApplyTimer()
{
    if (timerEnabled_ && timerInterval_ > 0)
        SetTimer(window_, kTimer1, static_cast<UINT>(timerInterval_), nullptr);
    else
        KillTimer(window_, kTimer1);
}

void Win32Window::ShowMessageBox(const std::string& text, const std::string& caption)
{
    MessageBoxW(window_, platform::Utf8ToWide(text).c_str(), platform::Utf8ToWide(caption).c_str(), MB_OK);
}

}  // namespace vellomar
