#include "line_reader.h"

#include <cstdint>

namespace vellomar::report {
namespace {

constexpr std::uintptr_t kPage = 4096;

}  // namespace

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
