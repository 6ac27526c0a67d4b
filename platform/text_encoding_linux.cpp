#include "text_encoding.h"

#include <iconv.h>

namespace vellomar::platform {

namespace {

const char* IconvName(Encoding encoding)
{
    return encoding == Encoding::Utf8 ? "UTF-8" : "WINDOWS-1250";
}

}  // namespace

std::optional<std::string> DecodeToUtf8(std::string_view bytes, Encoding encoding)
{
    iconv_t converter = iconv_open("UTF-8", IconvName(encoding));
    if (converter == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out(bytes.size() * 3 + 4, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    const size_t result = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(converter);
    if (result == static_cast<size_t>(-1))
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace vellomar::platform
