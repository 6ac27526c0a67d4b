// Windows speaks UTF-16 in its W functions; the program keeps UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace vellomar::platform {

std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);

}  // namespace vellomar::platform
