#include "err_list.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <exception>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "daily_logs.h"
#include "folder_access.h"
#include "log_part.h"
#include "outage_page.h"
#include "report_file.h"

namespace vellomar {
namespace {

using namespace report;

// Windows-1250, where the heading's "Č" is the single byte 0xC8.
constexpr std::string_view kTitleLine = "Prekinitve Telemach interneta\r\n";
constexpr std::string_view kHeadingLine = "Od;Do;\xC8"
                                          "as;Dan;Dnevno\r\n";
constexpr unsigned kMaxReaders = 4;
// About an hour of rebuilds: what a folder's watch may not see (a log written
// from another machine on a network share, say) is found by then.
constexpr int kRebuildsBetweenFullChecks = 6;

// The day number of a log's name, when it names a day.
std::optional<std::int64_t> DayOfLog(const std::string& name)
{
    const std::string date = DateFromLogName(name);
    return date.empty() ? std::nullopt : ParseDate(date.data());
}

struct KnownLog {
    FolderEntry entry;
    std::optional<std::int64_t> day;  // of its name
    std::optional<LogPart> part;      // nothing until read, or when it could not be read
    std::size_t rowsEnd = 0;          // where its rows end in the report text
    OutageFold after;                 // the outage search after its rows
};

KnownLog Unread(FolderEntry entry)
{
    KnownLog log;
    log.day = DayOfLog(entry.name);
    log.entry = std::move(entry);
    return log;
}

bool NameOrder(const KnownLog& log, const std::string& name)
{
    return NameBefore(log.entry.name, name);
}

}  // namespace

struct ErrList::Logs {
    Logs(const std::filesystem::path& folder, Changes changes)
    {
        if (changes == Changes::kWatchFolder) {
            watch.emplace(folder);
        }
    }

    std::optional<FolderWatch> watch;
    bool listed = false;  // known is the listing the watch keeps up to date
    int sinceFullCheck = 0;
    std::vector<KnownLog> known;  // in name order
    std::string report;           // the report text, good up to the rows of known[folded - 1]
    std::size_t folded = 0;
    std::int64_t newestDay = INT64_MIN;  // of the newest log's name

    // The page's tally of the logs before the newest, as the last page left
    // it: the next page goes on from there while those logs stay as they
    // are and the newest day, which decides whose round-trip times count, is
    // the same. Only the page's own thread uses these while a page is made.
    struct PageStart {
        PageTally tally;
        OutageFold fold;
        std::size_t logs = 0;
        std::int64_t newestDay = INT64_MIN;
    };
    std::optional<PageStart> pageStart;
    std::size_t pageUnchanged = 0;  // leading logs unchanged since pageStart was taken

    // The logs whose rows were folded into the report no longer hold from
    // the index'th on.
    void ChangedFrom(std::size_t index)
    {
        folded = std::min(folded, index);
        pageUnchanged = std::min(pageUnchanged, index);
    }
    // After a rebuild that failed half way: the next one starts from nothing.
    void Forget()
    {
        listed = false;
        known.clear();
        ChangedFrom(0);
    }

    bool UpdateListing(const std::filesystem::path& folder);
    // The whole listing, each log with what the cache holds for the same
    // version of it, unless it is among changed (sorted).
    void MatchWithCache(std::vector<FolderEntry> entries, const std::vector<std::string>& changed);
    // Only the given names, and those whose changes a watch cannot see.
    void CheckNames(const std::filesystem::path& folder, std::vector<std::string> names);
    // How much of the report text stays as it is: the rows of the logs
    // folded before and unchanged since.
    std::size_t KeptReport()
    {
        folded = std::min(folded, known.size());
        return folded == 0 ? 0 : known[folded - 1].rowsEnd;
    }
    void ReadMissingParts(const std::filesystem::path& folder);
    bool AllRead() const
    {
        return std::all_of(known.begin(), known.end(), [](const KnownLog& log) { return log.part.has_value(); });
    }
    bool Fold(ReportProgress& progress);
    // The page beside the report, from every log's part.
    std::string Page(const PageHeading& heading);
};

bool ErrList::Logs::UpdateListing(const std::filesystem::path& folder)
{
    auto changed = watch ? watch->Changes() : std::nullopt;
    if (changed) {
        std::sort(changed->begin(), changed->end());
        changed->erase(std::unique(changed->begin(), changed->end()), changed->end());
    }
    if (listed && changed && ++sinceFullCheck < kRebuildsBetweenFullChecks) {
        CheckNames(folder, std::move(*changed));
        return true;
    }
    listed = false;
    auto entries = ListDailyLogs(folder);
    if (!entries) {
        return false;
    }
    // A log may change and keep its size and times, within the file system's
    // clock tick; a watch still names it.
    MatchWithCache(std::move(*entries), changed ? *changed : std::vector<std::string> {});
    listed = true;
    sinceFullCheck = 0;
    return true;
}

void ErrList::Logs::MatchWithCache(std::vector<FolderEntry> entries, const std::vector<std::string>& changed)
{
    std::vector<KnownLog> logs;
    logs.reserve(entries.size());
    auto cached = known.begin();  // both are in name order
    for (FolderEntry& entry : entries) {
        cached = std::lower_bound(cached, known.end(), entry.name, NameOrder);
        const bool same = cached != known.end() && cached->entry.name == entry.name &&
                          cached->entry.stamp == entry.stamp &&
                          !std::binary_search(changed.begin(), changed.end(), entry.name);
        if (!same || cached - known.begin() != static_cast<std::ptrdiff_t>(logs.size())) {
            ChangedFrom(logs.size());
        }
        if (same) {
            logs.push_back(std::move(*cached));
            logs.back().entry = std::move(entry);
        } else {
            logs.push_back(Unread(std::move(entry)));
        }
    }
    ChangedFrom(logs.size());
    known = std::move(logs);
}

void ErrList::Logs::CheckNames(const std::filesystem::path& folder, std::vector<std::string> names)
{
    std::erase_if(names, [](const std::string& name) { return !IsDailyLogName(name); });
    for (const KnownLog& log : known) {
        if (log.entry.changesUnseen) {
            names.push_back(log.entry.name);
        }
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    for (const std::string& name : names) {
        auto entry = FindFile(folder, name);
        const auto at = std::lower_bound(known.begin(), known.end(), name, NameOrder);
        const bool present = at != known.end() && at->entry.name == name;
        if (present && entry && at->entry.stamp == entry->stamp) {
            continue;
        }
        ChangedFrom(static_cast<std::size_t>(at - known.begin()));
        if (!entry) {
            if (present) {
                known.erase(at);
            }
        } else if (present) {
            *at = Unread(std::move(*entry));
        } else {
            known.insert(at, Unread(std::move(*entry)));
        }
    }
}

// Reads the logs that have no part yet, on up to kMaxReaders threads. The
// logs of the page's last days are read whole, for their round-trip times;
// older logs let go of theirs.
void ErrList::Logs::ReadMissingParts(const std::filesystem::path& folder)
{
    newestDay = INT64_MIN;
    for (const KnownLog& log : known) {
        newestDay = std::max(newestDay, log.day.value_or(INT64_MIN));
    }
    const auto recent = [this](const KnownLog& log) { return log.day && *log.day >= newestDay - kRttDays; };
    std::vector<KnownLog*> missing;
    std::vector<char> whole;
    for (KnownLog& log : known) {
        if (!log.part) {
            missing.push_back(&log);
            whole.push_back(recent(log));
        } else if (!log.part->rtt.empty() && !recent(log)) {
            log.part->rtt = {};
        }
    }
    std::atomic<std::size_t> next {0};
    const auto readSome = [&]() noexcept {
        try {
            LineReader reader;
            for (std::size_t i = next++; i < missing.size(); i = next++) {
                missing[i]->part = ReadLogPart(reader, folder, missing[i]->entry.name, whole[i] != 0);
            }
        } catch (...) {
            // A log left without a part fails the rebuild as one that cannot be read.
        }
    };
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t readers = std::min({cores, missing.size(), std::size_t {kMaxReaders}});
    std::vector<std::jthread> helpers;
    try {
        while (helpers.size() + 1 < readers) {
            helpers.emplace_back(readSome);
        }
    } catch (const std::system_error&) {
        // fewer helpers: the calling thread reads the rest
    }
    readSome();
}

// Shows every log's name and adds the rows of those not folded yet.
bool ErrList::Logs::Fold(ReportProgress& progress)
{
    const std::size_t kept = KeptReport();
    OutageFold fold;
    if (folded == 0) {
        report.assign(kTitleLine).append(kHeadingLine);
    } else {
        report.resize(kept);
        fold = known[folded - 1].after;
    }
    for (std::size_t i = 0; i < known.size(); ++i) {
        progress.AddItem(known[i].entry.name);
        if (i < folded) {
            continue;
        }
        if (!known[i].part) {
            return false;
        }
        fold.AddLog(*known[i].part, &report);
        known[i].rowsEnd = report.size();
        known[i].after = fold;
        folded = i + 1;
    }
    return true;
}

std::string ErrList::Logs::Page(const PageHeading& heading)
{
    if (!pageStart || pageStart->logs > pageUnchanged || pageStart->newestDay != newestDay) {
        pageStart = PageStart {};
        pageStart->newestDay = newestDay;
    }
    PageTally tally = pageStart->tally;
    OutageFold fold = pageStart->fold;
    for (std::size_t i = pageStart->logs; i < known.size(); ++i) {
        if (i + 1 == known.size() && i != pageStart->logs) {
            PageStart next {tally, fold, i, newestDay};
            pageStart = std::move(next);
        }
        fold.AddLog(*known[i].part, nullptr, &tally);
    }
    pageUnchanged = known.size();
    return RenderOutagePage(tally.Page(heading.hostName, heading.address, heading.madeAt));
}

ErrList::ErrList(std::filesystem::path folder, Changes changes)
    : folder_(std::move(folder)), logs_(std::make_unique<Logs>(folder_, changes))
{}

ErrList::~ErrList() = default;

RebuildResult ErrList::Rebuild(ReportProgress& progress, const PageHeading& heading)
{
    std::optional<std::jthread> pageWriter;
    const auto failed = [](std::string problem) { return RebuildResult {false, std::move(problem)}; };
    try {
        if (!logs_->UpdateListing(folder_)) {
            return failed("the daily logs could not be listed");
        }
        ReportFile report(folder_ / daily_log::kReportName);
        // What stays of the last report goes to the disk while the changed
        // logs are read.
        const std::size_t kept = logs_->KeptReport();
        if (!report.Create() || !report.Write(std::string_view(logs_->report).substr(0, kept))) {
            return failed("ERR_list.csv may not be written");
        }
        progress.Clear();
        logs_->ReadMissingParts(folder_);
        pageWriter = StartPageWriter(heading);
        if (!logs_->Fold(progress)) {
            return failed("a daily log could not be read");
        }
        if (!report.Write(std::string_view(logs_->report).substr(kept)) || !report.Commit()) {
            return failed("ERR_list.csv could not be replaced");
        }
    } catch (const std::exception& error) {
        pageWriter.reset();           // it reads the parts about to be dropped
        logs_->Forget();              // half updated, perhaps
        return failed(error.what());  // the report file removes its temporary file on the way out
    } catch (...) {
        pageWriter.reset();
        logs_->Forget();
        return failed("the report could not be rebuilt");
    }
    return {true, {}};
}

// The page needs only the parts of the logs, which stay as they are until the
// next rebuild: it is made and written on another core while the report is
// folded and written, which takes the time of the disk's flushes.
std::optional<std::jthread> ErrList::StartPageWriter(const PageHeading& heading)
{
    if (!logs_->AllRead()) {
        return std::nullopt;  // the rebuild fails, and the page stays as it is
    }
    try {
        return std::jthread([this, heading]() noexcept { WritePage(heading); });
    } catch (const std::system_error&) {
        WritePage(heading);  // no thread to be had: one after the other
        return std::nullopt;
    }
}

void ErrList::WritePage(const PageHeading& heading) noexcept
{
    try {
        ReportFile page(folder_ / daily_log::kPageName);
        if (page.Create()) {
            page.Commit(logs_->Page(heading));
        }
    } catch (...) {
        // The page is only a view of the report: without it the report stands.
    }
}

RebuildResult MakeErrList(const std::filesystem::path& folder, ReportProgress& progress, const PageHeading& heading)
{
    return ErrList(folder, ErrList::Changes::kCheckEveryLog).Rebuild(progress, heading);  // no watch for one rebuild
}

}  // namespace vellomar
