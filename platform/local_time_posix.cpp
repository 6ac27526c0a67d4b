#include "local_time.h"

namespace vellomar::platform {

std::tm LocalTime(std::time_t time)
{
    std::tm local {};
    ::localtime_r(&time, &local);
    return local;
}

}  // namespace vellomar::platform
