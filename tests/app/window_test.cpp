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
#include <memory>
#include <thread>

#include "form.h"
#include "held_probe.h"
#include "temp_folder.h"

namespace vellomar {
namespace {

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

bool RunEventsUntil(const std::function<bool()>& done)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done() && elapsed.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return done();
}

TEST(QtWindow, BuildsTheFormTicksByItselfPaintsWhileAProbeIsOutAndStopsOnceItIsBack)
{
    testing::TempFolder folder;
    testing::WriteBytes(folder / "Vellomar.ini", "Home, 127.0.0.1\r\n");
    testing::HeldProbe probe;
    WindowSeams seams;
    seams.programFolder = folder.path();
    seams.clock = [] { return platform::LocalDateTime {2015, 1, 26, 10, 0, 0}; };
    seams.sockets.sendPing = [&](std::string address, int32_t, EchoReply& reply) { return probe(address, reply); };
    int messages = 0;
    Vellomar window(std::move(seams), [&](const std::string&, const std::string&) { ++messages; });
    window.show();
    std::shared_ptr<void> releaseOnExit(nullptr, [&](void*) { probe.Release(); });  // before the window waits

    EXPECT_EQ(window.size(), QSize(576, 301));
    for (const form::Control& control : form::kControls) {
        auto* widget = window.findChild<QWidget*>(std::string(control.name).c_str());
        ASSERT_NE(widget, nullptr) << control.name;
        EXPECT_EQ(widget->geometry(),
                  QRect(control.left / 15, control.top / 15, control.width / 15, control.height / 15));
        EXPECT_EQ(widget->property("text").toString().toStdString(), control.caption);
    }
    window.Logic().Form_Load();
    ASSERT_TRUE(RunEventsUntil([&] { return !window.Logic().CycleInFlight(); }));
    EXPECT_EQ(window.findChild<QLabel*>("lblHostName")->text(), "Home");
    auto* list = window.findChild<QListWidget*>("List1");
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "2015/01/26 10:00:00,3,0");
    EXPECT_EQ(messages, 0);

    auto* timer = window.findChild<QTimer*>("Timer1");
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 10000);
    EXPECT_EQ(timer->timerType(), Qt::PreciseTimer);
    timer->setInterval(20);  // a shortened period; the handler is the real one
    EXPECT_TRUE(RunEventsUntil([&] { return window.Logic().TickCount() >= 3; }));

    // The next tick's probe is held: the window still paints, and Stop waits for the reply.
    PaintCounter counter(probe.running);
    window.installEventFilter(&counter);
    probe.Hold();
    ASSERT_TRUE(RunEventsUntil([&] { return probe.running == 1; }));
    window.update();
    EXPECT_TRUE(RunEventsUntil([&] { return counter.paintsDuringProbe > 0; }));
    window.findChild<QPushButton*>("cmdStop")->click();
    EXPECT_TRUE(timer->isActive()) << "Stop ran while the reply was awaited";
    probe.Release();
    ASSERT_TRUE(RunEventsUntil([&] { return !timer->isActive() && !window.Logic().CycleInFlight(); }));
    EXPECT_EQ(timer->interval(), 0);
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
        testing::TempFolder folder;
        WindowSeams seams;
        seams.programFolder = folder.path();
        Vellomar window(std::move(seams));
        put(window);
        std::thread([&] { window.ShowAndRaise(); }).join();
        EXPECT_TRUE(RunEventsUntil([&] { return window.isVisible() && !window.isMinimized(); })) << what;
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
