// The daily logs of a folder as the report last saw them: their names in
// name order, what tells one version of each from another, and the part each
// gave the report once read.
#pragma once

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "daily_logs.h"
#include "line_reader.h"
#include "log_part.h"

namespace vellomar::report {

struct CataloguedLog {
    FolderEntry entry;
    std::optional<std::int64_t> day;  // of its name
    // Nothing until read; a part, once read, never changes and may be shared
    // with a thread that makes the page.
    std::shared_ptr<const LogPart> part;
    // Why it could not be read, when it could not: its name and the system's reason.
    std::string unreadable;
};

class LogCatalogue {
public:
    // With a watch on the folder, or checking every log on every update.
    LogCatalogue(std::filesystem::path folder, bool watch);

    // Brings the catalogue up to the folder as it is now, or says why the
    // folder could not be listed.
    platform::Done Update();
    // The index of the first log that changed, moved, came or went since the
    // last call (the number of logs when none did): everything folded from
    // it on no longer holds.
    std::size_t TakeFirstChanged();
    // Reads the logs that have no part yet, on all cores. Those of the last
    // days give the page their round-trip times too.
    void ReadMissingParts();
    // After an update that failed half way: the next one starts from nothing.
    void Forget();

    const std::vector<CataloguedLog>& Logs() const { return logs_; }
    // The day of the newest log's name, or INT64_MIN.
    std::int64_t NewestDay() const { return newestDay_; }

private:
    void ChangedFrom(std::size_t index) { firstChanged_ = std::min(firstChanged_, index); }
    // The whole listing, each log keeping its part when it is the same
    // version and not among named (sorted).
    void MatchWithListing(std::vector<FolderEntry> entries, const std::vector<std::string>& named);
    // Only the names the watch gave, and the logs whose changes it cannot see.
    void CheckNames(std::vector<std::string> named);
    // A part read with a companion log other than the one there now is read
    // again: by the full listing of the companion logs, and by the names the
    // watch gave.
    void CheckCompanions(const std::vector<FolderEntry>& companions);
    void CheckCompanionsNamed(const std::vector<std::string>& named);
    void DropOldRoundTrips();
    // Called by one reader thread for each log, on its own log only.
    void ReadPart(LineReader& reader, CataloguedLog& log) const;

    std::filesystem::path folder_;
    std::optional<FolderWatch> watch_;
    bool listed_ = false;  // logs_ is the listing the watch keeps up to date
    int sinceFullCheck_ = 0;
    std::vector<CataloguedLog> logs_;  // in name order
    std::size_t firstChanged_ = 0;
    std::int64_t newestDay_ = INT64_MIN;
};

}  // namespace vellomar::report
