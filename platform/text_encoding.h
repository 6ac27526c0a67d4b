// Text in the 8-bit encodings that files written by people arrive in.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vellomar::platform {

enum class Encoding {
    Utf8,
    Windows1250,  // the Central European code page
};

// bytes read as text in encoding, as UTF-8; nothing when they are not valid
// text in that encoding.
std::optional<std::string> DecodeToUtf8(std::string_view bytes, Encoding encoding);

}  // namespace vellomar::platform
