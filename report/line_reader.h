// Reads text files line by line through one fixed buffer, reused from file to
// file, so that memory stays the same however long the files are.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>

#include "files.h"

namespace vellomar::report {

class LineReader {
public:
    static constexpr std::size_t kDefaultCapacity = 256 * 1024;
    // Read in pieces that stay in the processor's cache between the copy
    // from the file and the search for line ends: faster than filling the
    // whole buffer at once.
    static constexpr std::size_t kReadSize = 32 * 1024;
    // What onLine returns when it wants to see every line next.
    static constexpr char kEveryLine = '\n';

    explicit LineReader(std::size_t capacity = kDefaultCapacity);

    // Calls onLine(std::string_view) for the lines of file, without their
    // "\n" or "\r\n"; a last line without a line ending is passed too. A line
    // that does not fit in the buffer is passed over whole (no probe record
    // is that long). onLine returns which lines it needs next: kEveryLine, or
    // a character, and then only lines that hold that character are passed
    // until it asks again. Looking for one character is much faster than
    // splitting every line. onLines(begin, end), when given, is passed every
    // line as well, many at once: whole lines, each ended by '\n' but a last
    // line without a line ending. Fails when the file cannot be opened or read.
    struct NoLines {
        void operator()(const char*, const char*) const {}
    };
    template <class OnLine, class OnLines = NoLines>
    platform::Done ReadFile(const std::filesystem::path& file, OnLine&& onLine, OnLines&& onLines = {});

    // How many lines the last file read held, passed to onLine or not.
    std::int64_t LinesInLastFile() const { return lines_; }

private:
    static std::string_view Line(const char* begin, const char* newline)
    {
        const char* end = newline;
        if (end > begin && end[-1] == '\r') {
            --end;
        }
        return std::string_view(begin, static_cast<std::size_t>(end - begin));
    }
    static std::int64_t CountNewlines(const char* from, const char* end);
    static const char* Find(const char* from, const char* end, char c)
    {
        return static_cast<const char*>(std::memchr(from, c, static_cast<std::size_t>(end - from)));
    }
    // Start of the line that holds at, which lies in a line beginning at or after from.
    static const char* LineStart(const char* from, const char* at)
    {
        while (at > from && at[-1] != '\n') {
            --at;
        }
        return at;
    }
    // Passes the whole lines of [begin, end) that onLine asks for; returns where
    // the unfinished last line begins.
    template <class OnLine> const char* PassLines(const char* begin, const char* end, char& wanted, OnLine& onLine);

    std::size_t capacity_;
    std::int64_t lines_ = 0;
    std::unique_ptr<char[]> storage_;
    char* buffer_;  // within storage_
};

template <class OnLine>
const char* LineReader::PassLines(const char* begin, const char* end, char& wanted, OnLine& onLine)
{
    for (;;) {
        const char* start = begin;
        const char* newline;
        if (wanted == kEveryLine) {
            newline = Find(begin, end, '\n');
        } else {
            const char* const hit = Find(begin, end, wanted);
            if (hit == nullptr) {
                return LineStart(begin, end);  // no line to pass in the rest
            }
            start = LineStart(begin, hit);
            newline = Find(hit, end, '\n');
        }
        if (newline == nullptr) {
            return start;
        }
        wanted = onLine(Line(start, newline));
        begin = newline + 1;
    }
}

template <class OnLine, class OnLines>
platform::Done LineReader::ReadFile(const std::filesystem::path& file, OnLine&& onLine, OnLines&& onLines)
{
    platform::Outcome<platform::File> opened = platform::File::OpenForReading(file);
    lines_ = 0;
    if (!opened) {
        return platform::Failure {opened.Reason()};
    }
    platform::File& input = *opened;
    char wanted = kEveryLine;
    std::size_t kept = 0;   // the unfinished line at the front of the buffer
    bool overlong = false;  // inside a line longer than the buffer
    for (;;) {
        const platform::Outcome<std::size_t> got = input.Read(buffer_ + kept, std::min(capacity_ - kept, kReadSize));
        if (!got) {
            return platform::Failure {got.Reason()};
        }
        const std::size_t count = *got;
        if (count == 0) {
            break;
        }
        const char* begin = buffer_;
        const char* const end = begin + kept + count;
        lines_ += CountNewlines(end - count, end);
        if (overlong) {
            const char* const newline = Find(begin, end, '\n');
            begin = newline == nullptr ? end : newline + 1;
            overlong = newline == nullptr;
        }
        onLines(begin, LineStart(begin, end));
        begin = PassLines(begin, end, wanted, onLine);
        kept = static_cast<std::size_t>(end - begin);
        if (kept == capacity_) {
            overlong = true;
            kept = 0;
        } else {
            std::memmove(buffer_, begin, kept);
        }
    }
    const std::string_view last(buffer_, kept);
    lines_ += kept > 0 || overlong;  // a last line without its line end
    if (kept > 0 && !overlong) {
        onLines(last.data(), last.data() + kept);
    }
    if (kept > 0 && !overlong && (wanted == kEveryLine || last.find(wanted) != last.npos)) {
        onLine(Line(last.data(), last.data() + kept));
    }
    return {};
}

}  // namespace vellomar::report
