#pragma once

#include <QIcon>

namespace vellomar {

// The application icon, drawn at 16, 32, 48 and 256 pixels.
QIcon AppIcon();

}  // namespace vellomar
