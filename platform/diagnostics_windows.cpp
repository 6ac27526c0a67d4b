#include "diagnostics.h"
#include "outcome.h"

#include <windows.h>

#include "wide_text.h"

namespace vellomar::platform {

void ExplainProblem(std::string_view utf8)
{
    std::wstring line = L"vellomar: " + Utf8ToWide(utf8) + L"\n";
    ::OutputDebugStringW(line.c_str());
}

std::string LastErrorText()
{
    const DWORD error = ::GetLastError();
    wchar_t* text = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text, length);
    ::LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.'))
        message.pop_back();
    return WideToUtf8(message) + " (error " + std::to_string(error) + ")";
}

Failure SystemFailure(std::string_view what)
{
    std::string why = LastErrorText();  // first, before anything else can change the error
    return {std::string(what) + ": " + why};
}

}  // namespace vellomar::platform
