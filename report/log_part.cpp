#include "log_part.h"

#include "daily_logs.h"
#include "page_tally.h"
#include "probe_record.h"
#include "stamp.h"

namespace vellomar::report {
namespace {

// A row of the log's own, with what the page needs of it, when the outage
// spans any time: a single timed-out record, or several with one stamp, has
// no span to report.
void AddOwnRow(LogPart& part, const KeptStamp& first, const KeptStamp& last)
{
    if (first.Text() == last.Text()) {
        return;
    }
    part.rows += OutageRow(first, last);
    part.rowsTotal += last.seconds - first.seconds;
    ++part.rowsCount;
    KeepLongest(part.longest, PageOutage {first, last});
}

// Keeps the last record read, and the time since the one before it when
// nobody watched (the computer was off or asleep, or the program closed).
void FollowRecords(LogPart& part, const ProbeRecord& record)
{
    if (record.seconds - part.lastRecord.seconds <= daily_log::kMaxGapWithinOutage) {
        // most records: no call
    } else if (const auto unwatched = UnwatchedBetween(part.lastRecord.seconds, record.seconds)) {
        part.unwatched.push_back(*unwatched);
    }
    part.lastRecord = KeptStampOf(record);
}

void Join(FoldedLog& folded, const KeptStamp& first, const KeptStamp& last)
{
    if (first.Text() != last.Text()) {
        folded.joined[folded.joinedCount++] = OutageSpan {first, last};
        folded.total += last.seconds - first.seconds;
    }
}

}  // namespace

std::string OutageRow(const KeptStamp& first, const KeptStamp& last)
{
    std::string row;
    row.append(first.Text()).append(";").append(last.Text()).append(";");
    return row.append(FormatDuration(last.seconds - first.seconds)).append("\r\n");
}

platform::Outcome<LogPart> ReadLogPart(LineReader& reader, const std::filesystem::path& folder, std::string_view name,
                                       bool withRoundTrips)
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
    const platform::Done read = reader.ReadFile(folder / name, [&](std::string_view line) {
        const auto record = parser.Parse(line);
        if (record && !part.hasRecords) {
            part.hasRecords = true;
            part.lastRecord = KeptStampOf(*record);
            if (dayFromRecords) {
                part.day = record->stamp.substr(0, kDateLength);
            }
            part.opensWithTimeout = inFirstOutage = record->timedOut;
            part.firstRecord = KeptStampOf(*record);
        }
        if (record) {
            AddRecord(tracker, *record);
            FollowRecords(part, *record);
            if (withRoundTrips) {
                rtt.Add(record->seconds, record->replied, record->timedOut, record->roundTrip);
            }
        }
        // Every line: the time between any two records may be unwatched.
        return LineReader::kEveryLine;
    });
    if (!read) {
        return platform::Failure {read.Reason()};
    }
    part.lines = reader.LinesInLastFile();
    part.rtt = rtt.Take();
    part.endsInOutage = tracker.InOutage();
    part.openFirst = tracker.First();
    part.openLast = tracker.Last();
    return part;
}

FoldedLog OutageFold::AddLog(const LogPart& part)
{
    FoldedLog folded;
    if (part.hasRecords) {
        const bool joins =
            open_ && part.opensWithTimeout && ContinuesOutage(openLast_.seconds, part.firstRecord.seconds);
        if (open_ && !joins) {
            Join(folded, openFirst_, openLast_);
        }
        const KeptStamp firstOutageStart = joins ? openFirst_ : part.firstRecord;
        if (part.opensWithTimeout && part.firstOutageEnded) {
            Join(folded, firstOutageStart, part.firstOutageLast);
        }
        folded.total += part.rowsTotal;
        open_ = part.endsInOutage;
        const bool firstOutageStillOpen = part.opensWithTimeout && !part.firstOutageEnded;
        openFirst_ = firstOutageStillOpen ? firstOutageStart : part.openFirst;
        openLast_ = part.openLast;
    }
    return folded;
}

}  // namespace vellomar::report
