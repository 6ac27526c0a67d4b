// The tray icon's menu as both faces show it: its items in order, their texts
// and what each asks for.
#pragma once

#include <array>
#include <string_view>

namespace vellomar::tray_menu {

// State is the tooltip's text, greyed: desktops that show no tooltips show it there.
enum class Action { State, ShowWindow, Start, Stop, OpenPage, OpenFolder, End, Separator };

struct Item {
    Action action;
    std::string_view text;  // UTF-8; none for a separator or the state
};

inline constexpr std::array<Item, 11> kItems {{
    {Action::State, ""},
    {Action::Separator, ""},
    {Action::ShowWindow, "Pokaži okno"},
    {Action::Separator, ""},
    {Action::Start, "Start"},
    {Action::Stop, "Stop"},
    {Action::Separator, ""},
    {Action::OpenPage, "Odpri pregled prekinitev (ERR_list.html)"},
    {Action::OpenFolder, "Odpri mapo programa"},
    {Action::Separator, ""},
    {Action::End, "Končaj"},
}};

}  // namespace vellomar::tray_menu
