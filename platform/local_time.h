// The calendar time in the user's own time zone.
#pragma once

#include <ctime>

namespace vellomar::platform {

std::tm LocalTime(std::time_t time);

}  // namespace vellomar::platform
