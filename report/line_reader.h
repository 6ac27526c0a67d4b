// Reads text files line by line through one fixed buffer, reused from file to
// file, so that memory stays the same however long the files are.
#pragma once

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>

#include "unique_fd.h"

namespace vellomar::report {

class LineReader {
public:
    static constexpr std::size_t kDefaultCapacity = 256 * 1024;

    explicit LineReader(std::size_t capacity = kDefaultCapacity);

    // Calls onLine(std::string_view) for every line of file, without its "\n"
    // or "\r\n"; a last line without a line ending is passed too. A line that
    // does not fit in the buffer is passed over whole (no probe record is that
    // long). False when the file cannot be opened or read.
    template <class OnLine>
    bool ReadFile(const std::filesystem::path& file, OnLine&& onLine);

private:
    static UniqueFd Open(const std::filesystem::path& file);
    // Bytes read into the buffer at offset, 0 at the end, -1 on failure.
    long ReadInto(int fd, std::size_t offset);
    static std::string_view Line(const char* begin, const char* newline)
    {
        const char* end = newline;
        if (end > begin && end[-1] == '\r') {
            --end;
        }
        return std::string_view(begin, static_cast<std::size_t>(end - begin));
    }

    std::size_t capacity_;
    std::unique_ptr<char[]> buffer_;
};

template <class OnLine>
bool LineReader::ReadFile(const std::filesystem::path& file, OnLine&& onLine)
{
    const UniqueFd fd = Open(file);
    if (!fd) {
        return false;
    }
    std::size_t kept = 0;   // the unfinished line at the front of the buffer
    bool overlong = false;  // inside a line longer than the buffer
    for (;;) {
        const long count = ReadInto(fd.Get(), kept);
        if (count < 0) {
            return false;
        }
        if (count == 0) {
            break;
        }
        const char* begin = buffer_.get();
        const char* const end = begin + kept + count;
        const char* scan = begin + kept;  // the kept part holds no newline
        while (const auto* newline = static_cast<const char*>(std::memchr(scan, '\n', end - scan))) {
            if (!overlong) {
                onLine(Line(begin, newline));
            }
            overlong = false;
            begin = scan = newline + 1;
        }
        kept = end - begin;
        if (kept == capacity_) {
            overlong = true;
            kept = 0;
        } else {
            std::memmove(buffer_.get(), begin, kept);
        }
    }
    if (kept > 0 && !overlong) {
        onLine(Line(buffer_.get(), buffer_.get() + kept));
    }
    return true;
}

}  // namespace vellomar::report
