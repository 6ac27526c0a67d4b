#include "tray_status.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "fake_face.h"

namespace vellomar {
namespace {

using testing::FakeFace;
using Clock = std::chrono::steady_clock;

const std::string kHost = "Home (127.0.0.1)";

struct Tray {
    Tray() { face.captions[Label::HostName] = "Home", face.captions[Label::IPAddress] = "127.0.0.1"; }
    // A record stamped `second` after 2015/01/26 10:00:00 and written as long
    // after the first; `result` is its round trip and status.
    void Write(int second, const std::string& result)
    {
        now = Clock::time_point(std::chrono::seconds(second));
        const int t = 10 * 3600 + second;
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "2015/01/%02d %02d:%02d:%02d,", 26 + t / 86400, t / 3600 % 24, t / 60 % 60,
                      t % 60);
        status.RecordWritten(stamp + result);
    }
    const TrayState& Shown() const { return face.trayStates.back(); }

    FakeFace face;
    Clock::time_point now;
    TrayStatus status {face, [this] { return now; }};
};

TEST(TrayState, ColourAndTooltipFollowTheLastRecord)
{
    struct Case {
        std::vector<std::pair<int, const char*>> records;  // second, result
        TrayColour colour;
        std::string lastLine;            // below the host
        const char* thenLine = nullptr;  // a line other than a record, written last
    };
    const Case cases[] = {
        {{{0, "0,0"}, {10, "0,-10"}, {20, "0,-10"}},
         TrayColour::Red,
         "Prekinitev od 2015/01/26 10:00:10, traja 00:00:10"},
        {{{50390, "0,-10"}, {50420, "0,-10"}}, TrayColour::Red, "Prekinitev od 2015/01/26 23:59:50, traja 00:00:30"},
        // More than a minute between time-outs: the monitor was off, and the report counts two outages.
        {{{10, "0,-10"}, {300, "0,-10"}}, TrayColour::Red, "Prekinitev od 2015/01/26 10:05:00, traja 00:00:00"},
        {{{10, "0,-10"}, {20, "5,0"}}, TrayColour::Green, "Odgovor v 5 ms, 2015/01/26 10:00:20"},
        {{{0, "0,-1"}},
         TrayColour::Amber,
         "Zahteve ni bilo mogoče poslati (2015/01/26 10:00:00): preveri naslov v Vellomar.ini"},
        {{{0, "0,11003"}}, TrayColour::Amber, "Gostitelj ni dosegljiv (2015/01/26 10:00:00)"},
        {{{0, "0,11031"}}, TrayColour::Amber, "Napaka 11031 (2015/01/26 10:00:00)"},
        {{{0, "0,-10"}},
         TrayColour::Amber,
         "Knjižnica vtičnic se ne odziva: zahteva ni bila poslana",
         "Windows Sockets not responding correctly."},
    };
    for (const Case& c : cases) {
        Tray tray;
        tray.status.ScheduleRunning(true);
        for (const auto& [second, result] : c.records)
            tray.Write(second, result);
        if (c.thenLine)
            tray.status.RecordWritten(c.thenLine);
        EXPECT_EQ(tray.Shown(), (TrayState {c.colour, kHost + "\n" + c.lastLine})) << c.lastLine;
    }
}

TEST(TrayState, StoppedScheduleIsGreyAndStillTellsTheLastRecord)
{
    Tray tray;
    tray.status.Show();
    EXPECT_EQ(tray.Shown(), (TrayState {TrayColour::Grey, kHost + "\nSpremljanje je ustavljeno."}));
    tray.Write(0, "0,-10");
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
        const char* result;
        const char* noticeTitle;  // shown by this record, or ""
    };
    const std::pair<const char*, std::vector<Step>> cases[] = {
        {"replies and failures other than time-outs tell nothing",
         {{0, "0,0", ""}, {10, "0,-1", ""}, {20, "0,11003", ""}, {30, "0,0", ""}}},
        {"an end due 59 s after the begin waits for the next record",
         {{0, "0,-10", "Prekinitev povezave"}, {59, "0,0", ""}, {69, "0,0", "Povezava spet deluje"}}},
        {"a later notice replaces the waiting one; an outage's later time-outs begin nothing",
         {{0, "0,-10", "Prekinitev povezave"},
          {10, "0,0", ""},
          {20, "0,-10", ""},
          {60, "0,-10", "Prekinitev povezave"},
          {70, "0,-10", ""},
          {120, "0,-10", ""}}},
    };
    for (const auto& [what, steps] : cases) {
        Tray tray;
        for (const Step& step : steps) {
            const auto before = tray.face.notices.size();
            tray.Write(step.second, step.result);
            EXPECT_EQ(tray.face.notices.size() == before ? "" : tray.face.notices.back().first, step.noticeTitle)
                << what << " at " << step.second;
        }
    }
}

// The end comes exactly a minute after the begin.
TEST(TrayNotifications, TextsNameTheHostAndCountTheOutageAsTheReportDoes)
{
    Tray tray;
    for (auto [second, result] : {std::pair(10, "0,-10"), {30, "0,-10"}, {70, "2,0"}, {300, "0,-10"}, {370, "2,0"}})
        tray.Write(second, result);
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

}  // namespace
}  // namespace vellomar
