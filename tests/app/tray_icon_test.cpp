// The tray icon's menu and state on the Qt face, under the offscreen platform
// (which has no tray to show it in, but the icon and its menu are there).
#include "vellomar_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <thread>

#include "temp_folder.h"

namespace vellomar {
namespace {

struct TrayMonitor {
    TrayMonitor()
    {
        testing::WriteBytes(folder / "Vellomar.ini", "Home, 127.0.0.1\r\n");
        WindowSeams seams;
        seams.programFolder = folder.path();
        seams.clock = [] { return platform::LocalDateTime {2015, 1, 26, 10, 0, 0}; };
        seams.sockets.sendPing = [this](std::string, int32_t, EchoReply& reply) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            reply.RoundTripTime = 3;
            ++probesSent;
            return status.load();
        };
        window = std::make_unique<Vellomar>(std::move(seams), [](const std::string&, const std::string&) {});
        icon = window->findChild<QSystemTrayIcon*>("trayIcon");
    }
    void Choose(const QString& text)
    {
        const auto actions = icon->contextMenu()->actions();
        auto found = std::ranges::find_if(actions, [&](QAction* a) { return a->text() == text; });
        ASSERT_NE(found, actions.end()) << text.toStdString();
        (*found)->trigger();
    }
    bool Settle()
    {
        QElapsedTimer elapsed;
        elapsed.start();
        while (window->Logic().CycleInFlight() && elapsed.elapsed() < 10000)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        return !window->Logic().CycleInFlight();
    }
    bool TimerRunning() { return window->findChild<QTimer*>("Timer1")->isActive(); }

    testing::TempFolder folder;
    std::atomic<int> probesSent {0};
    std::atomic<int32_t> status {kIpSuccess};
    std::unique_ptr<Vellomar> window;
    QSystemTrayIcon* icon = nullptr;
};

TEST(QtTray, MenuStartAndStopAreTheButtonsHeldWhileAProbeIsOut)
{
    TrayMonitor monitor;
    ASSERT_NE(monitor.icon, nullptr);
    monitor.window->Logic().Form_Load();
    monitor.Choose("Stop");  // while the start-up probe is out: held, then run
    monitor.Choose("Start");
    ASSERT_TRUE(monitor.Settle());
    EXPECT_EQ(monitor.probesSent, 2) << "the start-up probe, then Start's";
    EXPECT_TRUE(monitor.TimerRunning()) << "Stop ran before Start";
    monitor.Choose("Stop");
    EXPECT_FALSE(monitor.TimerRunning());
    EXPECT_TRUE(monitor.icon->toolTip().startsWith("Home (127.0.0.1)\nSpremljanje je ustavljeno.\nOdgovor v 3 ms"))
        << monitor.icon->toolTip().toStdString();
}

TEST(QtTray, IconFollowsTheRecordsAndShowWindowShowsIt)
{
    TrayMonitor monitor;
    monitor.status = kIpDestHostUnreachable;
    monitor.window->Logic().Form_Load();
    ASSERT_TRUE(monitor.Settle());
    EXPECT_EQ(monitor.icon->toolTip(), "Home (127.0.0.1)\nGostitelj ni dosegljiv (2015/01/26 10:00:00)");
    const QImage amber = monitor.icon->icon().pixmap(32).toImage();
    EXPECT_EQ(amber.pixelColor(16, 27), QColor(0xd9, 0x82, 0x00));

    EXPECT_FALSE(monitor.window->isVisible());
    monitor.Choose("Pokaži okno");
    EXPECT_TRUE(monitor.window->isVisible());
}

}  // namespace
}  // namespace vellomar
