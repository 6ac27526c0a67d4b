// The Qt face under the offscreen platform: what only a real event loop shows; the behaviour has a fake face.
#include "vellomar_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <memory>
#include <thread>

#include "form.h"
#include "held_probe.h"
#include "run_events.h"
#include "temp_folder.h"

namespace vellomar {

namespace {

using testing::RunEventsUntil;

struct PaintCounter : QObject {
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
    int paints = 0;
};

TEST(QtWindow, BuildsTheFormTicksByItselfPaintsWhileAProbeIsOutStopsOnceItIsBackAndComesBackWhenAsked)
{
    testing::TempFolder folder;
    testing::WriteBytes(folder / "Vellomar.ini", "Home, 127.0.0.1\r\n");
    testing::HeldProbe probe;
    WindowSeams seams;
    seams.programFolder = folder.path();
    seams.clock = [] { return platform::LocalDateTime {2015, 1, 26, 10, 0, 0}; };
    seams.sockets.sendPing = [&](std::string address, int32_t, EchoReply& reply) { return probe(address, reply); };
    Vellomar window(std::move(seams), [](const std::string& text, const std::string&) { ADD_FAILURE() << text; });
    window.show();
    std::shared_ptr<void> releaseOnExit(nullptr, [&](void*) { probe.Release(); });  // before the window waits

    EXPECT_EQ(window.size(), QSize(576, 301));
    for (const form::Control& control : form::kControls) {
        auto* widget = window.findChild<QWidget*>(std::string(control.name).c_str());
        ASSERT_NE(widget, nullptr) << control.name;
        EXPECT_EQ(widget->property("text").toString().toStdString(), control.caption);
    }
    window.Logic().Form_Load();
    ASSERT_TRUE(RunEventsUntil([&] { return !window.Logic().CycleInFlight(); }));
    auto* list = window.findChild<QListWidget*>("List1");
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "2015/01/26 10:00:00,3,0");

    auto* timer = window.findChild<QTimer*>("Timer1");
    EXPECT_TRUE(timer->isActive() && timer->interval() == 10000 && timer->timerType() == Qt::PreciseTimer);
    timer->setInterval(20);  // a shortened period; the handler is the real one
    EXPECT_TRUE(RunEventsUntil([&] { return window.Logic().TickCount() >= 3; }));

    // The next tick's probe is held: the window still paints, and Stop waits for the reply.
    probe.Hold();
    ASSERT_TRUE(RunEventsUntil([&] { return probe.running == 1; }));
    PaintCounter counter;
    window.installEventFilter(&counter);
    window.update();
    EXPECT_TRUE(RunEventsUntil([&] { return counter.paints > 0; }));
    window.findChild<QPushButton*>("cmdStop")->click();
    EXPECT_TRUE(timer->isActive()) << "Stop ran while the reply was awaited";
    probe.Release();
    EXPECT_TRUE(RunEventsUntil([&] { return !timer->isActive() && !window.Logic().CycleInFlight(); }));

    // Asked from another thread (as a later start's request arrives), hidden as in the tray or minimised.
    for (bool minimised : {false, true}) {
        minimised ? window.showMinimized() : window.hide();
        std::thread([&] { window.ShowAndRaise(); }).join();
        EXPECT_TRUE(RunEventsUntil([&] { return window.isVisible() && !window.isMinimized(); })) << minimised;
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
