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
#include <memory>
#include <thread>

#include "temp_folder.h"

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace vellomar {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

// A monitor in a folder of its own, with a clock that moves five seconds at
// every reading and a probe that answers as told.
class Monitor {
public:
    explicit Monitor(const char* ini = "Home, 127.0.0.1\r\n")
    {
        if (ini)
            WriteBytes(folder / "Vellomar.ini", ini);
        WindowSeams seams;
        seams.programFolder = folder.path();
        seams.messageBox = [this](const QString& text, const QString& caption) {
            messages.emplace_back(text, caption);
        };
        seams.clock = [this] {
            int seconds = 10 * 3600 + 5 * readings++;
            return LocalDateTime {2015, 1, 26, seconds / 3600, seconds / 60 % 60, seconds % 60};
        };
        seams.sendPing = [this](std::string address, int32_t, EchoReply& reply) {
            int inside = ++probesRunning;
            maxProbesRunning = std::max(maxProbesRunning.load(), inside);
            std::this_thread::sleep_for(probeDelay);
            lastAddress = address;
            reply.RoundTripTime = 3;
            --probesRunning;
            ++probesSent;
            return status.load();
        };
        window = std::make_unique<Vellomar>(std::move(seams));
    }

    template <typename T>
    T* Control(const char* name) { return window->findChild<T*>(name); }
    QTimer* Timer1() { return Control<QTimer>("Timer1"); }
    QString Caption(const char* label) { return Control<QLabel>(label)->text(); }
    QStringList ListItems()
    {
        QStringList items;
        auto* list = Control<QListWidget>("List1");
        for (int i = 0; i < list->count(); ++i)
            items << list->item(i)->text();
        return items;
    }
    std::string DailyLog() { return ReadBytes(folder / "PING_20150126.txt"); }
    bool Running() { return Timer1()->isActive() && Timer1()->interval() == 10000; }

    TempFolder folder;
    std::vector<std::pair<QString, QString>> messages;
    int readings = 0;
    std::atomic<int32_t> status {0};
    std::atomic<int> probesSent {0};
    std::atomic<int> probesRunning {0};
    std::atomic<int> maxProbesRunning {0};
    std::chrono::milliseconds probeDelay {0};
    std::string lastAddress;
    std::unique_ptr<Vellomar> window;
};

int LineCount(const std::string& text)
{
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

TEST(StartUp, ReadsTheHostProbesOnceAndStartsTheSchedule)
{
    Monitor monitor;
    EXPECT_FALSE(monitor.Timer1()->isActive()) << "the window is created with the schedule stopped";
    monitor.window->Form_Load();

    EXPECT_TRUE(monitor.messages.empty());
    EXPECT_EQ(monitor.Caption("lblHostName"), "Home");
    EXPECT_EQ(monitor.Caption("lblIPAddress"), "127.0.0.1");
    EXPECT_EQ(monitor.lastAddress, "127.0.0.1");
    EXPECT_EQ(monitor.DailyLog(), "2015/01/26 10:00:00,3,0\r\n");
    EXPECT_EQ(monitor.Caption("lblOutFile").toStdString(), (monitor.folder / "PING_20150126.txt").string());
    EXPECT_EQ(monitor.ListItems(), QStringList {"2015/01/26 10:00:00,3,0"});
    EXPECT_TRUE(monitor.Running());
    EXPECT_EQ(monitor.window->TickCount(), 0) << "the start-up probe is not a tick";
}

TEST(StartUp, EveryFailureShowsOneMessageAndLeavesTheScheduleStopped)
{
    const char* kFolderInstead = "";
    for (const char* ini : {static_cast<const char*>(nullptr), "; comment\r\nHome 127.0.0.1\r\n", kFolderInstead}) {
        Monitor monitor(ini == kFolderInstead ? nullptr : ini);
        if (ini == kFolderInstead)
            std::filesystem::create_directory(monitor.folder / "Vellomar.ini");
        monitor.window->Form_Load();
        ASSERT_EQ(monitor.messages.size(), 1u);
        EXPECT_EQ(monitor.messages[0], std::pair(QString("Težave z branjem .INI datoteke"), QString("Vellomar")));
        EXPECT_FALSE(monitor.Timer1()->isActive());
        EXPECT_EQ(monitor.probesSent, 0);
        EXPECT_FALSE(std::filesystem::exists(monitor.folder / "PING_20150126.txt"));

        // Start still works, and probes the design caption, which is no address.
        monitor.status = kNoRequestSent;
        monitor.Control<QPushButton>("cmdStart")->click();
        EXPECT_EQ(monitor.lastAddress, "IP");
        EXPECT_EQ(monitor.DailyLog(), "2015/01/26 10:00:00,3,-1\r\n");
        EXPECT_TRUE(monitor.Running());
    }
}

TEST(StartUp, FileWithoutHostLineKeepsDesignCaptionsAndRuns)
{
    Monitor monitor("; nothing here yet\r\n");
    monitor.window->Form_Load();
    EXPECT_TRUE(monitor.messages.empty());
    EXPECT_EQ(monitor.Caption("lblHostName"), "Host");
    EXPECT_EQ(monitor.lastAddress, "IP");
    EXPECT_TRUE(monitor.Running());
}

TEST(Buttons, StopAndStartKeepTheTickCount)
{
    Monitor monitor;
    monitor.window->Form_Load();
    for (int i = 0; i < 5; ++i)
        monitor.window->Timer1_Timer();

    monitor.Control<QPushButton>("cmdStop")->click();
    EXPECT_FALSE(monitor.Timer1()->isActive());
    EXPECT_EQ(monitor.Timer1()->interval(), 0);

    monitor.Control<QPushButton>("cmdStart")->click();
    monitor.Control<QPushButton>("cmdStart")->click();
    EXPECT_TRUE(monitor.Running());
    EXPECT_EQ(monitor.window->TickCount(), 5);
    EXPECT_EQ(monitor.probesSent, 1 + 5 + 2) << "one immediate probe per press of Start";
    EXPECT_EQ(LineCount(monitor.DailyLog()), 8);
}

TEST(Buttons, HelpShowsItsMessageAndChangesNothing)
{
    Monitor monitor;
    monitor.window->Form_Load();
    monitor.window->Timer1_Timer();
    monitor.Control<QPushButton>("cmdHelp")->click();

    ASSERT_EQ(monitor.messages.size(), 1u);
    EXPECT_TRUE(monitor.messages[0].first.startsWith("Za pomoč pošlji mail na "));
    EXPECT_TRUE(monitor.messages[0].first.contains('@'));
    EXPECT_EQ(monitor.messages[0].second, "Pomoč");
    EXPECT_TRUE(monitor.Running());
    EXPECT_EQ(monitor.window->TickCount(), 1);
    EXPECT_EQ(monitor.probesSent, 2);
}

TEST(Schedule, TheSixtyFirstTickRebuildsTheReportIncludingItsOwnRecord)
{
    Monitor monitor;
    monitor.window->Form_Load();
    for (int tick = 1; tick <= 60; ++tick) {
        monitor.status = tick >= 59 ? kIpRequestTimedOut : kIpSuccess;
        monitor.window->Timer1_Timer();
    }
    EXPECT_EQ(monitor.window->TickCount(), 60);
    EXPECT_FALSE(std::filesystem::exists(monitor.folder / "ERR_list.csv"));

    // Ticks 59 and 60 timed out; the outage is closed only by the 61st tick's record.
    monitor.status = kIpSuccess;
    monitor.window->Timer1_Timer();
    EXPECT_EQ(monitor.window->TickCount(), 0);
    std::string report = ReadBytes(monitor.folder / "ERR_list.csv");
    EXPECT_NE(report.find("2015/01/26 10:09:50;2015/01/26 10:10:00;00:00:10\r\n"), std::string::npos) << report;
    EXPECT_EQ(monitor.ListItems(), QStringList {"PING_20150126.txt"});

    monitor.window->Timer1_Timer();
    EXPECT_EQ(monitor.ListItems(), (QStringList {"PING_20150126.txt", "2015/01/26 10:10:20,3,0"}));
}

TEST(Schedule, TimerIsPreciseAndTicksByItself)
{
    Monitor monitor;
    monitor.window->Form_Load();
    EXPECT_EQ(monitor.Timer1()->timerType(), Qt::PreciseTimer);
    monitor.Timer1()->setInterval(20);  // a shortened period; the handler is the real one
    QElapsedTimer elapsed;
    elapsed.start();
    while (monitor.window->TickCount() < 3 && elapsed.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_EQ(monitor.window->TickCount(), 3);
}

// Counts the paint events that a widget gets while a probe is out.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(Monitor& monitor) : monitor_(monitor) {}
    int paintsDuringProbe = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && monitor_.probesRunning > 0)
            ++paintsDuringProbe;
        return false;
    }

private:
    Monitor& monitor_;
};

TEST(SlowProbe, WindowRepaintsAndHandlersWaitUntilTheCycleEnds)
{
    Monitor monitor;
    monitor.window->show();
    monitor.window->Form_Load();
    monitor.probeDelay = std::chrono::milliseconds(600);
    PaintCounter counter(monitor);
    monitor.window->installEventFilter(&counter);

    auto* start = monitor.Control<QPushButton>("cmdStart");
    QTimer::singleShot(150, monitor.window.get(), [&] { monitor.window->update(); });
    QTimer::singleShot(200, start, &QPushButton::click);
    QTimer::singleShot(250, monitor.window.get(), &Vellomar::Timer1_Timer);
    QTimer::singleShot(300, monitor.window.get(), &Vellomar::Timer1_Timer);
    int probesDuringTick = -1;
    QTimer::singleShot(400, monitor.window.get(), [&] { probesDuringTick = monitor.probesSent; });

    monitor.window->Timer1_Timer();
    EXPECT_GT(counter.paintsDuringProbe, 0) << "the window painted while the reply was awaited";
    EXPECT_EQ(probesDuringTick, 1) << "timers ran during the wait, but no second probe began";
    EXPECT_EQ(monitor.probesSent, 2);
    EXPECT_EQ(monitor.window->TickCount(), 1);

    // The click and one of the two due ticks run after the cycle, one at a time.
    QElapsedTimer elapsed;
    elapsed.start();
    while (monitor.probesSent < 4 && elapsed.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    QApplication::processEvents();
    EXPECT_EQ(monitor.probesSent, 4);
    EXPECT_EQ(monitor.window->TickCount(), 2);
    EXPECT_EQ(monitor.maxProbesRunning, 1);
    EXPECT_EQ(LineCount(monitor.DailyLog()), 4);
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
