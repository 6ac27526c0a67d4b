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

#include <algorithm>
#include <atomic>

#include "form.h"
#include "held_probe.h"
#include "temp_folder.h"

namespace vellomar {
namespace {

using testing::ReadBytes;
using testing::TempFolder;

// The Qt window in a folder of its own, with a probe the test can hold.
class Monitor {
public:
    Monitor()
    {
        testing::WriteBytes(folder / "Vellomar.ini", "Home, 127.0.0.1\r\n");
        WindowSeams seams;
        seams.programFolder = folder.path();
        seams.clock = [] { return platform::LocalDateTime {2015, 1, 26, 10, 0, 0}; };
        seams.sockets.sendPing = [this](std::string address, int32_t, EchoReply& reply) {
            return probe(address, reply);
        };
        window = std::make_unique<Vellomar>(std::move(seams), [this](const std::string&, const std::string& caption) {
            messages.push_back(caption);
            sentAtMessage = probe.sent;
        });
    }
    ~Monitor() { probe.Release(); }

    template <typename T> T* Control(const char* name) { return window->findChild<T*>(name); }
    WindowLogic& Logic() { return window->Logic(); }
    bool RunEventsUntil(const std::function<bool()>& done)
    {
        QElapsedTimer elapsed;
        elapsed.start();
        while (!done() && elapsed.elapsed() < 10000)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        return done();
    }
    bool Settle()
    {
        return RunEventsUntil([this] { return !Logic().CycleInFlight(); });
    }

    TempFolder folder;
    testing::HeldProbe probe;
    std::vector<std::string> messages;
    int sentAtMessage = -1;
    std::unique_ptr<Vellomar> window;
};

TEST(QtWindow, BuildsTheControlsOfTheForm)
{
    Monitor monitor;
    EXPECT_EQ(monitor.window->windowTitle(), "Vellomar & logging");
    EXPECT_EQ(monitor.window->size(), QSize(576, 301));
    for (const form::Control& control : form::kControls) {
        auto* widget = monitor.Control<QWidget>(std::string(control.name).c_str());
        ASSERT_NE(widget, nullptr) << control.name;
        EXPECT_EQ(widget->geometry(),
                  QRect(control.left / 15, control.top / 15, control.width / 15, control.height / 15))
            << control.name;
        QString caption;
        if (auto* label = qobject_cast<QLabel*>(widget))
            caption = label->text();
        else if (auto* button = qobject_cast<QPushButton*>(widget))
            caption = button->text();
        EXPECT_EQ(caption.toStdString(), control.caption) << control.name;
    }
}

TEST(QtWindow, StartUpFillsTheControlsAndAPreciseTimerTicksByItselfUntilStop)
{
    Monitor monitor;
    monitor.Logic().Form_Load();
    ASSERT_TRUE(monitor.Settle());
    EXPECT_EQ(monitor.Control<QLabel>("lblHostName")->text(), "Home");
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
    EXPECT_TRUE(monitor.RunEventsUntil([&] { return monitor.Logic().TickCount() >= 3; }));

    // A probe may be out as Stop is clicked: Stop then runs once it is back.
    monitor.Control<QPushButton>("cmdStop")->click();
    ASSERT_TRUE(monitor.RunEventsUntil([&] { return !timer->isActive() && !monitor.Logic().CycleInFlight(); }));
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

TEST(QtWindow, PaintsWhileAProbeIsOutAndRunsHeldClicksAfterIt)
{
    Monitor monitor;
    monitor.window->show();
    monitor.Logic().Form_Load();
    ASSERT_TRUE(monitor.Settle());
    PaintCounter counter(monitor.probe.running);
    monitor.window->installEventFilter(&counter);

    monitor.probe.Hold();
    monitor.Logic().Timer1_Timer();
    ASSERT_TRUE(monitor.RunEventsUntil([&] { return monitor.probe.running == 1; }));
    monitor.window->update();
    EXPECT_TRUE(monitor.RunEventsUntil([&] { return counter.paintsDuringProbe > 0; }))
        << "the window painted while the reply was awaited";
    monitor.Control<QPushButton>("cmdStart")->click();
    monitor.Control<QPushButton>("cmdHelp")->click();
    EXPECT_TRUE(monitor.messages.empty()) << "Help is held while the reply is awaited";

    monitor.probe.Release();
    ASSERT_TRUE(monitor.RunEventsUntil([&] { return !monitor.messages.empty() && !monitor.Logic().CycleInFlight(); }));
    EXPECT_EQ(monitor.messages, std::vector<std::string> {"Pomoč"});
    EXPECT_EQ(monitor.sentAtMessage, 3) << "Help ran after the tick's and Start's probes";
    EXPECT_EQ(std::ranges::count(ReadBytes(monitor.folder / "PING_20150126.txt"), '\n'), 3);
    EXPECT_EQ(monitor.Logic().TickCount(), 1);
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
