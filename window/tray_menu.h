// The tray icon's menu as both faces show it: its items in order, their texts
// and what each asks for.
#pragma once

#include <array>
#include <string_view>

namespace vellomar::tray_menu {

enum class Action { ShowWindow, Start, Stop, OpenPage, OpenFolder, End, Separator };

struct Item {
    Action action;
    std::string_view text;  // UTF-8; none for a separator
};

inline constexpr std::array<Item, 9> kItems {{
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
