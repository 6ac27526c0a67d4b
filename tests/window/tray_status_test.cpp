#include "tray_status.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>

#include "fake_face.h"
#include "temp_folder.h"
#include "window_logic.h"

namespace vellomar {
namespace {

using testing::FakeFace;
using Clock = std::chrono::steady_clock;

const std::string kHost = "Home (127.0.0.1)";

struct Tray {
    Tray()
    {
        face.captions[Label::HostName] = "Home";
        face.captions[Label::IPAddress] = "127.0.0.1";
    }
    // Each record written `seconds` after the first.
    void Write(const std::string& line, int seconds = 0)
    {
        now = Clock::time_point(std::chrono::seconds(seconds));
        status.RecordWritten(line);
    }
    const TrayState& Shown() const { return face.trayStates.back(); }

    FakeFace face;
    Clock::time_point now;
    TrayStatus status {face, [this] { return now; }};
};

TEST(TrayState, ColourAndTooltipFollowTheLastRecord)
{
    struct Case {
        std::vector<std::string> lines;
        TrayColour colour;
        std::string lastLine;  // the tooltip's line below the host
    };
    const Case cases[] = {
        {{"2015/01/26 10:00:00,3,0"}, TrayColour::Green, "Odgovor v 3 ms, 2015/01/26 10:00:00"},
        {{"2015/01/26 10:00:00,0,0", "2015/01/26 10:00:10,0,-10", "2015/01/26 10:00:20,0,-10"},
         TrayColour::Red,
         "Prekinitev od 2015/01/26 10:00:10, traja 00:00:10"},
        {{"2015/01/26 23:59:50,0,-10", "2015/01/27 00:00:20,0,-10"},
         TrayColour::Red,
         "Prekinitev od 2015/01/26 23:59:50, traja 00:00:30"},
        // More than a minute between time-outs: the monitor was off, and the report counts two outages.
        {{"2015/01/26 10:00:10,0,-10", "2015/01/26 10:05:00,0,-10"},
         TrayColour::Red,
         "Prekinitev od 2015/01/26 10:05:00, traja 00:00:00"},
        {{"2015/01/26 10:00:10,0,-10", "2015/01/26 10:00:20,5,0"},
         TrayColour::Green,
         "Odgovor v 5 ms, 2015/01/26 10:00:20"},
        {{"2015/01/26 10:00:00,0,-1"},
         TrayColour::Amber,
         "Zahteve ni bilo mogoče poslati (2015/01/26 10:00:00): preveri naslov v Vellomar.ini"},
        {{"2015/01/26 10:00:00,0,11003"}, TrayColour::Amber, "Gostitelj ni dosegljiv (2015/01/26 10:00:00)"},
        {{"2015/01/26 10:00:00,0,11050"}, TrayColour::Amber, "Splošna napaka (2015/01/26 10:00:00)"},
        {{"2015/01/26 10:00:00,0,11031"}, TrayColour::Amber, "Napaka 11031 (2015/01/26 10:00:00)"},
        {{"2015/01/26 10:00:00,0,-100"}, TrayColour::Amber, "Napaka -100 (2015/01/26 10:00:00)"},
        {{"2015/01/26 10:00:00,0,-10", "Windows Sockets not responding correctly."},
         TrayColour::Amber,
         "Knjižnica vtičnic se ne odziva: zahteva ni bila poslana"},
    };
    for (const Case& c : cases) {
        Tray tray;
        tray.status.ScheduleRunning(true);
        for (const std::string& line : c.lines)
            tray.Write(line);
        EXPECT_EQ(tray.Shown(), (TrayState {c.colour, kHost + "\n" + c.lastLine})) << c.lines.back();
    }
}

TEST(TrayState, StoppedScheduleIsGreyAndStillTellsTheLastRecord)
{
    Tray tray;
    tray.status.Show();
    EXPECT_EQ(tray.Shown(), (TrayState {TrayColour::Grey, kHost + "\nSpremljanje je ustavljeno."}));
    tray.Write("2015/01/26 10:00:00,0,-10");
    EXPECT_EQ(tray.Shown().colour, TrayColour::Grey) << "the first record comes before the schedule starts";
    tray.status.ScheduleRunning(true);
    EXPECT_EQ(tray.Shown().colour, TrayColour::Red);
    tray.status.ScheduleRunning(false);
    EXPECT_EQ(tray.Shown(),
              (TrayState {TrayColour::Grey, kHost + "\nSpremljanje je ustavljeno.\nPrekinitev od 2015/01/26 "
                                                    "10:00:00, traja 00:00:00"}));
    tray.status.ReportProblem("disk full");
    EXPECT_TRUE(tray.Shown().tooltip.ends_with("\nPoročilo ERR_list.csv ni bilo zapisano: disk full"));
    tray.status.ReportProblem("");
    EXPECT_EQ(tray.Shown().tooltip.find("Poročilo"), std::string::npos);
}

TEST(TrayNotifications, OutageBeginAndEndAtMostOneAMinuteTheLatestWaiting)
{
    struct Step {
        int second;
        const char* status;
        const char* noticeTitle;  // shown by this record, or none
    };
    struct Case {
        const char* what;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"replies and failures other than time-outs tell nothing",
         {{0, "0", nullptr}, {10, "-1", nullptr}, {20, "11003", nullptr}, {30, "0", nullptr}}},
        {"begin, then the end a minute later", {{0, "-10", "Prekinitev povezave"}, {60, "0", "Povezava spet deluje"}}},
        {"an end due 59 s after the begin waits for the next record",
         {{0, "-10", "Prekinitev povezave"}, {59, "0", nullptr}, {69, "0", "Povezava spet deluje"}}},
        {"a later notice replaces the waiting one",
         {{0, "-10", "Prekinitev povezave"},
          {10, "0", nullptr},
          {20, "-10", nullptr},
          {60, "-10", "Prekinitev povezave"},
          {70, "-10", nullptr}}},
    };
    for (const Case& c : cases) {
        Tray tray;
        for (const Step& step : c.steps) {
            const auto before = tray.face.notices.size();
            const int clock = 10 * 3600 + step.second;
            char stamp[32];
            std::snprintf(stamp, sizeof stamp, "2015/01/26 %02d:%02d:%02d,0,", clock / 3600, clock / 60 % 60,
                          clock % 60);
            tray.Write(stamp + std::string(step.status), step.second);
            if (step.noticeTitle) {
                ASSERT_EQ(tray.face.notices.size(), before + 1) << c.what << " at " << step.second;
                EXPECT_EQ(tray.face.notices.back().first, step.noticeTitle) << c.what;
            } else {
                EXPECT_EQ(tray.face.notices.size(), before) << c.what << " at " << step.second;
            }
        }
    }
}

TEST(TrayNotifications, TextsNameTheHostAndCountTheOutageAsTheReportDoes)
{
    Tray tray;
    tray.Write("2015/01/26 10:00:10,0,-10", 0);
    tray.Write("2015/01/26 10:00:30,0,-10", 20);
    tray.Write("2015/01/26 10:00:40,2,0", 60);
    tray.Write("2015/01/26 10:05:00,0,-10", 120);
    tray.Write("2015/01/26 10:05:10,2,0", 180);
    const std::vector<std::pair<std::string, std::string>> expected {
        {"Prekinitev povezave", "Home (127.0.0.1): ni odgovora od 2015/01/26 10:00:10."},
        {"Povezava spet deluje",
         "Home (127.0.0.1): prekinitev od 2015/01/26 10:00:10 do 2015/01/26 10:00:30 je trajala 00:00:20."},
        {"Prekinitev povezave", "Home (127.0.0.1): ni odgovora od 2015/01/26 10:05:00."},
        {"Povezava spet deluje", "Home (127.0.0.1): en sam zapis brez odgovora (2015/01/26 10:05:00); poročilo "
                                 "ga ne šteje za prekinitev."},
    };
    EXPECT_EQ(tray.face.notices, expected);
}

// The window logic tells the tray every record and every change of schedule,
// in the order they happen.
TEST(TrayInWindow, FollowsStartUpStopAndStart)
{
    struct Case {
        const char* ini;
        int32_t status;
        bool startupFails;
        TrayColour colour;  // of the status
    };
    const Case cases[] = {
        {"Home, 127.0.0.1\r\n", 0, false, TrayColour::Green},
        {"Home, 127.0.0.1\r\n", kIpRequestTimedOut, false, TrayColour::Red},
        {"Home, 999.0.0.1\r\n", kNoRequestSent, false, TrayColour::Amber},
        {"Home 127.0.0.1\r\n", 0, true, TrayColour::Green},
    };
    for (const Case& c : cases) {
        testing::TempFolder folder;
        testing::WriteBytes(folder / "Vellomar.ini", c.ini);
        FakeFace face;
        std::optional<TrayColour> boxColour;
        face.whileMessageBoxOpen = [&] { boxColour = face.trayStates.back().colour; };
        WindowSeams seams;
        seams.programFolder = folder.path();
        seams.sockets.initialize = [] { return true; };
        seams.sockets.sendPing = [&c](std::string, int32_t, EchoReply&) { return c.status; };
        seams.sockets.cleanup = [] {};
        WindowLogic window(face, std::move(seams));
        auto settle = [&] { ASSERT_TRUE(face.PumpUntil([&] { return !window.CycleInFlight(); })); };

        window.Form_Load();
        settle();
        EXPECT_EQ(boxColour.has_value(), c.startupFails) << c.ini;
        EXPECT_EQ(boxColour.value_or(TrayColour::Grey), TrayColour::Grey) << "waiting for Start";
        EXPECT_EQ(face.trayStates.back().colour, c.startupFails ? TrayColour::Grey : c.colour) << c.ini;
        window.cmdStop_Click();
        EXPECT_EQ(face.trayStates.back().colour, TrayColour::Grey) << c.ini;
        window.cmdStart_Click();
        EXPECT_EQ(face.trayStates.back().colour, TrayColour::Grey) << "until the Start probe's record";
        settle();
        EXPECT_EQ(face.trayStates.back().colour, c.colour) << c.ini;
        window.Timer1_Timer();
        window.cmdStop_Click();  // held behind the tick's probe, then run
        settle();
        EXPECT_EQ(face.trayStates.back().colour, TrayColour::Grey) << c.ini;
    }
}

}  // namespace
}  // namespace vellomar
