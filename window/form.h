// The monitor's window as it was drawn: its title, its size and its controls
// with their design captions and places, in twips. Both faces build their
// window from this one description.
#pragma once

#include <array>
#include <string_view>

#include "window_face.h"

namespace vellomar::form {

inline constexpr std::string_view kTitle = "Vellomar & logging";
inline constexpr int kTwipsPerPixel = 15;  // at 96 dpi
inline constexpr int kClientWidth = 8640;  // twips
inline constexpr int kClientHeight = 4515;

enum class Kind { PushButton, Label, ListBox };

// The controls by name, in their tab order.
enum class Id { cmdStart, lblIPAddress, List1, cmdStop, lblOutFile, lblHostName, cmdHelp };

struct Control {
    Id id;
    Kind kind;
    std::string_view name;
    std::string_view caption;      // UTF-8; none for the list
    int left, top, width, height;  // twips
};

inline constexpr std::array<Control, 7> kControls {{
    {Id::cmdStart, Kind::PushButton, "cmdStart", "Start", 6600, 120, 615, 375},
    {Id::lblIPAddress, Kind::Label, "lblIPAddress", "IP", 120, 480, 4455, 315},
    {Id::List1, Kind::ListBox, "List1", "", 120, 1440, 8415, 2985},
    {Id::cmdStop, Kind::PushButton, "cmdStop", "Stop", 7320, 120, 615, 375},
    {Id::lblOutFile, Kind::Label, "lblOutFile", "lblOutFile", 120, 960, 8535, 255},
    {Id::lblHostName, Kind::Label, "lblHostName", "Host", 120, 120, 4455, 375},
    {Id::cmdHelp, Kind::PushButton, "cmdHelp", "Help", 8040, 120, 495, 375},
}};

inline constexpr std::size_t kControlCount = kControls.size();

constexpr std::size_t IndexOf(Id id)
{
    return static_cast<std::size_t>(id);
}

constexpr Id LabelId(Label label)
{
    switch (label) {
    case Label::HostName:
        return Id::lblHostName;
    case Label::IPAddress:
        return Id::lblIPAddress;
    case Label::OutFile:
        break;
    }
    return Id::lblOutFile;
}

// Every control sits at the index of its Id, so that a face can keep its
// widgets in an array in the same order.
static_assert([] {
    for (std::size_t i = 0; i < kControls.size(); ++i)
        if (IndexOf(kControls[i].id) != i)
            return false;
    return true;
}());

}  // namespace vellomar::form
