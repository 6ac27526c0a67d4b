// Arbitrary bytes as up to three daily logs and a companion log (split at "\n===\n"): the report must be a heading and
// rows ended by CR LF, the one a single stream of records through all logs gives; an ErrList kept from input to input,
// so reading only the logs that changed, must write it too, and the same page beside it.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <stdlib.h>  // mkdtemp
#include <string>
#include <string_view>

#include "daily_logs.h"
#include "err_list.h"
#include "err_list_internals.h"
#include "line_reader.h"
#include "log_part.h"
#include "outage_tracker.h"
#include "probe_record.h"
#include "stamp.h"

namespace {

namespace fs = std::filesystem;

struct NoProgress : vellomar::ReportProgress {
    void Clear() override {}
    void AddItem(const std::string&) override {}
};

void Require(bool holds)
{
    if (!holds)
        std::abort();
}

constexpr std::string_view kHeading = "Prekinitve Telemach interneta\r\nOd;Do;\310as;Dan;Dnevno\r\n";

// The report, once every line after the heading is an outage row or a summary row, ended by CR LF.
const std::string& Checked(const std::string& report)
{
    static const std::string stamp = R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d)", duration = R"(-?\d{2,}:[0-5]\d:[0-5]\d)";
    static const std::regex row("(" + stamp + ";" + stamp + "|-----;-----; ;(\\d{4}/\\d\\d/\\d\\d)?);" + duration);
    Require(report.starts_with(kHeading) && report.ends_with("\r\n"));
    for (size_t at = kHeading.size(), end; at < report.size(); at = end + 2) {
        end = report.find("\r\n", at);
        Require(std::regex_match(report.begin() + at, report.begin() + end, row));
    }
    return report;
}

// One folder per process, emptied for every input; mkdtemp makes it, so no other user can own it or have put a
// link there. libFuzzer ends without exit handlers, so it stays behind: test.sh gives TMPDIR a folder to remove.
const fs::path& Folder()
{
    static std::string pattern = (fs::temp_directory_path() / "vellomar-err_list_fuzz-XXXXXX").string();
    static const fs::path folder = ::mkdtemp(pattern.data()) ? fs::path(pattern) : (std::abort(), fs::path());
    return folder;
}

// The report from one stream of records through the logs in name order, every line parsed, nothing cached.
std::string StreamReport()
{
    using namespace vellomar::report;
    std::string report(kHeading);
    std::int64_t total = 0;
    OutageTracker tracker([&](const KeptStamp& first, const KeptStamp& last) {
        if (first.Text() != last.Text())
            report += OutageRow(first, last), total += last.seconds - first.seconds;
    });
    LineReader reader;
    ProbeRecordParser parser;
    const auto logs = ListDailyLogs(Folder());
    Require(static_cast<bool>(logs));
    for (const FolderEntry& log : *logs) {
        total = 0;
        std::string day = DateFromLogName(log.name);  // else that of the first record
        Require(static_cast<bool>(reader.ReadFile(Folder() / log.name, [&](std::string_view line) {
            if (const auto record = parser.Parse(line))
                day = day.empty() ? record->stamp.substr(0, kDateLength) : day, AddRecord(tracker, *record);
            return LineReader::kEveryLine;
        })));
        report += "-----;-----; ;" + day + ";" + FormatDuration(total) + "\r\n";
    }
    return report;
}

std::string Read(const char* name)
{
    return {std::istreambuf_iterator<char>(std::ifstream(Folder() / name, std::ios::binary).rdbuf()), {}};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    for (const auto& entry : fs::directory_iterator(Folder()))
        fs::remove(entry.path());

    // The last is the companion log of the second: it may change the page, never the report.
    const char* names[] = {"PING_20150126.txt", "PING_20150127.txt", "ping_other.TXT", "GATEWAY_20150127.txt"};
    for (size_t log = 0, start = 0, end = 0; log < 4 && end != std::string_view::npos; ++log, start = end + 5) {
        end = log == 3 ? std::string_view::npos : input.find("\n===\n", start);
        std::ofstream(Folder() / names[log], std::ios::binary) << input.substr(start, end - start);
    }

    static vellomar::ErrList kept(Folder());
    NoProgress progress;
    const vellomar::PageHeading heading {"host", "192.0.2.1", "2015/01/28 10:00:00"};
    Require(kept.Rebuild(progress, heading).written);  // nothing stands in the way of writing here
    const std::string keptReport = Read("ERR_list.csv"), keptPage = Read("ERR_list.html");
    Require(vellomar::MakeErrList(Folder(), progress, heading).written);
    Require(Checked(Read("ERR_list.csv")) == keptReport && keptReport == StreamReport() &&
            Read("ERR_list.html") == keptPage);
    return 0;
}
