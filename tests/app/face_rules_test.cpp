// The rules both faces follow, without a toolkit: the arguments, what a click
// on the tray icon does, and how the window shows at start.
#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "startup.h"
#include "tray_rules.h"

namespace vellomar {
namespace {

TEST(StartArguments, MinimizedAndAHostLineToCheckAreReadOthersIgnored)
{
    using Args = std::vector<std::string>;
    const std::optional<std::string> none;
    for (auto [arguments, minimized, host] :
         {std::tuple {Args {}, false, none},
          {Args {"--minimized"}, true, none},
          {Args {"-minimized", "--Minimized", "--minimised"}, false, none},
          {Args {"x", "--check-host", "A, 1.2.3.4", "--minimized"}, true, "A, 1.2.3.4"},
          {Args {"--check-host", "--minimized"}, false, "--minimized"},
          {Args {"--check-host"}, false, ""}}) {
        const StartArguments read = ReadStartArguments(arguments);
        EXPECT_EQ(std::tie(read.minimized, read.hostToCheck), std::tie(minimized, host)) << arguments.size();
    }
}

TEST(TrayRules, AClickHidesOnlyAWindowInFrontAndATrayTakesAMinimisedWindow)
{
    for (bool visible : {false, true})
        for (bool minimised : {false, true})
            for (bool inFront : {false, true})
                EXPECT_EQ(AnswerToClick({visible, minimised, inFront}),
                          visible && !minimised && inFront ? ClickAnswer::HideWindow : ClickAnswer::ShowWindow);
    for (auto [minimizedAsked, trayShown, show] : {std::tuple {false, false, StartShow::Window},
                                                   {false, true, StartShow::Window},
                                                   {true, true, StartShow::TrayOnly},
                                                   {true, false, StartShow::Minimised}}) {
        EXPECT_EQ(ShowAtStart(minimizedAsked, trayShown), show);
        EXPECT_EQ(HidesWhenMinimised(minimizedAsked, trayShown), minimizedAsked && trayShown);
    }
}

// Menus show neither line breaks nor a single ampersand.
TEST(TrayRules, TheStateItemIsTheTooltipOnOneReadOnlyLine)
{
    for (auto [tooltip, text] :
         {std::pair {"Tom & Jerry (192.0.2.1)\nOdgovor v 3 ms", "Tom && Jerry (192.0.2.1) · Odgovor v 3 ms"},
          {"A\n\nB&&", "A ·  · B&&&&"},
          {"", ""}})
        EXPECT_EQ(StateItemText(tooltip), text);
    EXPECT_FALSE(ItemEnabled(tray_menu::Action::State, "."));
}

}  // namespace
}  // namespace vellomar
