#include "text_encoding.h"

#include <windows.h>

#include "wide_text.h"

namespace vellomar::platform {

namespace {

constexpr UINT kCodePageWindows1250 = 1250;

// Nothing when bytes are not valid in codePage.
std::optional<std::wstring> ToWide(std::string_view bytes, UINT codePage, DWORD flags)
{
    if (bytes.empty())
        return std::wstring();
    const int size = static_cast<int>(bytes.size());
    const int length = ::MultiByteToWideChar(codePage, flags, bytes.data(), size, nullptr, 0);
    if (length <= 0)
        return std::nullopt;
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(codePage, flags, bytes.data(), size, wide.data(), length);
    return wide;
}

}  // namespace

std::wstring Utf8ToWide(std::string_view utf8)
{
    return ToWide(utf8, CP_UTF8, 0).value_or(std::wstring());
}

std::string WideToUtf8(std::wstring_view wide)
{
    if (wide.empty())
        return {};
    const int size = static_cast<int>(wide.size());
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length > 0 ? length : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

std::optional<std::string> DecodeToUtf8(std::string_view bytes, Encoding encoding)
{
    const UINT codePage = encoding == Encoding::Utf8 ? CP_UTF8 : kCodePageWindows1250;
    std::optional<std::wstring> wide = ToWide(bytes, codePage, MB_ERR_INVALID_CHARS);
    if (!wide)
        return std::nullopt;
    return WideToUtf8(*wide);
}

}  // namespace vellomar::platform
