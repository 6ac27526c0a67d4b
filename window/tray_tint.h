// The icon's tint for each state the tray shows; shared by both faces.
#pragma once

#include "app_icon_image.h"
#include "tray_state.h"

namespace vellomar {

constexpr IconTint TintFor(TrayColour colour)
{
    switch (colour) {
    case TrayColour::Green:
        return IconTint::Green;
    case TrayColour::Red:
        return IconTint::Red;
    case TrayColour::Amber:
        return IconTint::Amber;
    case TrayColour::Grey:
        break;
    }
    return IconTint::Grey;
}

}  // namespace vellomar
