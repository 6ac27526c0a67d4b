#include "log_catalogue.h"

#include <atomic>
#include <exception>
#include <system_error>
#include <thread>

#include "companion_log.h"
#include "line_reader.h"
#include "outage_page.h"

namespace vellomar::report {
namespace {

constexpr unsigned kMaxReaders = 4;
// About an hour of rebuilds: what a folder's watch may not see (a log written
// from another machine on a network share, say) is found by then.
constexpr int kUpdatesBetweenFullChecks = 6;

// The day number of a log's name, when it names a day.
std::optional<std::int64_t> DayOfLog(const std::string& name)
{
    const std::string date = DateFromLogName(name);
    return date.empty() ? std::nullopt : ParseDate(date.data());
}

CataloguedLog Unread(FolderEntry entry)
{
    CataloguedLog log;
    log.day = DayOfLog(entry.name);
    log.entry = std::move(entry);
    return log;
}

bool NameOrder(const CataloguedLog& log, const std::string& name)
{
    return NameBefore(log.entry.name, name);
}

void SortUnique(std::vector<std::string>& names)
{
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
}

bool Named(const std::vector<std::string>& named, const std::string& name)
{
    return std::binary_search(named.begin(), named.end(), name);
}

}  // namespace

LogCatalogue::LogCatalogue(std::filesystem::path folder, bool watch) : folder_(std::move(folder))
{
    if (watch) {
        watch_.emplace(folder_);
    }
}

platform::Done LogCatalogue::Update()
{
    auto named = watch_ ? watch_->Changes() : std::nullopt;
    if (named) {
        SortUnique(*named);
    }
    if (listed_ && named && ++sinceFullCheck_ < kUpdatesBetweenFullChecks) {
        CheckCompanionsNamed(*named);
        CheckNames(std::move(*named));
        return {};
    }
    listed_ = false;
    auto entries = ListDailyLogs(folder_);
    if (!entries) {
        return platform::Failure {entries.Reason()};
    }
    MatchWithListing(std::move(*entries), named ? *named : std::vector<std::string> {});
    // Without a listing of them the parts stay as they are, until the next.
    if (const auto companions = ListFiles(folder_, IsCompanionLogName)) {
        CheckCompanions(*companions);
    }
    if (named) {
        CheckCompanionsNamed(*named);
    }
    listed_ = true;
    sinceFullCheck_ = 0;
    return {};
}

std::size_t LogCatalogue::TakeFirstChanged()
{
    return std::exchange(firstChanged_, logs_.size());
}

void LogCatalogue::Forget()
{
    listed_ = false;
    logs_.clear();
    ChangedFrom(0);
}

// A log may change and keep its size and times, within the file system's
// clock tick: a log the watch names is read again whatever its stamp.
void LogCatalogue::MatchWithListing(std::vector<FolderEntry> entries, const std::vector<std::string>& named)
{
    std::vector<CataloguedLog> logs;
    logs.reserve(entries.size());
    auto cached = logs_.begin();  // both are in name order
    for (FolderEntry& entry : entries) {
        cached = std::lower_bound(cached, logs_.end(), entry.name, NameOrder);
        const bool same = cached != logs_.end() && cached->entry.name == entry.name &&
                          cached->entry.stamp == entry.stamp && !Named(named, entry.name);
        if (!same || cached - logs_.begin() != static_cast<std::ptrdiff_t>(logs.size())) {
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
    logs_ = std::move(logs);
}

void LogCatalogue::CheckNames(std::vector<std::string> named)
{
    std::erase_if(named, [](const std::string& name) { return !IsDailyLogName(name); });
    std::vector<std::string> names = named;
    for (const CataloguedLog& log : logs_) {
        if (log.entry.changesUnseen) {
            names.push_back(log.entry.name);
        }
    }
    SortUnique(names);
    for (const std::string& name : names) {
        auto entry = FindFile(folder_, name);
        const auto at = std::lower_bound(logs_.begin(), logs_.end(), name, NameOrder);
        const bool present = at != logs_.end() && at->entry.name == name;
        if (present && entry && at->entry.stamp == entry->stamp && !Named(named, name)) {
            continue;
        }
        ChangedFrom(static_cast<std::size_t>(at - logs_.begin()));
        if (!entry) {
            if (present) {
                logs_.erase(at);
            }
        } else if (present) {
            *at = Unread(std::move(*entry));
        } else {
            logs_.insert(at, Unread(std::move(*entry)));
        }
    }
}

void LogCatalogue::CheckCompanions(const std::vector<FolderEntry>& companions)
{
    std::vector<const FolderEntry*> byName;
    for (const FolderEntry& entry : companions) {
        byName.push_back(&entry);
    }
    const auto nameOrder = [](const FolderEntry* entry, const std::string& name) { return entry->name < name; };
    std::sort(byName.begin(), byName.end(),
              [](const FolderEntry* a, const FolderEntry* b) { return a->name < b->name; });
    for (std::size_t i = 0; i < logs_.size(); ++i) {
        CataloguedLog& log = logs_[i];
        if (!log.part || !log.part->hasTimedOut) {
            continue;  // a log read without its companion log
        }
        const std::string name = CompanionNameOf(log.entry.name);
        const auto at = std::lower_bound(byName.begin(), byName.end(), name, nameOrder);
        const bool listed = at != byName.end() && (*at)->name == name;
        if (log.part->companion != (listed ? std::optional((*at)->stamp) : std::nullopt)) {
            log.part.reset();
            ChangedFrom(i);
        }
    }
}

// As with the daily logs, a companion log the watch names is read again
// whatever its stamp: it may have changed within the file system's clock tick.
void LogCatalogue::CheckCompanionsNamed(const std::vector<std::string>& named)
{
    for (const std::string& name : named) {
        const auto day = DayOfCompanionName(name);
        for (std::size_t i = 0; day && i < logs_.size(); ++i) {
            CataloguedLog& log = logs_[i];
            if (log.day == day && log.part && log.part->hasTimedOut && CompanionNameOf(log.entry.name) == name) {
                log.part.reset();
                ChangedFrom(i);
            }
        }
    }
}

// Round-trip times are kept for the page's last days only: a log that falls
// out of them lets go of its own.
void LogCatalogue::DropOldRoundTrips()
{
    for (CataloguedLog& log : logs_) {
        if (log.part && !log.part->rtt.empty() && !(log.day && *log.day >= newestDay_ - kRttDays)) {
            auto kept = std::make_shared<LogPart>(*log.part);
            kept->rtt = {};
            log.part = std::move(kept);
        }
    }
}

void LogCatalogue::ReadPart(LineReader& reader, CataloguedLog& log) const
{
    const bool withRoundTrips = log.day && *log.day >= newestDay_ - kRttDays;
    log.unreadable.clear();
    if (auto part = ReadLogPart(reader, folder_, log.entry.name, withRoundTrips)) {
        log.part = std::make_shared<const LogPart>(std::move(*part));
    } else {
        log.unreadable = part.Reason();
    }
}

void LogCatalogue::ReadMissingParts()
{
    newestDay_ = INT64_MIN;
    for (const CataloguedLog& log : logs_) {
        newestDay_ = std::max(newestDay_, log.day.value_or(INT64_MIN));
    }
    DropOldRoundTrips();
    std::vector<CataloguedLog*> missing;
    for (CataloguedLog& log : logs_) {
        if (!log.part) {
            missing.push_back(&log);
        }
    }
    std::atomic<std::size_t> next {0};
    // Each reader writes to the logs it took from next alone.
    const auto readSome = [&]() noexcept {
        std::size_t i = next++;
        try {
            LineReader reader;
            for (; i < missing.size(); i = next++) {
                ReadPart(reader, *missing[i]);
            }
        } catch (const std::exception& error) {
            // No memory for a reader or a part: the logs left without a part
            // fail the rebuild, this one with the reason.
            if (i < missing.size()) {
                missing[i]->unreadable = missing[i]->entry.name + ": " + error.what();
            }
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

}  // namespace vellomar::report
