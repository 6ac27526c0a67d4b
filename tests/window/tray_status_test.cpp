#include "tray_status.h"

#include <gtest/gtest.h>

#include "fake_face.h"

namespace vellomar {
namespace {

using testing::FakeFace;
using Clock = std::chrono::steady_clock;

const std::string kHost = "Home (127.0.0.1)";

const ProbeResult kTimeOut {EchoEnd::TimedOut, 11010, 0}, kNotSent {};
using companion_log::HopAnswer;
constexpr HopAnswer kHopAnswers = HopAnswer::Answered, kHopSilent = HopAnswer::Silent, kNoHop = HopAnswer::Unknown;
const std::string kAtProvider = "\nPrvi usmerjevalnik odgovarja: prekinitev je pri ponudniku.",
                  kAtHome = "\nTudi prvi usmerjevalnik ne odgovarja: težava je v domačem omrežju.";

ProbeResult Reply(int32_t ms)
{
    return {EchoEnd::Replied, 0, ms};
}

struct Tray {
    Tray() { status.SetHost({"Home", "127.0.0.1"}); }
    // A record stamped `second` after 2015/01/26 10:00:00 and written as long after the first.
    void Write(int second, const ProbeResult& probe, HopAnswer hop = kNoHop)
    {
        now = Clock::time_point(std::chrono::seconds(second));
        const int t = 10 * 3600 + second;
        status.RecordWritten(ComposeProbeRecord({2015, 1, 26 + t / 86400, t / 3600 % 24, t / 60 % 60, t % 60}, probe),
                             hop);
    }
    const TrayState& Shown() const { return face.trayStates.back(); }

    FakeFace face;
    Clock::time_point now;
    TrayStatus status {face, [this] { return now; }};
};

TEST(TrayState, ColourAndTooltipFollowTheLastRecord)
{
    struct Case {
        std::vector<std::tuple<int, ProbeResult, HopAnswer>> records;  // second, probe, next hop
        TrayColour colour;
        std::string lastLine;        // below the host
        bool thenNoSockets = false;  // the socket failure line written last
    };
    const Case cases[] = {
        {{{0, Reply(0), kNoHop}, {10, kTimeOut, kNoHop}, {20, kTimeOut, kNoHop}},
         TrayColour::Red,
         "Prekinitev od 2015/01/26 10:00:10, traja 00:00:10"},
        // The next hop beside a time-out: answering, the outage is the provider's; silent too, it is at home.
        {{{10, kTimeOut, kHopSilent}, {20, kTimeOut, kHopAnswers}},
         TrayColour::Red,
         "Prekinitev od 2015/01/26 10:00:10, traja 00:00:10" + kAtProvider},
        {{{10, kTimeOut, kHopAnswers}, {20, kTimeOut, kHopSilent}},
         TrayColour::Amber,
         "Prekinitev od 2015/01/26 10:00:10, traja 00:00:10" + kAtHome},
        {{{10, kTimeOut, kHopSilent}, {20, Reply(4), kHopSilent}},
         TrayColour::Green,
         "Odgovor v 4 ms, 2015/01/26 10:00:20"},
        {{{50390, kTimeOut, kNoHop}, {50420, kTimeOut, kNoHop}},
         TrayColour::Red,
         "Prekinitev od 2015/01/26 23:59:50, traja 00:00:30"},
        // A minute between time-outs is one outage; more, and the monitor was off: the report counts two.
        {{{10, kTimeOut, kNoHop}, {70, kTimeOut, kNoHop}},
         TrayColour::Red,
         "Prekinitev od 2015/01/26 10:00:10, traja 00:01:00"},
        {{{10, kTimeOut, kNoHop}, {71, kTimeOut, kNoHop}},
         TrayColour::Red,
         "Prekinitev od 2015/01/26 10:01:11, traja 00:00:00"},
        {{{10, kTimeOut, kNoHop}, {20, Reply(5), kNoHop}}, TrayColour::Green, "Odgovor v 5 ms, 2015/01/26 10:00:20"},
        {{{0, kNotSent, kNoHop}},
         TrayColour::Amber,
         "Zahteve ni bilo mogoče poslati (2015/01/26 10:00:00): preveri naslov v Vellomar.ini"},
        {{{0, {EchoEnd::HostUnreachable, 11003, 0}, kNoHop}},
         TrayColour::Amber,
         "Gostitelj ni dosegljiv (2015/01/26 10:00:00)"},
        {{{0, {EchoEnd::OtherFailure, 11031, 0}, kNoHop}}, TrayColour::Amber, "Napaka 11031 (2015/01/26 10:00:00)"},
        {{{0, kTimeOut, kNoHop}}, TrayColour::Amber, "Knjižnica vtičnic se ne odziva: zahteva ni bila poslana", true},
    };
    CycleRecord noSockets;
    noSockets.socketFailure = true;
    for (const Case& c : cases) {
        Tray tray;
        tray.status.ScheduleRunning(true);
        for (const auto& [second, result, hop] : c.records)
            tray.Write(second, result, hop);
        if (c.thenNoSockets)
            tray.status.RecordWritten(noSockets, kNoHop);
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
    tray.status.ReportProblem("disk full", false);
    EXPECT_TRUE(tray.Shown().tooltip.ends_with("\nPoročilo ERR_list.csv ni bilo zapisano: disk full"));
    tray.status.ReportProblem("disk full", true);
    EXPECT_TRUE(tray.Shown().tooltip.ends_with("\nPoročilo ERR_list.csv je zapisano, a ni varno shranjeno: disk full"));
    tray.status.ReportProblem("", false);
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

// The end comes exactly a minute after the begin. Where an outage was is what the next hop said beside most of
// its time-outs, as on the page: a tie goes to the home network, and without its answers it is not known.
TEST(TrayNotifications, TextsNameTheHostTheOutagesPlaceAndCountTheOutageAsTheReportDoes)
{
    Tray tray;
    for (auto [second, probe, hop] : {std::tuple(10, kTimeOut, kNoHop),
                                      {30, kTimeOut, kNoHop},
                                      {70, Reply(2), kNoHop},
                                      {300, kTimeOut, kNoHop},
                                      {370, Reply(2), kNoHop},
                                      {600, kTimeOut, kHopAnswers},
                                      {610, kTimeOut, kHopSilent},
                                      {620, kTimeOut, kHopAnswers},
                                      {680, Reply(2), kHopAnswers},
                                      {900, kTimeOut, kHopSilent},
                                      {910, kTimeOut, kHopAnswers},
                                      {970, Reply(2), kHopAnswers}})
        tray.Write(second, probe, hop);
    const std::string host = "Home (127.0.0.1): ";
    const std::vector<std::pair<std::string, std::string>> expected {
        {"Prekinitev povezave", host + "ni odgovora od 2015/01/26 10:00:10."},
        {"Povezava spet deluje",
         host + "prekinitev od 2015/01/26 10:00:10 do 2015/01/26 10:00:30 je trajala 00:00:20. Kje: ni znano."},
        {"Prekinitev povezave", host + "ni odgovora od 2015/01/26 10:05:00."},
        {"Povezava spet deluje",
         host + "en sam zapis brez odgovora (2015/01/26 10:05:00); poročilo ga ne šteje za prekinitev."},
        {"Prekinitev povezave", host + "ni odgovora od 2015/01/26 10:10:00. " + kAtProvider.substr(1)},
        {"Povezava spet deluje",
         host + "prekinitev od 2015/01/26 10:10:00 do 2015/01/26 10:10:20 je trajala 00:00:20. Kje: pri ponudniku."},
        {"Težava v domačem omrežju", host + "ni odgovora od 2015/01/26 10:15:00. " + kAtHome.substr(1)},
        {"Povezava spet deluje", host + "prekinitev od 2015/01/26 10:15:00 do 2015/01/26 10:15:10 je trajala "
                                        "00:00:10. Kje: v domačem omrežju."},
    };
    EXPECT_EQ(tray.face.notices, expected);
}

}  // namespace
}  // namespace vellomar
