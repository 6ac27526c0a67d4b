// What the tray's tests read back: the icon it last gave the shell.
#pragma once

#include "win32_tray.h"

namespace vellomar {

HICON ShownIcon(const Win32Tray& tray);

}  // namespace vellomar
