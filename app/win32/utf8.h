// UTF-8, the window logic's text, to and from UTF-16, the W functions' text.
#pragma once

#include <string>
#include <string_view>

namespace vellomar {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

}  // namespace vellomar
