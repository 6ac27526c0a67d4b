#include "tray_status.h"

#include <cstdint>
#include <utility>

#include "daily_log_format.h"

namespace vellomar {

namespace {

const char* FailureName(EchoEnd end)
{
    switch (end) {
    case EchoEnd::NetUnreachable:
        return "Omrežje ni dosegljivo";
    case EchoEnd::HostUnreachable:
        return "Gostitelj ni dosegljiv";
    case EchoEnd::ProtocolUnreachable:
        return "Protokol ni dosegljiv";
    case EchoEnd::PortUnreachable:
        return "Vrata niso dosegljiva";
    case EchoEnd::TtlExpiredInTransit:
        return "Paketu je na poti potekel čas življenja";
    case EchoEnd::TtlExpiredInReassembly:
        return "Paketu je med sestavljanjem potekel čas";
    case EchoEnd::ParameterProblem:
        return "Napaka v glavi paketa";
    case EchoEnd::SourceQuench:
        return "Usmerjevalnik prosi za počasnejše pošiljanje";
    case EchoEnd::GeneralFailure:
        return "Splošna napaka";
    default:
        return nullptr;
    }
}

std::string Duration(const daily_log::KeptStamp& first, const daily_log::KeptStamp& last)
{
    return daily_log::FormatDuration(last.seconds - first.seconds);
}

// What the next hop's answer beside a time-out says of where the outage is.
std::string WhereFrom(companion_log::HopAnswer hop)
{
    switch (hop) {
    case companion_log::HopAnswer::Answered:
        return "Prvi usmerjevalnik odgovarja: prekinitev je pri ponudniku.";
    case companion_log::HopAnswer::Silent:
        return "Tudi prvi usmerjevalnik ne odgovarja: težava je v domačem omrežju.";
    default:
        return {};
    }
}

// The tooltip's line for one record of the daily log, for the state of the
// outage it may belong to.
std::string DescribeRecord(const CycleRecord& record, companion_log::HopAnswer hop,
                           const daily_log::OutageTracker& outages)
{
    if (record.socketFailure)
        return "Knjižnica vtičnic se ne odziva: zahteva ni bila poslana";
    switch (record.end) {
    case EchoEnd::TimedOut: {
        std::string line = "Prekinitev od " + std::string(outages.First().Text()) + ", traja " +
                           Duration(outages.First(), outages.Last());
        const std::string where = WhereFrom(hop);
        return where.empty() ? line : line + "\n" + where;
    }
    case EchoEnd::Replied:
        return "Odgovor v " + std::to_string(record.roundTripMs) + " ms, " + record.stamp;
    case EchoEnd::NotSent:
        return "Zahteve ni bilo mogoče poslati (" + record.stamp + "): preveri naslov v Vellomar.ini";
    default:
        const char* name = FailureName(record.end);
        return (name ? std::string(name) : "Napaka " + std::to_string(record.status)) + " (" + record.stamp + ")";
    }
}

}  // namespace

TrayStatus::TrayStatus(WindowFace& face, SteadyClock now)
    : face_(face), now_(std::move(now)),
      outages_(
          [this](const daily_log::KeptStamp& first, const daily_log::KeptStamp& last) { OutageEnded(first, last); })
{}

void TrayStatus::RecordWritten(const CycleRecord& record, companion_log::HopAnswer hop)
{
    lastRecord_ = record;
    lastHop_ = hop;
    if (!record.socketFailure) {
        const bool timedOut = record.end == EchoEnd::TimedOut;
        const bool wasInOutage = outages_.InOutage();
        const daily_log::KeptStamp before = outages_.First();
        outages_.Add(timedOut, record.stamp, record.seconds);  // may end the outage before, with its count
        const bool newOutage = timedOut && (!wasInOutage || outages_.First().Text() != before.Text() ||
                                            outages_.First().seconds != before.seconds);
        if (newOutage)
            place_ = {};
        if (timedOut)
            place_.Add(hop);
        if (newOutage)
            OutageBegan(record, hop);
    }
    Show();
    NotifyIfDue();
}

void TrayStatus::OutageBegan(const CycleRecord& record, companion_log::HopAnswer hop)
{
    const bool atHome = hop == companion_log::HopAnswer::Silent;
    std::string text = Host() + ": ni odgovora od " + record.stamp + ".";
    if (const std::string where = WhereFrom(hop); !where.empty())
        text += " " + where;
    Offer({atHome ? "Težava v domačem omrežju" : "Prekinitev povezave", std::move(text)});
}

void TrayStatus::SetHost(WatchedHost host)
{
    host_ = std::move(host);
}

void TrayStatus::OutageEnded(const daily_log::KeptStamp& first, const daily_log::KeptStamp& last)
{
    std::string text = Host() + ": prekinitev od " + std::string(first.Text()) + " do " + std::string(last.Text()) +
                       " je trajala " + Duration(first, last) +
                       ". Kje: " + std::string(companion_log::PlaceText(place_.Place())) + ".";
    if (first.Text() == last.Text())
        text = Host() + ": en sam zapis brez odgovora (" + std::string(first.Text()) +
               "); poročilo ga ne šteje za prekinitev.";
    Offer({"Povezava spet deluje", std::move(text)});
}

void TrayStatus::ScheduleRunning(bool running)
{
    running_ = running;
    Show();
}

void TrayStatus::ReportProblem(const std::string& problem, bool reportReplaced)
{
    if (problem == reportProblem_ && reportReplaced == reportReplaced_)
        return;
    reportProblem_ = problem;
    reportReplaced_ = reportReplaced;
    Show();
}

void TrayStatus::Show()
{
    TrayState state;
    state.colour = running_ ? LastRecordColour() : TrayColour::Grey;
    state.tooltip = Host();
    if (!running_)
        state.tooltip += "\nSpremljanje je ustavljeno.";
    if (lastRecord_)
        state.tooltip += "\n" + DescribeRecord(*lastRecord_, lastHop_, outages_);
    if (!reportProblem_.empty() && reportReplaced_)
        state.tooltip += "\nPoročilo ERR_list.csv je zapisano, a ni varno shranjeno: " + reportProblem_;
    else if (!reportProblem_.empty())
        state.tooltip += "\nPoročilo ERR_list.csv ni bilo zapisano: " + reportProblem_;
    face_.ShowTrayState(state);
}

TrayColour TrayStatus::LastRecordColour() const
{
    if (!lastRecord_)
        return TrayColour::Grey;
    if (lastRecord_->socketFailure)
        return TrayColour::Amber;
    switch (lastRecord_->end) {
    case EchoEnd::Replied:
        return TrayColour::Green;
    case EchoEnd::TimedOut:
        return lastHop_ == companion_log::HopAnswer::Silent ? TrayColour::Amber : TrayColour::Red;
    default:
        return TrayColour::Amber;
    }
}

std::string TrayStatus::Host() const
{
    return host_.name + " (" + host_.address + ")";
}

// The latest notice replaces one still waiting: it tells the state as it is.
void TrayStatus::Offer(Notice notice)
{
    pending_ = std::move(notice);
}

void TrayStatus::NotifyIfDue()
{
    if (!pending_)
        return;
    const auto now = now_();
    if (lastNotified_ && now - *lastNotified_ < kNotificationSpacing)
        return;
    face_.Notify(pending_->title, pending_->text);
    pending_.reset();
    lastNotified_ = now;
}

}  // namespace vellomar
