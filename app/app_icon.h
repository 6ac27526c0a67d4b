#pragma once

#include <QIcon>

#include "app_icon_image.h"

namespace vellomar {

// The application icon, drawn at 16, 32, 48 and 256 pixels, in its own green
// or in one of the tray's colours.
QIcon AppIcon(IconTint tint = IconTint::Green);

}  // namespace vellomar
