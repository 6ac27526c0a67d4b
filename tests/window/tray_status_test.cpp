#include "tray_status.h"

#include <gtest/gtest.h>

#include "fake_face.h"

namespace vellomar {
namespace {

using testing::FakeFace;
using Clock = std::chrono::steady_clock;

const std::string kHost = "Home (127.0.0.1)";

const ProbeResult kTimeOut {EchoEnd::TimedOut, 11010, 0}, kNotSent {};

ProbeResult Reply(int32_t ms)
{
    return {EchoEnd::Replied, 0, ms};
}

struct Tray {
    Tray() { status.SetHost({"Home", "127.0.0.1"}); }
    // A record stamped `second` after 2015/01/26 10:00:00 and written as long after the first.
    void Write(int second, const ProbeResult& probe)
    {
        now = Clock::time_point(std::chrono::seconds(second));
        const int t = 10 * 3600 + second;
        status.RecordWritten(ComposeProbeRecord({2015, 1, 26 + t / 86400, t / 3600 % 24, t / 60 % 60, t % 60}, probe));
    }
    const TrayState& Shown() const { return face.trayStates.back(); }

    FakeFace face;
    Clock::time_point now;
    TrayStatus status {face, [this] { return now; }};
};

TEST(TrayState, ColourAndTooltipFollowTheLastRecord)
{
    struct Case {
        std::vector<std::pair<int, ProbeResult>> records;  // second, probe
        TrayColour colour;
        std::string lastLine;        // below the host
        bool thenNoSockets = false;  // the socket failure line written last
    };
    const Case cases[] = {
        {{{0, Reply(0)}, {10, kTimeOut}, {20, kTimeOut}},
         TrayColour::Red,
         "Prekinitev od 2015/01/26 10:00:10, traja 00:00:10"},
        {{{50390, kTimeOut}, {50420, kTimeOut}}, TrayColour::Red, "Prekinitev od 2015/01/26 23:59:50, traja 00:00:30"},
        // A minute between time-outs is one outage; more, and the monitor was off: the report counts two.
        {{{10, kTimeOut}, {70, kTimeOut}}, TrayColour::Red, "Prekinitev od 2015/01/26 10:00:10, traja 00:01:00"},
        {{{10, kTimeOut}, {71, kTimeOut}}, TrayColour::Red, "Prekinitev od 2015/01/26 10:01:11, traja 00:00:00"},
        {{{10, kTimeOut}, {20, Reply(5)}}, TrayColour::Green, "Odgovor v 5 ms, 2015/01/26 10:00:20"},
        {{{0, kNotSent}},
         TrayColour::Amber,
         "Zahteve ni bilo mogoče poslati (2015/01/26 10:00:00): preveri naslov v Vellomar.ini"},
        {{{0, {EchoEnd::HostUnreachable, 11003, 0}}},
         TrayColour::Amber,
         "Gostitelj ni dosegljiv (2015/01/26 10:00:00)"},
        {{{0, {EchoEnd::OtherFailure, 11031, 0}}}, TrayColour::Amber, "Napaka 11031 (2015/01/26 10:00:00)"},
        {{{0, kTimeOut}}, TrayColour::Amber, "Knjižnica vtičnic se ne odziva: zahteva ni bila poslana", true},
    };
    CycleRecord noSockets;
    noSockets.socketFailure = true;
    for (const Case& c : cases) {
        Tray tray;
        tray.status.ScheduleRunning(true);
        for (const auto& [second, result] : c.records)
            tray.Write(second, result);
        if (c.thenNoSockets)
            tray.status.RecordWritten(noSockets);
        EXPECT_EQ(tray.Shown(), (TrayState {c.colour, kHost + "\n" + c.lastLine})) << c.lastLine;
    }
}

TEST(TrayState, StoppedScheduleIsGreyAndStillTellsTheLastRecord)
{
    Tray tray;
    tray.status.Show();
    EXPECT_EQ(tray.Shown(), (TrayState {TrayColour::Grey, kHost + "\nSpremljanje je ustavljeno."}));
    tray.Write(0, kTimeOut);
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
        ProbeResult probe;
        const char* noticeTitle;  // shown by this record, or ""
    };
    const std::pair<const char*, std::vector<Step>> cases[] = {
        {"replies and failures other than time-outs tell nothing",
         {{0, Reply(0), ""}, {10, kNotSent, ""}, {20, {EchoEnd::HostUnreachable, 11003, 0}, ""}, {30, Reply(0), ""}}},
        {"an end due 59 s after the begin waits for the next record",
         {{0, kTimeOut, "Prekinitev povezave"}, {59, Reply(0), ""}, {69, Reply(0), "Povezava spet deluje"}}},
        {"a later notice replaces the waiting one; an outage's later time-outs begin nothing",
         {{0, kTimeOut, "Prekinitev povezave"},
          {10, Reply(0), ""},
          {20, kTimeOut, ""},
          {60, kTimeOut, "Prekinitev povezave"},
          {70, kTimeOut, ""},
          {120, kTimeOut, ""}}},
    };
    for (const auto& [what, steps] : cases) {
        Tray tray;
        for (const Step& step : steps) {
            const auto before = tray.face.notices.size();
            tray.Write(step.second, step.probe);
            EXPECT_EQ(tray.face.notices.size() == before ? "" : tray.face.notices.back().first, step.noticeTitle)
                << what << " at " << step.second;
        }
    }
}

// The end comes exactly a minute after the begin.
TEST(TrayNotifications, TextsNameTheHostAndCountTheOutageAsTheReportDoes)
{
    Tray tray;
    for (auto [second, probe] :
         {std::pair(10, kTimeOut), {30, kTimeOut}, {70, Reply(2)}, {300, kTimeOut}, {370, Reply(2)}})
        tray.Write(second, probe);
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
