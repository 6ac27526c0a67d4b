#include "privileges.h"

#include <sys/capability.h>

namespace vellomar::platform {

bool DropPrivileges()
{
    cap_t none = ::cap_init();
    if (none == nullptr)
        return false;
    const bool dropped = ::cap_set_proc(none) == 0;
    ::cap_free(none);
    return dropped;
}

}  // namespace vellomar::platform
