// The Qt face under the offscreen platform: what only a real event loop shows; the behaviour has a fake face.
// The offscreen platform has no tray to show the icon in, but the icon and its menu are there.
#include "window_without_boxes.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

#include "form.h"
#include "held_probe.h"
#include "temp_folder.h"

namespace vellomar {
namespace {

constexpr int kWaitMs = 10000;  // for the event loop to bring what a test waits for

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
    seams.sockets.sendPing = [&](const std::string& address, int32_t) { return probe(address); };
    testing::WindowWithoutBoxes window(std::move(seams),
                                       [](const std::string& text, const std::string&) { ADD_FAILURE() << text; });
    window.show();
    std::shared_ptr<void> releaseOnExit(nullptr, [&](void*) { probe.Release(); });  // before the window waits

    EXPECT_EQ(window.size(), QSize(576, 301));
    for (const form::Control& control : form::kControls) {
        auto* widget = window.findChild<QWidget*>(std::string(control.name).c_str());
        ASSERT_NE(widget, nullptr) << control.name;
        EXPECT_EQ(widget->property("text").toString().toStdString(), control.caption);
    }
    window.Logic().Form_Load();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.Logic().CycleInFlight(); }, kWaitMs));
    auto* list = window.findChild<QListWidget*>("List1");
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "2015/01/26 10:00:00,3,0");

    auto* timer = window.findChild<QTimer*>("Timer1");
    EXPECT_TRUE(timer->isActive() && timer->interval() == 10000 && timer->timerType() == Qt::PreciseTimer);
    timer->setInterval(20);  // a shortened period; the handler is the real one
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.Logic().TickCount() >= 3; }, kWaitMs));

    // The next tick's probe is held: the window still paints, and Stop waits for the reply.
    probe.Hold();
    ASSERT_TRUE(QTest::qWaitFor([&] { return probe.running == 1; }, kWaitMs));
    PaintCounter counter;
    window.installEventFilter(&counter);
    window.update();
    EXPECT_TRUE(QTest::qWaitFor([&] { return counter.paints > 0; }, kWaitMs));
    window.findChild<QPushButton*>("cmdStop")->click();
    EXPECT_TRUE(timer->isActive()) << "Stop ran while the reply was awaited";
    probe.Release();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !timer->isActive() && !window.Logic().CycleInFlight(); }, kWaitMs));

    // Asked from another thread (as a later start's request arrives), hidden as in the tray or minimised.
    for (bool minimised : {false, true}) {
        minimised ? window.showMinimized() : window.hide();
        std::thread([&] { window.ShowAndRaise(); }).join();
        EXPECT_TRUE(QTest::qWaitFor([&] { return window.isVisible() && !window.isMinimized(); }, kWaitMs)) << minimised;
    }
}

TEST(QtTray, IconFollowsTheRecordsAndTheMenuStartsStopsAndShowsTheWindow)
{
    testing::TempFolder folder;
    testing::WriteBytes(folder / "Vellomar.ini", "Home, 127.0.0.1\r\n");
    std::atomic<int> probesSent {0};
    WindowSeams seams;
    seams.programFolder = folder.path();
    seams.clock = [] { return platform::LocalDateTime {2015, 1, 26, 10, 0, 0}; };
    seams.sockets.sendPing = [&](const std::string&, int32_t) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ++probesSent;
        return ProbeResult {EchoEnd::HostUnreachable, 11003, 0};
    };
    testing::WindowWithoutBoxes window(std::move(seams), [](const std::string&, const std::string&) {});
    // No tray here: the menu and its state line are there all the same, for the icon made once one appears.
    EXPECT_EQ(window.findChild<QSystemTrayIcon*>("trayIcon"), nullptr);
    auto* menu = window.findChild<QMenu*>("trayMenu");
    ASSERT_NE(menu, nullptr);
    auto choose = [&](const QString& text) {
        const auto actions = menu->actions();
        auto found = std::ranges::find_if(actions, [&](QAction* a) { return a->text() == text; });
        ASSERT_NE(found, actions.end()) << text.toStdString();
        (*found)->trigger();
    };
    auto* timer = window.findChild<QTimer*>("Timer1");
    QAction* state = menu->actions().front();
    auto tile = [&] { return state->icon().pixmap(32).toImage().pixelColor(16, 27); };

    window.Logic().Form_Load();
    choose("Stop");  // while the start-up probe is out: held, then run
    choose("Start");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.Logic().CycleInFlight(); }, kWaitMs));
    EXPECT_EQ(probesSent, 2) << "the start-up probe, then Start's";
    EXPECT_TRUE(timer->isActive()) << "Stop ran before Start";
    EXPECT_FALSE(state->isEnabled());
    EXPECT_EQ(state->text(), "Home (127.0.0.1) · Gostitelj ni dosegljiv (2015/01/26 10:00:00)");
    EXPECT_EQ(tile(), QColor(0xd9, 0x82, 0x00)) << "amber";
    choose("Stop");
    EXPECT_FALSE(timer->isActive());
    EXPECT_TRUE(state->text().startsWith("Home (127.0.0.1) · Spremljanje je ustavljeno. · Gostitelj ni dosegljiv"))
        << state->text().toStdString();
    EXPECT_EQ(tile(), QColor(0x80, 0x80, 0x80)) << "grey";

    EXPECT_FALSE(window.isVisible());
    choose("Pokaži okno");
    EXPECT_TRUE(window.isVisible());

    // The page's item (first) can be chosen once the page exists; the folder's always.
    auto openable = [&] {
        emit menu->aboutToShow();
        QString enabled;
        for (QAction* a : menu->actions())
            enabled += a->text().startsWith("Odpri") ? (a->isEnabled() ? "1" : "0") : "";
        return enabled;
    };
    EXPECT_EQ(openable(), "01");
    testing::WriteBytes(folder / "ERR_list.html", "<html>\n");
    EXPECT_EQ(openable(), "11");
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
