#include "log_part.h"

#include "daily_logs.h"
#include "probe_record.h"
#include "stamp.h"

namespace vellomar::report {
namespace {

constexpr std::string_view kSummaryPrefix = "-----;-----; ;";

std::string SummaryRow(std::string_view day, std::int64_t dailyTotal)
{
    std::string row(kSummaryPrefix);
    return row.append(day).append(";").append(FormatDuration(dailyTotal)).append("\r\n");
}

// Adds the row of an outage, if it spans any time, to rows and total.
void EndOutage(const KeptStamp& first, const KeptStamp& last, std::string* rows, std::int64_t& total, PageTally* page)
{
    if (first.Text() == last.Text()) {
        return;  // a single timed-out record, or several with one stamp: no span to report
    }
    if (rows != nullptr) {
        *rows += OutageRow(first, last);
    }
    if (page != nullptr) {
        page->AddOutage(first, last);
    }
    total += last.seconds - first.seconds;
}

// A row of the log's own, with what the page needs of it.
void AddOwnRow(LogPart& part, const KeptStamp& first, const KeptStamp& last)
{
    const std::size_t before = part.rows.size();
    EndOutage(first, last, &part.rows, part.rowsTotal, nullptr);
    if (part.rows.size() != before) {
        ++part.rowsCount;
        KeepLongest(part.longest, PageOutage {first, last});
    }
}

}  // namespace

std::string OutageRow(const KeptStamp& first, const KeptStamp& last)
{
    std::string row;
    row.append(first.Text()).append(";").append(last.Text()).append(";");
    return row.append(FormatDuration(last.seconds - first.seconds)).append("\r\n");
}

std::optional<LogPart> ReadLogPart(LineReader& reader, const std::filesystem::path& folder, std::string_view name,
                                   bool whole)
{
    LogPart part;
    part.day = DateFromLogName(name);
    const bool dayFromRecords = part.day.empty();
    bool inFirstOutage = false;
    OutageTracker tracker([&](const KeptStamp& first, const KeptStamp& last) {
        if (inFirstOutage) {
            inFirstOutage = false;
            part.firstOutageEnded = true;
            part.firstOutageLast = last;
        } else {
            AddOwnRow(part, first, last);
        }
    });
    ProbeRecordParser parser;
    RttSlots rtt;
    part.readWhole = whole;
    const bool read = reader.ReadFile(folder / name, [&](std::string_view line) {
        const auto record = parser.Parse(line);
        if (record && !part.hasRecords) {
            part.hasRecords = true;
            if (dayFromRecords) {
                part.day = record->stamp.substr(0, kDateLength);
            }
            part.opensWithTimeout = inFirstOutage = record->timedOut;
            part.firstRecord = KeptStamp::Of(*record);
        }
        if (record) {
            tracker.Add(*record);
            if (whole) {
                part.lastRecord = KeptStamp::Of(*record);
                rtt.Add(record->seconds, record->replied, record->timedOut, record->roundTrip);
            }
        }
        // Outside an outage only a timed-out record changes anything, and a
        // line without a '-' cannot hold its status "-10".
        return part.hasRecords && !tracker.InOutage() && !whole ? '-' : LineReader::kEveryLine;
    });
    if (!read) {
        return std::nullopt;
    }
    part.lines = reader.LinesInLastFile();
    part.rtt = rtt.Take();
    part.endsInOutage = tracker.InOutage();
    part.openFirst = tracker.First();
    part.openLast = tracker.Last();
    return part;
}

void OutageFold::AddLog(const LogPart& part, std::string* rows, PageTally* page)
{
    std::int64_t total = 0;
    if (part.hasRecords) {
        const bool joins =
            open_ && part.opensWithTimeout && ContinuesOutage(openLast_.seconds, part.firstRecord.seconds);
        if (open_ && !joins) {
            EndOutage(openFirst_, openLast_, rows, total, page);
        }
        const KeptStamp firstOutageStart = joins ? openFirst_ : part.firstRecord;
        if (part.opensWithTimeout && part.firstOutageEnded) {
            EndOutage(firstOutageStart, part.firstOutageLast, rows, total, page);
        }
        if (rows != nullptr) {
            *rows += part.rows;
        }
        total += part.rowsTotal;
        open_ = part.endsInOutage;
        const bool firstOutageStillOpen = part.opensWithTimeout && !part.firstOutageEnded;
        openFirst_ = firstOutageStillOpen ? firstOutageStart : part.openFirst;
        openLast_ = part.openLast;
    }
    if (rows != nullptr) {
        *rows += SummaryRow(part.day, total);
    }
    if (page != nullptr) {
        page->AddOutages(part.rowsCount, part.longest);
        const KeptStamp* last = part.readWhole ? &part.lastRecord : &part.firstRecord;
        page->AddLog(part.day, total, part.lines, part.hasRecords ? &part.firstRecord : nullptr,
                     part.hasRecords ? last : nullptr, part.rtt);
    }
}

}  // namespace vellomar::report
