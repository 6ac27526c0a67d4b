// Arbitrary bytes as daily logs (split into up to three logs at "\n===\n"):
// every line of the rebuilt report must be a heading, an outage row or a
// summary row, each ended by CR LF. The report must be the one a single
// stream of records through all logs gives, and one ErrList, kept from input
// to input and so reading only the logs that changed, must write it too, and
// the same page beside it.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <stdlib.h>  // mkdtemp
#include <string>
#include <string_view>
#include <vector>

#include "daily_logs.h"
#include "err_list.h"
#include "line_reader.h"
#include "log_part.h"
#include "outage_tracker.h"
#include "probe_record.h"
#include "stamp.h"

namespace {

namespace fs = std::filesystem;

class NoProgress : public vellomar::ReportProgress {
public:
    void Clear() override {}
    void AddItem(const std::string&) override {}
};

// Every line after the heading is an outage row or a summary row, ended by CR LF.
void CheckReport(const std::string& report)
{
    static const std::string stamp = R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d)", duration = R"(-?\d{2,}:[0-5]\d:[0-5]\d)";
    static const std::regex row("(" + stamp + ";" + stamp + "|-----;-----; ;(\\d{4}/\\d\\d/\\d\\d)?);" + duration);
    constexpr std::string_view kHeading = "Prekinitve Telemach interneta\r\nOd;Do;\xC8"
                                          "as;Dan;Dnevno\r\n";
    if (!report.starts_with(kHeading) || !report.ends_with("\r\n"))
        std::abort();
    for (size_t at = kHeading.size(), end; at < report.size(); at = end + 2) {
        end = report.find("\r\n", at);
        if (!std::regex_match(report.begin() + at, report.begin() + end, row))
            std::abort();
    }
}

// One folder per process, emptied for every input. mkdtemp makes it, so no
// other user can own it or have put a link there. libFuzzer ends without
// running exit handlers, so the folder stays behind: test.sh points TMPDIR at
// a folder of its own and removes that.
const fs::path& Folder()
{
    static const fs::path folder = [] {
        std::string pattern = (fs::temp_directory_path() / "vellomar-err_list_fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        return fs::path(pattern);
    }();
    return folder;
}

// The report read as one stream of records through the logs in name order,
// each line split and parsed, with nothing cached and nothing skipped.
std::string StreamReport()
{
    using namespace vellomar::report;
    std::string report = "Prekinitve Telemach interneta\r\nOd;Do;\xC8"
                         "as;Dan;Dnevno\r\n";
    std::int64_t total = 0;
    OutageTracker tracker([&](const KeptStamp& first, const KeptStamp& last) {
        if (first.Text() != last.Text()) {
            report += OutageRow(first, last);
            total += last.seconds - first.seconds;
        }
    });
    LineReader reader;
    ProbeRecordParser parser;
    const std::vector<FolderEntry> logs = ListDailyLogs(Folder()).value();
    for (const FolderEntry& log : logs) {
        total = 0;
        std::string day = DateFromLogName(log.name);
        const bool dayFromRecords = day.empty();
        const bool read = reader.ReadFile(Folder() / log.name, [&](std::string_view line) {
            if (const auto record = parser.Parse(line)) {
                if (dayFromRecords && day.empty())
                    day = record->stamp.substr(0, kDateLength);
                tracker.Add(*record);
            }
            return LineReader::kEveryLine;
        });
        if (!read)
            std::abort();
        report += "-----;-----; ;" + day + ";" + FormatDuration(total) + "\r\n";
    }
    return report;
}

std::string Read(const char* name)
{
    std::ifstream in(Folder() / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    for (const auto& entry : fs::directory_iterator(Folder()))
        fs::remove(entry.path());

    const char* names[] = {"PING_20150126.txt", "PING_20150127.txt", "ping_other.TXT"};
    size_t start = 0;
    for (size_t log = 0; log < 3 && start <= input.size(); ++log) {
        size_t end = log == 2 ? std::string_view::npos : input.find("\n===\n", start);
        std::string_view piece = input.substr(start, end == std::string_view::npos ? end : end - start);
        std::ofstream(Folder() / names[log], std::ios::binary) << piece;
        if (end == std::string_view::npos)
            break;
        start = end + 5;
    }

    static vellomar::ErrList kept(Folder());
    NoProgress progress;
    const vellomar::PageHeading heading {"host", "192.0.2.1", "2015/01/28 10:00:00"};
    if (!kept.Rebuild(progress, heading))
        std::abort();  // nothing stands in the way of writing here
    const std::string keptReport = Read("ERR_list.csv"), keptPage = Read("ERR_list.html");
    if (!vellomar::MakeErrList(Folder(), progress, heading))
        std::abort();
    const std::string report = Read("ERR_list.csv");
    CheckReport(report);
    if (report != keptReport || report != StreamReport() || Read("ERR_list.html") != keptPage)
        std::abort();
    return 0;
}
