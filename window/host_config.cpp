#include "host_config.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <sstream>

#include "text_encoding.h"

namespace vellomar {

namespace {

// Kept on purpose: older host files carry short leftovers that the monitor has
// always passed over, and no line naming a host and its address is that short.
constexpr size_t kShortLineLength = 5;

// A line ends at CR LF, at a lone CR, or at a lone LF (files written on Linux).
std::optional<std::string> ReadLine(std::istream& in)
{
    std::string line;
    std::streambuf* buffer = in.rdbuf();
    for (;;) {
        int c = buffer->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            if (line.empty())
                return std::nullopt;
            return line;
        }
        if (c == '\n')
            return line;
        if (c == '\r') {
            if (buffer->sgetc() == '\n')
                buffer->sbumpc();
            return line;
        }
        line.push_back(static_cast<char>(c));
    }
}

// Only spaces are trimmed; a tab is an ordinary character.
std::string_view TrimSpaces(std::string_view text)
{
    size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

size_t CharacterCount(std::string_view utf8)
{
    size_t count = 0;
    for (unsigned char c : utf8)
        count += (c & 0xC0) != 0x80;
    return count;
}

std::string_view WithoutUtf8ByteOrderMark(std::string_view line)
{
    constexpr std::string_view kMark = "\xEF\xBB\xBF";
    if (line.substr(0, kMark.size()) == kMark)
        line.remove_prefix(kMark.size());
    return line;
}

bool IsDecimalByte(std::string_view part)
{
    if (part.empty() || part.size() > 3 || (part.size() > 1 && part.front() == '0'))
        return false;
    if (!std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    return std::stoi(std::string(part)) <= 255;
}

bool IsDottedDecimalAddress(std::string_view address)
{
    for (int part = 0; part < 4; ++part) {
        const size_t dot = part < 3 ? address.find('.') : address.size();
        if (dot == std::string_view::npos || !IsDecimalByte(address.substr(0, dot)))
            return false;
        address.remove_prefix(std::min(dot + 1, address.size()));
    }
    return true;
}

}  // namespace

platform::Outcome<std::string> CheckHostLine(std::string_view line)
{
    using platform::Failure;
    if (line.find_first_of("\r\n") != std::string_view::npos)
        return Failure {"a host line is one line"};
    std::istringstream in {std::string(line)};
    const HostConfig read = ReadHostConfig(in);
    if (read.outcome == HostConfig::Outcome::NoHostLine)
        return Failure {"the monitor skips it as a comment (;) or a line of five characters or fewer"};
    if (read.outcome == HostConfig::Outcome::Failed)
        return Failure {"no comma between the name and the address"};
    if (read.hostName.empty())
        return Failure {"the name before the comma is empty"};
    // Only the file's very first bytes may be a byte order mark; anywhere else it is read as part of the name.
    if (read.hostName.starts_with("\xEF\xBB\xBF"))
        return Failure {"the name starts with an invisible byte order mark"};
    if (!IsDottedDecimalAddress(read.address))
        return Failure {"\"" + read.address +
                        "\" is not an IPv4 address of four numbers 0-255 with dots, as 192.0.2.1"};
    return read.hostName + ", " + read.address;
}

std::string IniTextToUtf8(std::string_view bytes)
{
    bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii)
        return std::string(bytes);
    if (auto utf8 = platform::DecodeToUtf8(bytes, platform::Encoding::Utf8))
        return *utf8;
    if (auto cp1250 = platform::DecodeToUtf8(bytes, platform::Encoding::Windows1250))
        return *cp1250;
    return std::string(bytes);
}

HostConfig ReadHostConfig(std::istream& in)
{
    bool firstLine = true;
    while (std::optional<std::string> raw = ReadLine(in)) {
        std::string_view bytes = *raw;
        if (firstLine)
            bytes = WithoutUtf8ByteOrderMark(bytes);
        firstLine = false;
        std::string line = IniTextToUtf8(bytes);
        std::string_view trimmed = TrimSpaces(line);
        if (CharacterCount(trimmed) <= kShortLineLength || trimmed.front() == ';')
            continue;
        size_t comma = trimmed.find(',');
        if (comma == std::string_view::npos)
            return {HostConfig::Outcome::Failed, {}, {}};
        return {HostConfig::Outcome::HostLine, std::string(TrimSpaces(trimmed.substr(0, comma))),
                std::string(TrimSpaces(trimmed.substr(comma + 1)))};
    }
    if (in.bad())
        return {HostConfig::Outcome::Failed, {}, {}};
    return {HostConfig::Outcome::NoHostLine, {}, {}};
}

HostConfig ReadHostConfig(const std::filesystem::path& file)
{
    // Anything but a regular file (a folder, a pipe that would block) is unreadable here.
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error))
        return {HostConfig::Outcome::Failed, {}, {}};
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return {HostConfig::Outcome::Failed, {}, {}};
    return ReadHostConfig(in);
}

}  // namespace vellomar
