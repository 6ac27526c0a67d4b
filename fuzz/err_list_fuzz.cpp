// Arbitrary bytes as daily logs (split into up to three logs at "\n===\n"):
// every line of the rebuilt report must be a heading, an outage row or a
// summary row, each ended by CR LF. The report must be the one a single
// stream of records through all logs gives, and one ErrList, kept from input
// to input and so reading only the logs that changed, must write it too.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
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

bool Matches(std::string_view text, std::string_view pattern)  // '9' stands for any digit
{
    if (text.size() != pattern.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        bool ok = pattern[i] == '9' ? std::isdigit(static_cast<unsigned char>(text[i])) : text[i] == pattern[i];
        if (!ok)
            return false;
    }
    return true;
}

bool IsStamp(std::string_view text)
{
    return Matches(text, "9999/99/99 99:99:99");
}
bool IsDate(std::string_view text)
{
    return Matches(text, "9999/99/99");
}

bool IsDuration(std::string_view text)
{
    if (!text.empty() && text.front() == '-')
        text.remove_prefix(1);
    if (text.size() < 8)
        return false;
    std::string_view hours = text.substr(0, text.size() - 6);
    for (char c : hours)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return Matches(text.substr(hours.size()), ":99:99") && text[hours.size() + 1] <= '5' &&
           text[hours.size() + 4] <= '5';
}

bool IsOutageRow(std::string_view line)
{
    return line.size() > 40 && IsStamp(line.substr(0, 19)) && line[19] == ';' && IsStamp(line.substr(20, 19)) &&
           line[39] == ';' && IsDuration(line.substr(40));
}

bool IsSummaryRow(std::string_view line)
{
    constexpr std::string_view kPrefix = "-----;-----; ;";
    if (line.substr(0, kPrefix.size()) != kPrefix)
        return false;
    line.remove_prefix(kPrefix.size());
    size_t semicolon = line.find(';');
    if (semicolon == std::string_view::npos)
        return false;
    std::string_view day = line.substr(0, semicolon);
    return (day.empty() || IsDate(day)) && IsDuration(line.substr(semicolon + 1));
}

void CheckReport(const std::string& report)
{
    constexpr std::string_view kHeading = "Prekinitve Telemach interneta\r\nOd;Do;\xC8"
                                          "as;Dan;Dnevno\r\n";
    if (report.compare(0, kHeading.size(), kHeading) != 0)
        std::abort();
    size_t at = kHeading.size();
    while (at < report.size()) {
        size_t end = report.find("\r\n", at);
        if (end == std::string::npos)
            std::abort();
        std::string_view line(report.data() + at, end - at);
        if (!IsOutageRow(line) && !IsSummaryRow(line))
            std::abort();
        at = end + 2;
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

std::string Report()
{
    std::ifstream in(Folder() / "ERR_list.csv", std::ios::binary);
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
    if (!kept.Rebuild(progress))
        std::abort();  // nothing stands in the way of writing here
    const std::string keptReport = Report();
    if (!vellomar::MakeErrList(Folder(), progress))
        std::abort();
    const std::string report = Report();
    CheckReport(report);
    if (report != keptReport || report != StreamReport())
        std::abort();
    return 0;
}
