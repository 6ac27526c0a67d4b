#include "line_reader.h"

namespace vellomar::report {

LineReader::LineReader(std::size_t capacity) : capacity_(capacity), buffer_(new char[capacity]) {}

}  // namespace vellomar::report
