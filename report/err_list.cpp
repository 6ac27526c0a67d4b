#include "err_list.h"

#include <string_view>

#include "daily_logs.h"
#include "line_reader.h"
#include "outage_tracker.h"
#include "probe_record.h"
#include "report_file.h"
#include "stamp.h"

namespace vellomar {
namespace {

using namespace report;

// Windows-1250, where the heading's "Č" is the single byte 0xC8.
constexpr std::string_view kTitleLine = "Prekinitve Telemach interneta\r\n";
constexpr std::string_view kHeadingLine = "Od;Do;\xC8" "as;Dan;Dnevno\r\n";
constexpr std::string_view kSummaryPrefix = "-----;-----; ;";

std::string OutageRow(const Outage& outage)
{
    std::string row;
    row.append(outage.start).append(";").append(outage.end).append(";");
    return row.append(FormatDuration(outage.seconds)).append("\r\n");
}

std::string SummaryRow(std::string_view day, std::int64_t dailyTotal)
{
    std::string row(kSummaryPrefix);
    return row.append(day).append(";").append(FormatDuration(dailyTotal)).append("\r\n");
}

// One rebuild: the state of the outage search runs on from log to log.
class Rebuild {
public:
    Rebuild(const std::filesystem::path& folder, ReportFile& report)
        : folder_(folder), report_(report), tracker_([this](const Outage& o) { report_.Write(OutageRow(o)); })
    {
    }

    // Reads one daily log and writes its outage rows and its summary row.
    bool AddLog(const std::string& name)
    {
        tracker_.BeginLog();
        std::string day = DateFromLogName(name);
        const bool dayFromRecords = day.empty();
        const bool read = reader_.ReadFile(folder_ / name, [&](std::string_view line) {
            const auto record = parser_.Parse(line);
            if (!record) {
                return;  // not a probe record: it changes nothing
            }
            if (dayFromRecords && day.empty()) {
                day = record->stamp.substr(0, kDateLength);
            }
            tracker_.Add(*record);
        });
        if (!read) {
            return false;
        }
        report_.Write(SummaryRow(day, tracker_.DailyTotal()));
        return !report_.Failed();
    }

private:
    const std::filesystem::path& folder_;
    ReportFile& report_;
    LineReader reader_;
    ProbeRecordParser parser_;
    OutageTracker tracker_;
};

bool RebuildReport(const std::filesystem::path& folder, ReportProgress& progress)
{
    const auto logs = ListDailyLogs(folder);
    if (!logs) {
        return false;
    }
    ReportFile report(folder / "ERR_list.csv");
    if (!report.Create()) {
        return false;
    }
    report.Write(kTitleLine);
    report.Write(kHeadingLine);
    progress.Clear();
    Rebuild rebuild(folder, report);
    for (const std::string& name : *logs) {
        progress.AddItem(name);
        if (!rebuild.AddLog(name)) {
            return false;
        }
    }
    return report.Commit();
}

}  // namespace

bool MakeErrList(const std::filesystem::path& folder, ReportProgress& progress)
{
    try {
        return RebuildReport(folder, progress);
    } catch (...) {
        return false;  // the report file removes its temporary file on the way out
    }
}

}  // namespace vellomar
