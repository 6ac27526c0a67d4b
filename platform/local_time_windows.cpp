#include "local_time.h"

namespace vellomar::platform {

std::tm LocalTime(std::time_t time)
{
    std::tm local {};
    ::localtime_s(&local, &time);
    return local;
}

}  // namespace vellomar::platform
