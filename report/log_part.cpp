#include "log_part.h"

#include <cstring>
#include <optional>

#include "companion_log.h"
#include "daily_logs.h"
#include "page_tally.h"
#include "probe_record.h"
#include "stamp.h"

namespace vellomar::report {
namespace {

// A row of the log's own, when the outage spans any time: a single
// timed-out record, or several with one stamp, has no span to report.
bool AddOwnRow(LogPart& part, const KeptStamp& first, const KeptStamp& last)
{
    if (first.Text() == last.Text()) {
        return false;
    }
    part.rows += OutageRow(first, last);
    part.rowsTotal += last.seconds - first.seconds;
    ++part.rowsCount;
    return true;
}

// Finds a log's unwatched time and its last record from its lines without
// reading each: a record a few lines on that is less than a minute after the
// last one known, and not before it, leaves no gap between them when the
// clock only went forward; otherwise the lines between are read one by one.
// (A clock set back within those few lines by about as long as a gap beside
// it hides that gap.) The outages, which need every time-out, are found from
// every line that may hold one all the same.
class WatchScanner {
public:
    explicit WatchScanner(LogPart& part) : part_(part) {}

    void Lines(const char* begin, const char* end)
    {
        for (const char* at = begin; at != end;) {
            const char* const sample = end - at > kStride ? Find(at + kStride, end) : end;
            if (!known_ || sample == end || sample + 1 == end) {
                at = Step(at, end);
                continue;
            }
            const char* next = nullptr;
            const auto record = RecordAt(sample + 1, end, next);
            const StampSeconds last = part_.lastRecord.seconds;
            if (record && record->seconds >= last && record->seconds - last <= daily_log::kMaxGapWithinOutage) {
                Follow(*record);
                at = next;
                continue;
            }
            while (at != next) {
                at = Step(at, end);
            }
        }
    }

private:
    static constexpr std::ptrdiff_t kStride = 110;  // some four records: the fifth is 50 s on

    static const char* Find(const char* from, const char* end)
    {
        const void* const newline = std::memchr(from, '\n', static_cast<std::size_t>(end - from));
        return newline ? static_cast<const char*>(newline) : end;
    }
    // The record on the line at at, if it is one, and where the next line begins.
    std::optional<ProbeRecord> RecordAt(const char* at, const char* end, const char*& next)
    {
        const char* const newline = Find(at, end);
        next = newline == end ? end : newline + 1;
        const char* const lineEnd = newline > at && newline[-1] == '\r' ? newline - 1 : newline;
        return parser_.Parse(std::string_view(at, static_cast<std::size_t>(lineEnd - at)));
    }
    const char* Step(const char* at, const char* end)
    {
        const char* next = nullptr;
        if (const auto record = RecordAt(at, end, next)) {
            Follow(*record);
        }
        return next;
    }
    void Follow(const ProbeRecord& record)
    {
        if (!known_ || record.seconds - part_.lastRecord.seconds <= daily_log::kMaxGapWithinOutage) {
            // most records: no call
        } else if (const auto unwatched = UnwatchedBetween(part_.lastRecord.seconds, record.seconds)) {
            part_.unwatched.push_back(*unwatched);
        }
        part_.lastRecord = KeptStampOf(record);
        known_ = true;
    }

    LogPart& part_;
    ProbeRecordParser parser_;
    bool known_ = false;
};

// A row of the log's own for the page, and which of its outages it is.
struct OwnOutage {
    std::uint32_t outage;
    PageOutage shown;
};

// Where the log's outages were, from its companion log when it has
// timed-out records; then the longest of its own rows.
void PlaceOutages(LogPart& part, LineReader& reader, const std::filesystem::path& folder, std::string_view name,
                  std::vector<TimedOutTick> ticks, std::vector<OwnOutage>& own, std::uint32_t ended)
{
    std::vector<PlaceCount> places = CountTicks(ticks, ended + (part.endsInOutage ? 1 : 0));
    part.hasTimedOut = !ticks.empty();
    const std::string companion = part.hasTimedOut ? CompanionNameOf(name) : std::string();
    if (const auto entry = companion.empty() ? std::nullopt : FindFile(folder, companion)) {
        part.companion = entry->stamp;
        JoinCompanionLog(reader, folder / companion, std::move(ticks), places);
    }
    if (part.opensWithTimeout) {
        part.firstOutageTicks = places.front();
    }
    if (part.endsInOutage) {
        part.openTicks = places.back();
    }
    for (OwnOutage& row : own) {
        row.shown.place = places[row.outage].Place();
        AddSeconds(part.rowsByPlace, row.shown.place, row.shown.Seconds());
        KeepLongest(part.longest, row.shown);
    }
}

void Join(FoldedLog& folded, const KeptStamp& first, const KeptStamp& last, const PlaceCount& count)
{
    if (first.Text() != last.Text()) {
        folded.joined[folded.joinedCount++] = OutageSpan {first, last, count};
        folded.total += last.seconds - first.seconds;
        AddSeconds(folded.byPlace, count.Place(), last.seconds - first.seconds);
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
    std::uint32_t ended = 0;  // outages ended so far
    std::vector<TimedOutTick> ticks;
    std::vector<OwnOutage> own;
    OutageTracker tracker([&](const KeptStamp& first, const KeptStamp& last) {
        if (inFirstOutage) {
            inFirstOutage = false;
            part.firstOutageEnded = true;
            part.firstOutageLast = last;
        } else if (AddOwnRow(part, first, last)) {
            own.push_back(OwnOutage {ended, PageOutage {first, last}});
        }
        ++ended;
    });
    ProbeRecordParser parser;
    RttSlots rtt;
    WatchScanner watch(part);
    const auto readLine = [&](std::string_view line) {
        const auto record = parser.Parse(line);
        if (record && !part.hasRecords) {
            part.hasRecords = true;
            if (dayFromRecords) {
                part.day = record->stamp.substr(0, kDateLength);
            }
            part.opensWithTimeout = inFirstOutage = record->timedOut;
            part.firstRecord = KeptStampOf(*record);
        }
        if (record) {
            AddRecord(tracker, *record);
            if (record->timedOut) {
                ticks.push_back(TimedOutTick {record->seconds, ended});
            }
            if (withRoundTrips) {
                rtt.Add(record->seconds, record->replied, record->timedOut, record->roundTrip);
            }
        }
        // Outside an outage only a timed-out record changes anything, and a
        // line without a '-' cannot hold its status "-10".
        return part.hasRecords && !tracker.InOutage() && !withRoundTrips ? '-' : LineReader::kEveryLine;
    };
    const platform::Done read =
        reader.ReadFile(folder / name, readLine, [&](const char* begin, const char* end) { watch.Lines(begin, end); });
    if (!read) {
        return platform::Failure {read.Reason()};
    }
    part.lines = reader.LinesInLastFile();
    part.rtt = rtt.Take();
    part.endsInOutage = tracker.InOutage();
    part.openFirst = tracker.First();
    part.openLast = tracker.Last();
    PlaceOutages(part, reader, folder, name, std::move(ticks), own, ended);
    return part;
}

FoldedLog OutageFold::AddLog(const LogPart& part)
{
    FoldedLog folded;
    if (part.hasRecords) {
        const bool joins =
            open_ && part.opensWithTimeout && ContinuesOutage(openLast_.seconds, part.firstRecord.seconds);
        if (open_ && !joins) {
            Join(folded, openFirst_, openLast_, openTicks_);
        }
        const KeptStamp firstOutageStart = joins ? openFirst_ : part.firstRecord;
        const PlaceCount firstOutageTicks = Sum(joins ? openTicks_ : PlaceCount {}, part.firstOutageTicks);
        if (part.opensWithTimeout && part.firstOutageEnded) {
            Join(folded, firstOutageStart, part.firstOutageLast, firstOutageTicks);
        }
        folded.total += part.rowsTotal;
        AddSeconds(folded.byPlace, part.rowsByPlace);
        open_ = part.endsInOutage;
        const bool firstOutageStillOpen = part.opensWithTimeout && !part.firstOutageEnded;
        openFirst_ = firstOutageStillOpen ? firstOutageStart : part.openFirst;
        openLast_ = part.openLast;
        openTicks_ = firstOutageStillOpen ? firstOutageTicks : part.openTicks;
    }
    return folded;
}

}  // namespace vellomar::report
