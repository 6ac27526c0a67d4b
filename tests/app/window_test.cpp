// The Qt face over the window logic, under the offscreen platform: what only a
// real event loop shows. The behaviour itself is tested against a fake face.
#include "vellomar_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <thread>

#include "temp_folder.h"

namespace vellomar {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

// The Qt window in a folder of its own, with a probe that answers after a delay.
class Monitor {
public:
    Monitor()
    {
        WriteBytes(folder / "Vellomar.ini", "Home, 127.0.0.1\r\n");
        WindowSeams seams;
        seams.programFolder = folder.path();
        seams.clock = [] { return LocalDateTime {2015, 1, 26, 10, 0, 0}; };
        seams.sockets.sendPing = [this](std::string, int32_t, EchoReply& reply) {
            ++probesRunning;
            std::this_thread::sleep_for(probeDelay.load());
            reply.RoundTripTime = 3;
            --probesRunning;
            ++probesSent;
            return kIpSuccess;
        };
        window = std::make_unique<Vellomar>(
            std::move(seams), [this](const std::string&, const std::string& caption) { messages.push_back(caption); });
    }

    template <typename T> T* Control(const char* name) { return window->findChild<T*>(name); }
    int Records() { return static_cast<int>(std::ranges::count(ReadBytes(folder / "PING_20150126.txt"), '\n')); }
    bool RunEventsUntil(const std::function<bool()>& done)
    {
        QElapsedTimer elapsed;
        elapsed.start();
        while (!done() && elapsed.elapsed() < 10000)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        return done();
    }

    TempFolder folder;
    std::vector<std::string> messages;
    std::atomic<int> probesSent {0};
    std::atomic<int> probesRunning {0};
    std::atomic<std::chrono::milliseconds> probeDelay {std::chrono::milliseconds(0)};
    std::unique_ptr<Vellomar> window;
};

TEST(QtWindow, StartUpFillsTheControlsAndAPreciseTimerTicksByItself)
{
    Monitor monitor;
    monitor.window->Logic().Form_Load();
    ASSERT_TRUE(monitor.RunEventsUntil([&] { return !monitor.window->Logic().CycleInFlight(); }));
    EXPECT_EQ(monitor.Control<QLabel>("lblHostName")->text(), "Home");
    EXPECT_EQ(monitor.Control<QLabel>("lblIPAddress")->text(), "127.0.0.1");
    EXPECT_EQ(monitor.Control<QLabel>("lblOutFile")->text().toStdString(),
              (monitor.folder / "PING_20150126.txt").string());
    auto* list = monitor.Control<QListWidget>("List1");
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "2015/01/26 10:00:00,3,0");

    auto* timer = monitor.Control<QTimer>("Timer1");
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 10000);
    EXPECT_EQ(timer->timerType(), Qt::PreciseTimer);
    timer->setInterval(20);  // a shortened period; the handler is the real one
    EXPECT_TRUE(monitor.RunEventsUntil([&] { return monitor.window->Logic().TickCount() >= 3; }));

    monitor.Control<QPushButton>("cmdStop")->click();
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(timer->interval(), 0);
}

// Counts the paint events that a widget gets while a probe is out.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(std::atomic<int>& probesRunning) : probesRunning_(probesRunning) {}
    int paintsDuringProbe = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && probesRunning_ > 0)
            ++paintsDuringProbe;
        return false;
    }

private:
    std::atomic<int>& probesRunning_;
};

TEST(QtWindow, PaintsDuringASlowProbeAndRunsHeldClicksAfterIt)
{
    Monitor monitor;
    monitor.window->show();
    monitor.window->Logic().Form_Load();
    ASSERT_TRUE(monitor.RunEventsUntil([&] { return !monitor.window->Logic().CycleInFlight(); }));
    monitor.probeDelay = std::chrono::milliseconds(600);
    PaintCounter counter(monitor.probesRunning);
    monitor.window->installEventFilter(&counter);

    int probesWhenHelpClicked = -1;
    QTimer::singleShot(150, monitor.window.get(), [&] { monitor.window->update(); });
    QTimer::singleShot(200, monitor.Control<QPushButton>("cmdStart"), &QPushButton::click);
    QTimer::singleShot(300, monitor.window.get(), [&] {
        probesWhenHelpClicked = monitor.probesSent;
        monitor.Control<QPushButton>("cmdHelp")->click();
    });
    monitor.window->Logic().Timer1_Timer();
    EXPECT_EQ(monitor.probesSent, 1) << "the tick's handler returned before its reply";
    ASSERT_TRUE(
        monitor.RunEventsUntil([&] { return monitor.probesSent == 3 && !monitor.window->Logic().CycleInFlight(); }));

    EXPECT_GT(counter.paintsDuringProbe, 0) << "the window painted while the reply was awaited";
    EXPECT_EQ(probesWhenHelpClicked, 1);
    EXPECT_EQ(monitor.messages, std::vector<std::string> {"Pomoč"}) << "Help ran after Start's probe";
    EXPECT_EQ(monitor.Records(), 3);
    EXPECT_EQ(monitor.window->Logic().TickCount(), 1);
}

// Asked from another thread (as a later start's request arrives), whatever
// state the window is in.
TEST(QtWindow, ShowAndRaiseBringsTheWindowBackFromAnyThread)
{
    const std::pair<const char*, std::function<void(QWidget&)>> states[] = {
        {"hidden, as in the tray", [](QWidget& w) { w.hide(); }},
        {"minimised", [](QWidget& w) { w.showMinimized(); }},
    };
    for (const auto& [what, put] : states) {
        Monitor monitor;
        put(*monitor.window);
        std::thread([&] { monitor.window->ShowAndRaise(); }).join();
        EXPECT_TRUE(monitor.RunEventsUntil([&] {
            return monitor.window->isVisible() && !monitor.window->isMinimized();
        })) << what;
    }
}

}  // namespace
}  // namespace vellomar

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setApplicationName("Vellomar");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
