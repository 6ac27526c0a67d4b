#include "line_reader.h"

#include <cstdint>
#include <cstring>

namespace vellomar::report {
namespace {

constexpr std::uintptr_t kPage = 4096;

}  // namespace

// Eight bytes at a time: a byte of x is zero exactly where the word held a
// newline, and the sum below sets its high bit exactly for those bytes; the
// multiplication adds up the bytes' ones in the top byte.
std::int64_t LineReader::CountNewlines(const char* from, const char* end)
{
    constexpr std::uint64_t kNewlines = 0x0a0a0a0a0a0a0a0aULL, kLow7 = 0x7f7f7f7f7f7f7f7fULL;
    std::int64_t count = 0;
    for (; end - from >= 8; from += 8) {
        std::uint64_t word;
        std::memcpy(&word, from, sizeof word);
        const std::uint64_t x = word ^ kNewlines;
        const std::uint64_t found = ~(((x & kLow7) + kLow7) | x | kLow7) >> 7;  // 1 in each such byte
        count += static_cast<std::int64_t>((found * 0x0101010101010101ULL) >> 56);
    }
    for (; from != end; ++from) {
        count += *from == '\n';
    }
    return count;
}

// Reads copy from the file's pages, which start on page boundaries, to the
// buffer; most of them land at the buffer's start or a few bytes after it.
// When that is also just past a page boundary, the processor takes the loads
// of the copy for reloads of its own recent stores (4K aliasing) and copies
// at half speed or worse. Half a page away from the boundary it does not.
LineReader::LineReader(std::size_t capacity) : capacity_(capacity), storage_(new char[capacity + 2 * kPage])
{
    const auto start = reinterpret_cast<std::uintptr_t>(storage_.get());
    buffer_ = storage_.get() + ((kPage + kPage / 2 - start % kPage) % kPage);
}

}  // namespace vellomar::report
