#include "tray_status.h"

#include <charconv>
#include <cstdint>
#include <utility>

#include "daily_log_format.h"
#include "socket_stuff.h"
#include "stamp.h"

namespace vellomar {

namespace {

// The number after the record's last comma.
std::optional<int32_t> StatusOf(const std::string& line)
{
    const auto comma = line.rfind(',');
    if (comma == std::string::npos)
        return std::nullopt;
    int32_t status = 0;
    const char* end = line.data() + line.size();
    auto [at, error] = std::from_chars(line.data() + comma + 1, end, status);
    if (error != std::errc() || at != end)
        return std::nullopt;
    return status;
}

const char* FailureName(int32_t status)
{
    switch (status) {
    case kIpDestNetUnreachable:
        return "Omrežje ni dosegljivo";
    case kIpDestHostUnreachable:
        return "Gostitelj ni dosegljiv";
    case kIpDestProtocolUnreachable:
        return "Protokol ni dosegljiv";
    case kIpDestPortUnreachable:
        return "Vrata niso dosegljiva";
    case kIpTtlExpiredTransit:
        return "Paketu je na poti potekel čas življenja";
    case kIpTtlExpiredReassembly:
        return "Paketu je med sestavljanjem potekel čas";
    case kIpParameterProblem:
        return "Napaka v glavi paketa";
    case kIpSourceQuench:
        return "Usmerjevalnik prosi za počasnejše pošiljanje";
    case kIpGeneralFailure:
        return "Splošna napaka";
    default:
        return nullptr;
    }
}

std::string Duration(const report::KeptStamp& first, const report::KeptStamp& last)
{
    return report::FormatDuration(last.seconds - first.seconds);
}

// The tooltip's line for one record of the daily log (a probe record or the
// socket failure line), for the state of the outage it may belong to.
std::string DescribeRecord(const std::string& line, const report::OutageTracker& outages)
{
    if (line == daily_log::kSocketFailureLine)
        return "Knjižnica vtičnic se ne odziva: zahteva ni bila poslana";
    report::ProbeRecordParser parser;
    const auto record = parser.Parse(line);
    const auto status = StatusOf(line);
    if (!record || !status)
        return "Neznan zapis: " + line;
    const std::string stamp(record->stamp);
    if (record->timedOut)
        return "Prekinitev od " + std::string(outages.First().Text()) + ", traja " +
               Duration(outages.First(), outages.Last());
    if (record->replied)
        return "Odgovor v " + std::to_string(record->roundTrip) + " ms, " + stamp;
    if (*status == kNoRequestSent)
        return "Zahteve ni bilo mogoče poslati (" + stamp + "): preveri naslov v Vellomar.ini";
    const char* name = FailureName(*status);
    return (name ? std::string(name) : "Napaka " + std::to_string(*status)) + " (" + stamp + ")";
}

}  // namespace

TrayStatus::TrayStatus(WindowFace& face, SteadyClock now)
    : face_(face), now_(std::move(now)),
      outages_([this](const report::KeptStamp& first, const report::KeptStamp& last) { OutageEnded(first, last); })
{}

void TrayStatus::RecordWritten(const std::string& line)
{
    lastLine_ = line;
    if (const auto record = parser_.Parse(line)) {
        const bool wasInOutage = outages_.InOutage();
        const report::KeptStamp before = outages_.First();
        outages_.Add(*record);
        const bool newOutage = record->timedOut && (!wasInOutage || outages_.First().Text() != before.Text() ||
                                                    outages_.First().seconds != before.seconds);
        if (newOutage)
            Offer({"Prekinitev povezave", Host() + ": ni odgovora od " + std::string(record->stamp) + "."});
    }
    Show();
    NotifyIfDue();
}

void TrayStatus::OutageEnded(const report::KeptStamp& first, const report::KeptStamp& last)
{
    std::string text = Host() + ": prekinitev od " + std::string(first.Text()) + " do " + std::string(last.Text()) +
                       " je trajala " + Duration(first, last) + ".";
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

void TrayStatus::ReportProblem(const std::string& problem)
{
    if (problem == reportProblem_)
        return;
    reportProblem_ = problem;
    Show();
}

void TrayStatus::Show()
{
    TrayState state;
    state.colour = running_ ? LastRecordColour() : TrayColour::Grey;
    state.tooltip = Host();
    if (!running_)
        state.tooltip += "\nSpremljanje je ustavljeno.";
    if (!lastLine_.empty())
        state.tooltip += "\n" + LastRecordText();
    if (!reportProblem_.empty())
        state.tooltip += "\nPoročilo ERR_list.csv ni bilo zapisano: " + reportProblem_;
    face_.ShowTrayState(state);
}

TrayColour TrayStatus::LastRecordColour() const
{
    if (lastLine_.empty())
        return TrayColour::Grey;
    report::ProbeRecordParser parser;
    const auto record = parser.Parse(lastLine_);
    if (record && record->replied)
        return TrayColour::Green;
    if (record && record->timedOut)
        return TrayColour::Red;
    return TrayColour::Amber;
}

std::string TrayStatus::LastRecordText() const
{
    return DescribeRecord(lastLine_, outages_);
}

std::string TrayStatus::Host() const
{
    return face_.Caption(Label::HostName) + " (" + face_.Caption(Label::IPAddress) + ")";
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
