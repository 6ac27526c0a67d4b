// The tray icon's menu and state on the Qt face, under the offscreen platform
// (which has no tray to show it in, but the icon and its menu are there).
#include "vellomar_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <thread>

#include "run_events.h"
#include "temp_folder.h"

namespace vellomar {

namespace {

using testing::RunEventsUntil;

TEST(QtTray, IconFollowsTheRecordsAndTheMenuStartsStopsAndShowsTheWindow)
{
    testing::TempFolder folder;
    testing::WriteBytes(folder / "Vellomar.ini", "Home, 127.0.0.1\r\n");
    std::atomic<int> probesSent {0};
    WindowSeams seams;
    seams.programFolder = folder.path();
    seams.clock = [] { return platform::LocalDateTime {2015, 1, 26, 10, 0, 0}; };
    seams.sockets.sendPing = [&](std::string, int32_t, EchoReply&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ++probesSent;
        return kIpDestHostUnreachable;
    };
    Vellomar window(std::move(seams), [](const std::string&, const std::string&) {});
    auto* icon = window.findChild<QSystemTrayIcon*>("trayIcon");
    ASSERT_NE(icon, nullptr);
    auto choose = [&](const QString& text) {
        const auto actions = icon->contextMenu()->actions();
        auto found = std::ranges::find_if(actions, [&](QAction* a) { return a->text() == text; });
        ASSERT_NE(found, actions.end()) << text.toStdString();
        (*found)->trigger();
    };
    auto* timer = window.findChild<QTimer*>("Timer1");
    auto tile = [&] { return icon->icon().pixmap(32).toImage().pixelColor(16, 27); };

    window.Logic().Form_Load();
    choose("Stop");  // while the start-up probe is out: held, then run
    choose("Start");
    ASSERT_TRUE(RunEventsUntil([&] { return !window.Logic().CycleInFlight(); }));
    EXPECT_EQ(probesSent, 2) << "the start-up probe, then Start's";
    EXPECT_TRUE(timer->isActive()) << "Stop ran before Start";
    EXPECT_EQ(icon->toolTip(), "Home (127.0.0.1)\nGostitelj ni dosegljiv (2015/01/26 10:00:00)");
    EXPECT_EQ(tile(), QColor(0xd9, 0x82, 0x00)) << "amber";
    choose("Stop");
    EXPECT_FALSE(timer->isActive());
    EXPECT_TRUE(icon->toolTip().startsWith("Home (127.0.0.1)\nSpremljanje je ustavljeno.\nGostitelj ni dosegljiv"))
        << icon->toolTip().toStdString();
    EXPECT_EQ(tile(), QColor(0x80, 0x80, 0x80)) << "grey";

    EXPECT_FALSE(window.isVisible());
    choose("Pokaži okno");
    EXPECT_TRUE(window.isVisible());
}

}  // namespace
}  // namespace vellomar
