// What the process may do beyond an ordinary user's rights, and how it gives
// that up. One source file per platform implements this header.
#pragma once

namespace vellomar::platform {

// Gives up every privilege the process was started with. False when that
// failed and the process still holds some.
bool DropPrivileges();

}  // namespace vellomar::platform
